// SELECT execution beside SQLite running the same queries, in one run.
//
// Data: t holds 100,000 rows (K INTEGER primary key 1..100000, W INTEGER
// random 0..99999, V CHAR(20)); a holds 2,000 rows (N INTEGER primary key,
// R INTEGER random key of t). SQLite's tables have the same rows, with
// INTEGER PRIMARY KEY on t.K and a.N.
//
//   point      SELECT * FROM t WHERE K = ?           live result, index probe
//   range      SELECT K, V FROM t WHERE K BETWEEN ? AND ?+99
//                                                    canned, index range
//   scan       SELECT K, V FROM t WHERE W < 10000    canned, unindexed filter
//   join       SELECT a.N, t.V FROM a, t WHERE a.R = t.K
//                                                    a drives, t probed by K
//   order by   SELECT K, W FROM t ORDER BY W         canned, data-file sort
//
// Each iteration executes the prepared query (new parameter values where it
// has them) and reads every result row. SQLite runs with journal off and
// synchronous off (the engine's default durability) and a 64 MiB page cache.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/support/bench_support.h"
#include "bench/support/rate_table.h"
#include "engine/data_cursor.h"
#include "engine/data_session.h"
#include "sql/select_executor.h"
#include "storage/field_definitions.h"
#include "storage/field_type.h"
#include "storage/field_value.h"
#include "storage/index_key.h"

namespace {

using namespace rudira;
namespace fs = std::filesystem;

constexpr int32_t kRows = 100000;
constexpr int32_t kDriving = 2000;
constexpr int kTextLength = 20;

struct Fixture {
  std::string dir;
  std::string sqlitePath;
  std::unique_ptr<TDataSession> session;
  TDataDirectory* db = nullptr;
  std::vector<int32_t> w;
  std::vector<int32_t> r;

  Fixture() {
    dir = bench::MakeTempDirectory("select-bench") + "/";
    sqlitePath = dir + "bench.sqlite";
    session = std::make_unique<TDataSession>();
    session->SetPrivateDir(dir);
    db = session->OpenDatabase("bench", dir);
    std::mt19937 random(20261210);
    w.resize(kRows);
    for (int32_t& value : w) value = static_cast<int32_t>(random() % kRows);
    r.resize(kDriving);
    for (int32_t& value : r) value = static_cast<int32_t>(random() % kRows) + 1;
    WriteEngineTables();
    WriteSqliteTables();
  }
  ~Fixture() {
    session.reset();
    fs::remove_all(dir);
  }

  static std::string Text(int32_t k) {
    std::string text = "row " + std::to_string(k);
    text.resize(kTextLength, '.');
    return text;
  }

  void CreateTable(const std::string& name, const std::vector<std::pair<std::string, uint8_t>>& columns) {
    std::vector<bench::Column> fields;
    for (const auto& [fieldName, type] : columns) {
      fields.push_back({fieldName, type, static_cast<uint8_t>(type == kFieldTypeString ? kTextLength : 0)});
    }
    bench::CreateEngineTable(*db, name, fields);
  }

  void WriteEngineTables() {
    CreateTable("t", {{"K", kFieldTypeInteger}, {"W", kFieldTypeInteger}, {"V", kFieldTypeString}});
    CreateTable("a", {{"N", kFieldTypeInteger}, {"R", kFieldTypeInteger}});
    {
      TDataCursor cursor(*session, *db);
      cursor.SetTableName("t");
      cursor.SetExclusive(true);
      cursor.OpenCursor();
      std::vector<uint8_t> record(cursor.RecordSize());
      const TableLocale locale = cursor.Table()->DataFile().Locale();
      for (int32_t k = 1; k <= kRows; ++k) {
        cursor.InitRecord(record.data());
        (void)StoreFieldValue(record.data(), cursor.Field(1), k, locale);
        (void)StoreFieldValue(record.data(), cursor.Field(2), w[static_cast<size_t>(k - 1)], locale);
        (void)StoreFieldValue(record.data(), cursor.Field(3), Text(k), locale);
        cursor.AppendRecord(record.data());
      }
    }
    TDataCursor cursor(*session, *db);
    cursor.SetTableName("a");
    cursor.SetExclusive(true);
    cursor.OpenCursor();
    std::vector<uint8_t> record(cursor.RecordSize());
    const TableLocale locale = cursor.Table()->DataFile().Locale();
    for (int32_t n = 1; n <= kDriving; ++n) {
      cursor.InitRecord(record.data());
      (void)StoreFieldValue(record.data(), cursor.Field(1), n, locale);
      (void)StoreFieldValue(record.data(), cursor.Field(2), r[static_cast<size_t>(n - 1)], locale);
      cursor.AppendRecord(record.data());
    }
  }

  void WriteSqliteTables() {
    sqlite3* lite = Open();
    sqlite3_exec(lite, "CREATE TABLE t(K INTEGER PRIMARY KEY, W INTEGER, V TEXT); CREATE TABLE a(N INTEGER PRIMARY "
                       "KEY, R INTEGER); BEGIN",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(lite, "INSERT INTO t VALUES(?, ?, ?)", -1, &insert, nullptr);
    for (int32_t k = 1; k <= kRows; ++k) {
      const std::string text = Text(k);
      sqlite3_bind_int(insert, 1, k);
      sqlite3_bind_int(insert, 2, w[static_cast<size_t>(k - 1)]);
      sqlite3_bind_text(insert, 3, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
      if (sqlite3_step(insert) != SQLITE_DONE) std::abort();
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_prepare_v2(lite, "INSERT INTO a VALUES(?, ?)", -1, &insert, nullptr);
    for (int32_t n = 1; n <= kDriving; ++n) {
      sqlite3_bind_int(insert, 1, n);
      sqlite3_bind_int(insert, 2, r[static_cast<size_t>(n - 1)]);
      if (sqlite3_step(insert) != SQLITE_DONE) std::abort();
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(lite, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(lite);
  }

  sqlite3* Open() const {
    return bench::OpenSqlite(sqlitePath);
  }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

// Queries per second of each benchmark.
struct Workload {
  const char* Name;
  const char* Sql;
  bool Live;
  int Parameters;  // 0, 1 (K) or 2 (K, K + 99)
  int64_t Rows;    // rows of one execution, checked on both sides
};

const Workload kWorkloads[] = {
    {"point", "SELECT * FROM t WHERE K = ?", true, 1, 1},
    {"range", "SELECT K, V FROM t WHERE K BETWEEN ? AND ?", false, 2, 100},
    {"scan", "SELECT K, V FROM t WHERE W < 10000", false, 0, -1},
    {"join", "SELECT a.N, t.V FROM a, t WHERE a.R = t.K", false, 0, kDriving},
    {"order by", "SELECT K, W FROM t ORDER BY W", false, 0, kRows},
};

int32_t Key(int64_t iteration) { return static_cast<int32_t>((iteration * 7919) % (kRows - 100)) + 1; }

void Finish(benchmark::State& state, const std::string& name, int64_t queries, int64_t rows, double seconds) {
  state.counters["queries_per_s"] = benchmark::Counter(static_cast<double>(queries), benchmark::Counter::kIsRate);
  state.counters["rows"] = static_cast<double>(rows) / static_cast<double>(std::max<int64_t>(queries, 1));
  if (seconds > 0) bench::Rates()[name] = static_cast<double>(queries) / seconds;
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int64_t ExpectedScanRows() {
  int64_t count = 0;
  for (int32_t value : TheFixture().w) count += value < 10000 ? 1 : 0;
  return count;
}

void BM_Engine(benchmark::State& state, const Workload& workload) {
  Fixture& fixture = TheFixture();
  TSelectExecutor executor(*fixture.session, *fixture.db, workload.Live, -1);
  executor.Prepare(workload.Sql);
  const int64_t expected = workload.Rows < 0 ? ExpectedScanRows() : workload.Rows;
  int64_t queries = 0;
  int64_t rows = 0;
  double seconds = 0;
  for (auto _ : state) {
    std::vector<uint8_t> buffer;
    std::vector<TParameterDescriptor> descriptors;
    const int32_t key = Key(queries);
    if (workload.Parameters >= 1) bench::AddIntParameter(buffer, descriptors, key);
    if (workload.Parameters >= 2) bench::AddIntParameter(buffer, descriptors, key + 99);
    const auto start = std::chrono::steady_clock::now();
    executor.Execute(descriptors, buffer.data());
    TDataCursor& cursor = *executor.ResultCursor();
    std::vector<uint8_t> record(cursor.RecordSize());
    int64_t produced = 0;
    while (cursor.GetNextRecord(record.data()) == 0) ++produced;
    benchmark::DoNotOptimize(record.data());
    seconds += Since(start);
    if (produced != expected) state.SkipWithError("wrong row count");
    rows += produced;
    ++queries;
  }
  Finish(state, std::string("engine ") + workload.Name, queries, rows, seconds);
}

void BM_Sqlite(benchmark::State& state, const Workload& workload) {
  sqlite3* lite = TheFixture().Open();
  sqlite3_stmt* select = nullptr;
  if (sqlite3_prepare_v2(lite, workload.Sql, -1, &select, nullptr) != SQLITE_OK) std::abort();
  const int64_t expected = workload.Rows < 0 ? ExpectedScanRows() : workload.Rows;
  int64_t queries = 0;
  int64_t rows = 0;
  double seconds = 0;
  for (auto _ : state) {
    const int32_t key = Key(queries);
    if (workload.Parameters >= 1) sqlite3_bind_int(select, 1, key);
    if (workload.Parameters >= 2) sqlite3_bind_int(select, 2, key + 99);
    const auto start = std::chrono::steady_clock::now();
    int64_t produced = 0;
    int64_t sum = 0;
    while (sqlite3_step(select) == SQLITE_ROW) {
      for (int i = 0; i < sqlite3_column_count(select); ++i) sum += sqlite3_column_bytes(select, i);
      ++produced;
    }
    sqlite3_reset(select);
    benchmark::DoNotOptimize(sum);
    seconds += Since(start);
    if (produced != expected) state.SkipWithError("wrong row count");
    rows += produced;
    ++queries;
  }
  sqlite3_finalize(select);
  sqlite3_close(lite);
  Finish(state, std::string("sqlite ") + workload.Name, queries, rows, seconds);
}

void Register() {
  for (const Workload& workload : kWorkloads) {
    const bool big = workload.Parameters == 0;
    auto* engine = benchmark::RegisterBenchmark((std::string("engine/") + workload.Name).c_str(),
                                                [&workload](benchmark::State& s) { BM_Engine(s, workload); });
    auto* lite = benchmark::RegisterBenchmark((std::string("sqlite/") + workload.Name).c_str(),
                                              [&workload](benchmark::State& s) { BM_Sqlite(s, workload); });
    for (auto* b : {engine, lite}) {
      b->Unit(big ? benchmark::kMillisecond : benchmark::kMicrosecond);
      if (big) b->Iterations(5);
      else b->MinTime(0.5);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  return rudira::bench::RunBesideSqlite(argc, argv, Register, kWorkloads, "workload", "engine q/s", "sqlite q/s");
}
