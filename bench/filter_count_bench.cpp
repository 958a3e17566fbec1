// Filtered record counts on a table of 1,000,000 records beside SQLite
// counting the same rows with COUNT(*) ... WHERE, in one run.
//
// Table: ID INTEGER (primary key), VAL INTEGER with a non-unique index,
// FREE INTEGER without one (the same values as VAL: ID mod 1000), NAME
// CHAR(20); SQLite: t(id INTEGER PRIMARY KEY, val INTEGER, free INTEGER,
// name TEXT) with an index on val. Each condition keeps 100,000 rows.
//
//   indexed      a filter "VAL < 100" added, activated, the record count
//                taken and the filter dropped: the index answers it, no
//                record is read; SQLite: SELECT COUNT(*) FROM t WHERE
//                val < 100, answered from its index.
//   evaluated    the same on "FREE < 100": every record is read and the
//                expression evaluated on it; SQLite: WHERE free < 100, a
//                scan of the table.
//
// The engine gets buffers sized for the data (64 MiB of records and index
// pages), SQLite a 64 MiB page cache; SQLite runs with journal off and
// synchronous off, the engine's default durability. Loading is not timed;
// the engine's rows are appended through a session with the default buffers
// and counted through another with the large ones.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/bench_support.h"
#include "engine/data_cursor.h"
#include "engine/data_session.h"
#include "storage/field_definitions.h"
#include "storage/field_type.h"
#include "storage/field_value.h"
#include "storage/index_key.h"

namespace {

using namespace rudira;
namespace fs = std::filesystem;

constexpr int32_t kRows = 1'000'000;
constexpr int32_t kKept = kRows / 10;  // rows with a value below 100
constexpr int32_t kBufferBytes = 64 << 20;

std::string NameOf(int32_t id) {
  char text[24];
  std::snprintf(text, sizeof text, "name%08d", id);
  return text;
}

// A fresh temporary directory, removed with the object.
struct TempDir {
  std::string path;  // with trailing "/"
  TempDir() {
    path = bench::MakeTempDirectory("filter-bench") + "/";
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
};

// Both databases loaded with the same rows, made once for the run.
struct Loaded {
  TempDir dir;
  TDataSession session;
  TDataDirectory* db = nullptr;
  std::unique_ptr<TDataCursor> cursor;
  sqlite3* sqlite = nullptr;

  Loaded() {
    LoadEngine();
    session.SetPrivateDir(dir.path);
    session.SetMaxDataBufferBytes(kBufferBytes);
    session.SetMaxDataBufferCount(kBufferBytes / 64);
    session.SetMaxIndexBufferBytes(kBufferBytes);
    db = session.OpenDatabase("bench", dir.path);
    cursor = std::make_unique<TDataCursor>(session, *db);
    cursor->SetTableName("t");
    cursor->OpenCursor();
    LoadSqlite();
  }
  ~Loaded() {
    cursor.reset();
    sqlite3_close(sqlite);
  }

  // Appends the rows through a session of its own with the default buffers:
  // each append writes its changes at once, and with a small record cache
  // that stays cheap.
  void LoadEngine() {
    TDataSession loader;
    loader.SetPrivateDir(dir.path);
    TDataDirectory* target = loader.OpenDatabase("bench", dir.path);
    CreateTable(*target);
    TDataCursor writer(loader, *target);
    writer.SetTableName("t");
    writer.OpenCursor();
    const std::vector<TFieldDescriptor>& fields = writer.Fields();
    const TableLocale locale = writer.Table()->DataFile().Locale();
    std::vector<uint8_t> record(writer.RecordSize());
    for (int32_t id = 1; id <= kRows; ++id) {
      writer.InitRecord(record.data());
      if (!StoreFieldValue(record.data(), fields[0], id, locale) ||
          !StoreFieldValue(record.data(), fields[1], id % 1000, locale) ||
          !StoreFieldValue(record.data(), fields[2], id % 1000, locale) ||
          !StoreFieldValue(record.data(), fields[3], NameOf(id), locale)) {
        std::abort();
      }
      writer.AppendRecord(record.data(), false);
    }
    writer.CloseCursor();
  }

  static void CreateTable(TDataDirectory& target) {
    bench::CreateEngineTable(target, "t",
                             {{"ID", kFieldTypeInteger},
                              {"VAL", kFieldTypeInteger},
                              {"FREE", kFieldTypeInteger},
                              {"NAME", kFieldTypeString, 20}},
                             {{"ByVal", 2}});
  }

  void LoadSqlite() {
    sqlite = bench::OpenSqlite(dir.path + "bench.sqlite");
    sqlite3_exec(sqlite, "CREATE TABLE t(id INTEGER PRIMARY KEY, val INTEGER, free INTEGER, name TEXT)", nullptr,
                 nullptr, nullptr);
    sqlite3_exec(sqlite, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(sqlite, "INSERT INTO t VALUES(?, ?, ?, ?)", -1, &insert, nullptr);
    for (int32_t id = 1; id <= kRows; ++id) {
      const std::string name = NameOf(id);
      sqlite3_bind_int(insert, 1, id);
      sqlite3_bind_int(insert, 2, id % 1000);
      sqlite3_bind_int(insert, 3, id % 1000);
      sqlite3_bind_text(insert, 4, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
      if (sqlite3_step(insert) != SQLITE_DONE) std::abort();
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(sqlite, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_exec(sqlite, "CREATE INDEX t_val ON t(val)", nullptr, nullptr, nullptr);
  }

  static Loaded& Get() {
    static Loaded loaded;
    return loaded;
  }
};

// Argument: 0 the indexed condition, 1 the evaluated one.
void BM_Engine_FilteredCount(benchmark::State& state) {
  TDataCursor& cursor = *Loaded::Get().cursor;
  const bool evaluated = state.range(0) != 0;
  const std::string text = evaluated ? "FREE < 100" : "VAL < 100";
  for (auto _ : state) {
    TFilter* filter = cursor.AddFilter(text);
    cursor.ActivateFilter(filter);
    if (cursor.GetRecordCount() != kKept) std::abort();
    cursor.DropFilter(filter);
  }
  if (cursor.GetFilterOptimizeLevel(cursor.AddFilter(text)) != (evaluated ? 0 : 2)) std::abort();
  cursor.DropFilter();
  state.counters["counts_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                      benchmark::Counter::kIsRate);
}

void BM_Sqlite_FilteredCount(benchmark::State& state) {
  sqlite3* db = Loaded::Get().sqlite;
  const bool evaluated = state.range(0) != 0;
  sqlite3_stmt* count = nullptr;
  sqlite3_prepare_v2(db, evaluated ? "SELECT COUNT(*) FROM t WHERE free < 100" : "SELECT COUNT(*) FROM t WHERE val < 100",
                     -1, &count, nullptr);
  for (auto _ : state) {
    if (sqlite3_step(count) != SQLITE_ROW || sqlite3_column_int(count, 0) != kKept) std::abort();
    sqlite3_reset(count);
  }
  sqlite3_finalize(count);
  state.counters["counts_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                      benchmark::Counter::kIsRate);
}

BENCHMARK(BM_Engine_FilteredCount)->ArgName("evaluated")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_FilteredCount)->ArgName("evaluated")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
