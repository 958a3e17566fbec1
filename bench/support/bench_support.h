// What every engine-beside-SQLite benchmark sets up the same way: a fresh
// temporary directory and a SQLite connection with the engine's default
// durability.
#pragma once

#include <sqlite3.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace rudira::bench {

// Makes a new directory "<temp>/<prefix>-XXXXXX" and returns its path
// (without a trailing "/"); aborts when none can be made. The caller
// removes it.
inline std::string MakeTempDirectory(std::string_view prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  return pattern;
}

// Opens (creating) the SQLite database `file` with journal off and
// synchronous off, the engine's default durability, and a page cache of
// `cacheKiB` (0: SQLite's default). Aborts when it cannot be opened.
inline sqlite3* OpenSqlite(const std::string& file, int cacheKiB = 65536) {
  sqlite3* db = nullptr;
  if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) std::abort();
  std::string pragmas = "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;";
  if (cacheKiB > 0) pragmas += " PRAGMA cache_size=-" + std::to_string(cacheKiB) + ";";
  sqlite3_exec(db, pragmas.c_str(), nullptr, nullptr, nullptr);
  return db;
}

}  // namespace rudira::bench
