// Cursor throughput on a table of 1,000,000 records beside SQLite doing the
// same on a table of the same rows, in one run.
//
// Table: ID INTEGER (primary key), NAME CHAR(20), VAL INTEGER; SQLite:
// t(id INTEGER PRIMARY KEY, name TEXT, val INTEGER).
//
//   append       TDataCursor::AppendRecord of every row in key order, each
//                append written at once (writer lock, record, primary index,
//                deleted-records index); SQLite: one prepared INSERT per row,
//                autocommit, which writes each row at once too.
//   find         Find on the primary key of a random existing ID, the record
//                read; SQLite: SELECT name, val FROM t WHERE id = ?, stepped.
//   scan         SetToBegin and GetNextRecord to the end in primary-key
//                order, one field read per record; SQLite: SELECT id, name,
//                val FROM t ORDER BY id, every row stepped and read.
//
// Each runs with the engine's default buffer limits ("default") and with
// buffers sized for the data ("large": 64 MiB of records and index pages;
// SQLite gets a 64 MiB page cache in both, its usual setting for a table of
// this size would be no smaller). SQLite runs with journal off and synchronous
// off: the engine's default durability.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
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
constexpr int32_t kLargeBytes = 64 << 20;

std::string NameOf(int32_t id) {
  char text[24];
  std::snprintf(text, sizeof text, "name%08d", id);
  return text;
}

// A fresh temporary directory, removed with the object.
struct TempDir {
  std::string path;  // with trailing "/"
  TempDir() {
    path = bench::MakeTempDirectory("cursor-bench") + "/";
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
};

// An engine session on one directory with the default or large buffers.
struct Engine {
  TDataSession session;
  TDataDirectory* db = nullptr;

  Engine(const std::string& dir, bool large) {
    session.SetPrivateDir(dir);
    if (large) {
      session.SetMaxDataBufferBytes(kLargeBytes);
      session.SetMaxDataBufferCount(kLargeBytes / 64);
      session.SetMaxIndexBufferBytes(kLargeBytes);
    }
    db = session.OpenDatabase("bench", dir);
  }

  void CreateTable() {
    bench::CreateEngineTable(*db, "t",
                             {{"ID", kFieldTypeInteger}, {"NAME", kFieldTypeString, 20}, {"VAL", kFieldTypeInteger}});
  }

  std::unique_ptr<TDataCursor> Open() {
    auto cursor = std::make_unique<TDataCursor>(session, *db);
    cursor->SetTableName("t");
    cursor->OpenCursor();
    return cursor;
  }
};

void StoreRow(TDataCursor& cursor, std::vector<uint8_t>& record, int32_t id) {
  cursor.InitRecord(record.data());
  const std::vector<TFieldDescriptor>& fields = cursor.Fields();
  const TableLocale locale = cursor.Table()->DataFile().Locale();
  if (!StoreFieldValue(record.data(), fields[0], id, locale) ||
      !StoreFieldValue(record.data(), fields[1], NameOf(id), locale) ||
      !StoreFieldValue(record.data(), fields[2], id % 1000, locale)) {
    std::abort();
  }
}

sqlite3* OpenSqlite(const std::string& dir) {
  return bench::OpenSqlite(dir + "bench.sqlite");
}

void SqliteAppend(sqlite3* db, int32_t rows) {
  sqlite3_exec(db, "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, val INTEGER)", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?, ?, ?)", -1, &insert, nullptr);
  for (int32_t id = 1; id <= rows; ++id) {
    const std::string name = NameOf(id);
    sqlite3_bind_int(insert, 1, id);
    sqlite3_bind_text(insert, 2, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(insert, 3, id % 1000);
    if (sqlite3_step(insert) != SQLITE_DONE) std::abort();
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
}

// The loaded databases of the find and scan workloads, made once per
// buffer setting and kept for the run.
struct Loaded {
  TempDir dir;
  std::unique_ptr<Engine> engine;
  std::unique_ptr<TDataCursor> cursor;
  sqlite3* sqlite = nullptr;

  explicit Loaded(bool large) {
    engine = std::make_unique<Engine>(dir.path, large);
    engine->CreateTable();
    cursor = engine->Open();
    std::vector<uint8_t> record(cursor->RecordSize());
    for (int32_t id = 1; id <= kRows; ++id) {
      StoreRow(*cursor, record, id);
      cursor->AppendRecord(record.data(), false);
    }
    sqlite = OpenSqlite(dir.path);
    SqliteAppend(sqlite, kRows);
  }
  ~Loaded() {
    cursor.reset();
    sqlite3_close(sqlite);
  }
  static Loaded& Get(bool large) {
    if (large) {
      static Loaded larger(true);
      return larger;
    }
    static Loaded defaults(false);
    return defaults;
  }
};

void BM_Engine_Append(benchmark::State& state) {
  const bool large = state.range(0) != 0;
  for (auto _ : state) {
    state.PauseTiming();
    TempDir dir;
    Engine engine(dir.path, large);
    engine.CreateTable();
    auto cursor = engine.Open();
    std::vector<uint8_t> record(cursor->RecordSize());
    state.ResumeTiming();
    for (int32_t id = 1; id <= kRows; ++id) {
      StoreRow(*cursor, record, id);
      cursor->AppendRecord(record.data(), false);
    }
    state.PauseTiming();
    if (cursor->GetRecordCount() != kRows) std::abort();
    cursor.reset();
    state.ResumeTiming();
  }
  state.counters["rows_per_s"] = benchmark::Counter(static_cast<double>(kRows) * state.iterations(),
                                                    benchmark::Counter::kIsRate);
}

void BM_Sqlite_Append(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TempDir dir;
    sqlite3* db = OpenSqlite(dir.path);
    state.ResumeTiming();
    SqliteAppend(db, kRows);
    state.PauseTiming();
    sqlite3_close(db);
    state.ResumeTiming();
  }
  state.counters["rows_per_s"] = benchmark::Counter(static_cast<double>(kRows) * state.iterations(),
                                                    benchmark::Counter::kIsRate);
}

void BM_Engine_Find(benchmark::State& state) {
  Loaded& loaded = Loaded::Get(state.range(0) != 0);
  TDataCursor& cursor = *loaded.cursor;
  std::vector<uint8_t> key(cursor.RecordSize());
  std::vector<uint8_t> found(cursor.RecordSize());
  std::mt19937 random(7);
  std::uniform_int_distribution<int32_t> ids(1, kRows);
  for (auto _ : state) {
    cursor.InitRecord(key.data());
    if (!StoreFieldValue(key.data(), cursor.Fields()[0], ids(random), cursor.Table()->DataFile().Locale())) {
      std::abort();
    }
    if (!cursor.Find(key.data(), false, found.data(), 0, 0, false)) std::abort();
  }
  state.counters["finds_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}

void BM_Sqlite_Find(benchmark::State& state) {
  Loaded& loaded = Loaded::Get(state.range(0) != 0);
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(loaded.sqlite, "SELECT name, val FROM t WHERE id = ?", -1, &select, nullptr);
  std::mt19937 random(7);
  std::uniform_int_distribution<int32_t> ids(1, kRows);
  for (auto _ : state) {
    sqlite3_bind_int(select, 1, ids(random));
    if (sqlite3_step(select) != SQLITE_ROW) std::abort();
    benchmark::DoNotOptimize(sqlite3_column_text(select, 0));
    benchmark::DoNotOptimize(sqlite3_column_int(select, 1));
    sqlite3_reset(select);
  }
  sqlite3_finalize(select);
  state.counters["finds_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}

void BM_Engine_Scan(benchmark::State& state) {
  Loaded& loaded = Loaded::Get(state.range(0) != 0);
  TDataCursor& cursor = *loaded.cursor;
  std::vector<uint8_t> record(cursor.RecordSize());
  const TFieldDescriptor& value = cursor.Fields()[2];
  for (auto _ : state) {
    int64_t sum = 0;
    int32_t rows = 0;
    cursor.SetToBegin();
    while (cursor.GetNextRecord(record.data()) == 0) {
      const TFieldValue v = ReadFieldValue(record.data(), value);
      if (const auto* n = std::get_if<int32_t>(&v)) sum += *n;
      ++rows;
    }
    if (rows != kRows) std::abort();
    benchmark::DoNotOptimize(sum);
  }
  state.counters["rows_per_s"] = benchmark::Counter(static_cast<double>(kRows) * state.iterations(),
                                                    benchmark::Counter::kIsRate);
}

void BM_Sqlite_Scan(benchmark::State& state) {
  Loaded& loaded = Loaded::Get(state.range(0) != 0);
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(loaded.sqlite, "SELECT id, name, val FROM t ORDER BY id", -1, &select, nullptr);
  for (auto _ : state) {
    int64_t sum = 0;
    int32_t rows = 0;
    while (sqlite3_step(select) == SQLITE_ROW) {
      benchmark::DoNotOptimize(sqlite3_column_text(select, 1));
      sum += sqlite3_column_int(select, 2);
      ++rows;
    }
    sqlite3_reset(select);
    if (rows != kRows) std::abort();
    benchmark::DoNotOptimize(sum);
  }
  sqlite3_finalize(select);
  state.counters["rows_per_s"] = benchmark::Counter(static_cast<double>(kRows) * state.iterations(),
                                                    benchmark::Counter::kIsRate);
}

// Argument: 0 the engine's default buffers, 1 buffers sized for the data.
BENCHMARK(BM_Engine_Append)->ArgName("large")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Sqlite_Append)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Engine_Find)->ArgName("large")->Arg(0)->Arg(1);
BENCHMARK(BM_Sqlite_Find)->ArgName("large")->Arg(0)->Arg(1);
BENCHMARK(BM_Engine_Scan)->ArgName("large")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Sqlite_Scan)->ArgName("large")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
