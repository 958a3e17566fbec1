// What every engine-beside-SQLite benchmark sets up the same way: a fresh
// temporary directory, a SQLite connection with the engine's default
// durability, engine tables of integer and text columns, "?" values for the
// SQL executor and the process's peak resident memory.
#pragma once

#include <sqlite3.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sql/select_executor.h"
#include "storage/field_definitions.h"
#include "storage/field_type.h"
#include "storage/index_key.h"
#include "storage/table_directory.h"

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

// One column of a benchmark table: an INTEGER, or a CHAR of `size` bytes.
struct Column {
  std::string Name;
  uint8_t Type = kFieldTypeInteger;
  uint8_t Size = 0;
};

// Creates table `name` in `db` with the columns in order, field 1 as the
// unique primary key and one secondary index per entry of `secondaries`
// (index name, 1-based field number). Aborts when the engine refuses it.
inline void CreateEngineTable(TDataDirectory& db, const std::string& name, const std::vector<Column>& columns,
                              const std::vector<std::pair<std::string, uint16_t>>& secondaries = {}) {
  DataFileDefinition definition;
  for (size_t i = 0; i < columns.size(); ++i) {
    TFieldDescriptor field;
    field.FieldNo = static_cast<uint16_t>(i + 1);
    field.FieldName = columns[i].Name;
    field.FieldType = columns[i].Type;
    field.Size = columns[i].Size;
    definition.Fields.push_back(field);
  }
  PrepareFieldDefinitions(definition.Fields, "bench", name);
  TableIndexDefinitions indexes;
  indexes.Primary.Unique = 1;
  indexes.Primary.IndexFieldCount = 1;
  indexes.Primary.FieldNumbers[0] = 1;
  PrepareIndexDefinition(indexes.Primary, definition.Fields, false, name);
  for (const auto& [indexName, fieldNo] : secondaries) {
    TIndexDefinition secondary;
    secondary.IndexName = indexName;
    secondary.IndexFieldCount = 1;
    secondary.FieldNumbers[0] = fieldNo;
    PrepareIndexDefinition(secondary, definition.Fields, false, name);
    indexes.Secondaries.push_back(secondary);
  }
  if (db.CreateTable(name, false, false, definition, indexes) != 0) std::abort();
}

// Appends an INTEGER "?" value to the executor's parameter buffer.
inline void AddIntParameter(std::vector<uint8_t>& buffer, std::vector<TParameterDescriptor>& descriptors,
                            int32_t value) {
  TParameterDescriptor descriptor;
  descriptor.FieldType = kFieldTypeInteger;
  descriptor.DataSize = 4;
  descriptor.ValueOffset = static_cast<uint32_t>(buffer.size());
  buffer.push_back(1);
  const size_t at = buffer.size();
  buffer.resize(at + 4);
  std::memcpy(buffer.data() + at, &value, 4);
  descriptors.push_back(descriptor);
}

// Appends a text "?" value (its bytes and a terminating zero).
inline void AddTextParameter(std::vector<uint8_t>& buffer, std::vector<TParameterDescriptor>& descriptors,
                             std::string_view text) {
  TParameterDescriptor descriptor;
  descriptor.FieldType = kFieldTypeString;
  descriptor.DataSize = static_cast<uint16_t>(text.size());
  descriptor.ValueOffset = static_cast<uint32_t>(buffer.size());
  buffer.push_back(1);
  buffer.insert(buffer.end(), text.begin(), text.end());
  buffer.push_back(0);
  descriptors.push_back(descriptor);
}

// Peak resident memory: Linux keeps the high-water mark in VmHWM and resets
// it to the current size when "5" is written to /proc/self/clear_refs, so a
// workload's own peak is read by resetting before it and reading after.
// Returns whether the reset took (else the peak is the process's so far).
inline bool ResetPeakResident() {
  FILE* file = std::fopen("/proc/self/clear_refs", "w");
  if (file == nullptr) return false;
  const bool written = std::fputs("5", file) >= 0;
  return std::fclose(file) == 0 && written;
}

// The peak resident memory in KiB (VmHWM), or 0 when it cannot be read.
inline int64_t PeakResidentKiB() {
  FILE* file = std::fopen("/proc/self/status", "r");
  if (file == nullptr) return 0;
  char line[256];
  int64_t kib = 0;
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (std::strncmp(line, "VmHWM:", 6) == 0) {
      kib = std::strtoll(line + 6, nullptr, 10);
      break;
    }
  }
  std::fclose(file);
  return kib;
}

}  // namespace rudira::bench
