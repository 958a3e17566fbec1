// SELECT grouping beside SQLite running the same queries, in one run.
//
// Data: g holds 1,000,000 rows (K INTEGER primary key 1..1000000, G INTEGER
// = a random permutation of K modulo 1,000, so exactly 1,000 rows per group,
// V INTEGER random 0..999999), with a secondary index on G. SQLite's table
// has the same rows, INTEGER PRIMARY KEY on K and an index on G.
//
//   group by   SELECT G, COUNT(*), SUM(V), AVG(V) FROM g GROUP BY G
//                  1,000 rows: every row written to the result table, sorted
//                  on G and collapsed by the sort's group callbacks
//   count      SELECT COUNT(*) FROM g WHERE G = ?
//                  one row: the filtered record count of g's cursor, the
//                  condition served from the index on G
//
// Each iteration executes the prepared query (a new parameter value where it
// has one) and reads every result row; the rows and the counted value are
// checked. SQLite runs with journal off and synchronous off and a 64 MiB page
// cache.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <numeric>
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

constexpr int32_t kRows = 1000000;
constexpr int32_t kGroups = 1000;

struct Fixture {
  std::string dir;
  std::string sqlitePath;
  std::unique_ptr<TDataSession> session;
  TDataDirectory* db = nullptr;
  std::vector<int32_t> g;
  std::vector<int32_t> v;

  Fixture() {
    dir = bench::MakeTempDirectory("grouping-bench") + "/";
    sqlitePath = dir + "bench.sqlite";
    session = std::make_unique<TDataSession>();
    session->SetPrivateDir(dir);
    db = session->OpenDatabase("bench", dir);
    std::mt19937 random(20261210);
    std::vector<int32_t> order(kRows);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), random);
    g.resize(kRows);
    v.resize(kRows);
    for (int32_t k = 0; k < kRows; ++k) {
      g[static_cast<size_t>(k)] = order[static_cast<size_t>(k)] % kGroups;
      v[static_cast<size_t>(k)] = static_cast<int32_t>(random() % kRows);
    }
    WriteEngineTable();
    WriteSqliteTable();
  }
  ~Fixture() {
    session.reset();
    fs::remove_all(dir);
  }

  void WriteEngineTable() {
    bench::CreateEngineTable(*db, "g", {{"K", kFieldTypeInteger}, {"G", kFieldTypeInteger}, {"V", kFieldTypeInteger}},
                             {{"ByG", 2}});
    TDataCursor cursor(*session, *db);
    cursor.SetTableName("g");
    cursor.SetExclusive(true);
    cursor.OpenCursor();
    std::vector<uint8_t> record(cursor.RecordSize());
    const TableLocale locale = cursor.Table()->DataFile().Locale();
    for (int32_t k = 1; k <= kRows; ++k) {
      cursor.InitRecord(record.data());
      (void)StoreFieldValue(record.data(), cursor.Field(1), k, locale);
      (void)StoreFieldValue(record.data(), cursor.Field(2), g[static_cast<size_t>(k - 1)], locale);
      (void)StoreFieldValue(record.data(), cursor.Field(3), v[static_cast<size_t>(k - 1)], locale);
      cursor.AppendRecord(record.data());
    }
  }

  void WriteSqliteTable() {
    sqlite3* lite = Open();
    sqlite3_exec(lite, "CREATE TABLE g(K INTEGER PRIMARY KEY, G INTEGER, V INTEGER); BEGIN", nullptr, nullptr,
                 nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(lite, "INSERT INTO g VALUES(?, ?, ?)", -1, &insert, nullptr);
    for (int32_t k = 1; k <= kRows; ++k) {
      sqlite3_bind_int(insert, 1, k);
      sqlite3_bind_int(insert, 2, g[static_cast<size_t>(k - 1)]);
      sqlite3_bind_int(insert, 3, v[static_cast<size_t>(k - 1)]);
      if (sqlite3_step(insert) != SQLITE_DONE) std::abort();
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(lite, "COMMIT; CREATE INDEX ByG ON g(G)", nullptr, nullptr, nullptr);
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

struct Workload {
  const char* Name;
  const char* Sql;
  bool Parameter;  // G = ?
  int64_t Rows;    // rows of one execution
};

const Workload kWorkloads[] = {
    {"group by", "SELECT G, COUNT(*), SUM(V), AVG(V) FROM g GROUP BY G", false, kGroups},
    {"count", "SELECT COUNT(*) FROM g WHERE G = ?", true, 1},
};

int32_t Group(int64_t iteration) { return static_cast<int32_t>((iteration * 7919) % kGroups); }

void Finish(benchmark::State& state, const std::string& name, int64_t queries, double seconds) {
  state.counters["queries_per_s"] = benchmark::Counter(static_cast<double>(queries), benchmark::Counter::kIsRate);
  if (seconds > 0) bench::Rates()[name] = static_cast<double>(queries) / seconds;
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_Engine(benchmark::State& state, const Workload& workload) {
  Fixture& fixture = TheFixture();
  TSelectExecutor executor(*fixture.session, *fixture.db, false, -1);
  executor.Prepare(workload.Sql);
  int64_t queries = 0;
  double seconds = 0;
  for (auto _ : state) {
    std::vector<uint8_t> buffer;
    std::vector<TParameterDescriptor> descriptors;
    if (workload.Parameter) {
      const int32_t value = Group(queries);
      TParameterDescriptor descriptor;
      descriptor.FieldType = kFieldTypeInteger;
      descriptor.DataSize = 4;
      buffer.push_back(1);
      buffer.resize(5);
      std::memcpy(buffer.data() + 1, &value, 4);
      descriptors.push_back(descriptor);
    }
    const auto start = std::chrono::steady_clock::now();
    executor.Execute(descriptors, buffer.data());
    TDataCursor& cursor = *executor.ResultCursor();
    std::vector<uint8_t> record(cursor.RecordSize());
    int64_t produced = 0;
    int64_t counted = 0;
    while (cursor.GetNextRecord(record.data()) == 0) {
      ++produced;
      const TFieldValue count = ReadFieldValue(record.data(), cursor.Field(workload.Parameter ? 1 : 2));
      if (const auto* n = std::get_if<int32_t>(&count)) counted += *n;
    }
    seconds += Since(start);
    if (produced != workload.Rows) state.SkipWithError("wrong row count");
    if (counted != (workload.Parameter ? kRows / kGroups : kRows)) state.SkipWithError("wrong count");
    ++queries;
  }
  Finish(state, std::string("engine ") + workload.Name, queries, seconds);
}

void BM_Sqlite(benchmark::State& state, const Workload& workload) {
  sqlite3* lite = TheFixture().Open();
  sqlite3_stmt* select = nullptr;
  if (sqlite3_prepare_v2(lite, workload.Sql, -1, &select, nullptr) != SQLITE_OK) std::abort();
  int64_t queries = 0;
  double seconds = 0;
  for (auto _ : state) {
    if (workload.Parameter) sqlite3_bind_int(select, 1, Group(queries));
    const auto start = std::chrono::steady_clock::now();
    int64_t produced = 0;
    int64_t counted = 0;
    while (sqlite3_step(select) == SQLITE_ROW) {
      ++produced;
      counted += sqlite3_column_int64(select, workload.Parameter ? 0 : 1);
    }
    sqlite3_reset(select);
    seconds += Since(start);
    if (produced != workload.Rows) state.SkipWithError("wrong row count");
    if (counted != (workload.Parameter ? kRows / kGroups : kRows)) state.SkipWithError("wrong count");
    ++queries;
  }
  sqlite3_finalize(select);
  sqlite3_close(lite);
  Finish(state, std::string("sqlite ") + workload.Name, queries, seconds);
}

void Register() {
  for (const Workload& workload : kWorkloads) {
    auto* engine = benchmark::RegisterBenchmark((std::string("engine/") + workload.Name).c_str(),
                                                [&workload](benchmark::State& s) { BM_Engine(s, workload); });
    auto* lite = benchmark::RegisterBenchmark((std::string("sqlite/") + workload.Name).c_str(),
                                              [&workload](benchmark::State& s) { BM_Sqlite(s, workload); });
    for (auto* b : {engine, lite}) {
      b->Unit(workload.Parameter ? benchmark::kMicrosecond : benchmark::kMillisecond);
      if (workload.Parameter) b->MinTime(0.5);
      else b->Iterations(2);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  return rudira::bench::RunBesideSqlite(argc, argv, Register, kWorkloads, "workload", "engine q/s", "sqlite q/s");
}
