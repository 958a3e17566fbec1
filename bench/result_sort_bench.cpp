// The result-table sort (TDataFile::Sort, external merge method) beside
// SQLite sorting the same rows, in one run.
//
// Data: 1,000,000 rows of an INTEGER (random, many duplicates) and a
// CHAR(20) of 20 random letters; the engine's records are 36 bytes. Sort key:
// the integer, then the text.
//
//   engine sort          a copy of the table file is opened with the
//                        session's default buffer limits (16 KiB of records:
//                        the table is never wholly cached, so the external
//                        method runs: 123 runs of 8192 records) and sorted in
//                        place; the header is written at the end.
//   sqlite order by      SELECT k, s FROM t ORDER BY k, s, every row stepped
//                        and its columns read.
//   sqlite create as     CREATE TABLE sorted AS SELECT k, s FROM t ORDER BY
//                        k, s: the result materialised, as the engine's is.
//
// SQLite runs with journal off and synchronous off (the engine's default
// durability) and a 64 MiB page cache. Copying the engine's file and dropping
// SQLite's result table before each pass are not timed.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/support/bench_support.h"
#include "storage/data_file.h"
#include "storage/data_file_sort.h"
#include "storage/field_type.h"

namespace {

using namespace rudira;
namespace fs = std::filesystem;

constexpr int32_t kRows = 1000000;
constexpr int kTextLength = 20;

struct Fixture {
  std::string dir;
  std::string source;  // the unsorted engine table
  std::string sqlitePath;

  Fixture() {
    dir = bench::MakeTempDirectory("sort-bench");
    source = dir + "/source.DAT";
    sqlitePath = dir + "/bench.sqlite";
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int32_t> key(0, kRows / 4);
    std::uniform_int_distribution<int> letter('a', 'z');
    std::vector<std::pair<int32_t, std::string>> rows(kRows);
    for (auto& [k, s] : rows) {
      k = key(random);
      s.resize(kTextLength);
      for (char& c : s) c = static_cast<char>(letter(random));
    }
    WriteEngineTable(rows);
    WriteSqliteTable(rows);
  }
  ~Fixture() { fs::remove_all(dir); }

  void WriteEngineTable(const std::vector<std::pair<int32_t, std::string>>& rows) {
    DataFileDefinition definition;
    TFieldDescriptor number;
    number.FieldNo = 1;
    number.FieldName = "K";
    number.FieldType = kFieldTypeInteger;
    TFieldDescriptor text;
    text.FieldNo = 2;
    text.FieldName = "S";
    text.FieldType = kFieldTypeString;
    text.Size = kTextLength;
    definition.Fields = {number, text};
    TDataFile file(source, false);
    file.CreateTable(definition);
    for (const auto& [k, s] : rows) {
      TRecord* record = file.AllocateRecord(false, true);
      (void)StoreFieldValue(record->Data(), file.Fields()[0], k, file.Locale());
      (void)StoreFieldValue(record->Data(), file.Fields()[1], s, file.Locale());
    }
    file.WriteRecords();
    file.WriteHeader();
    file.Close();
  }

  void WriteSqliteTable(const std::vector<std::pair<int32_t, std::string>>& rows) {
    sqlite3* db = Open();
    sqlite3_exec(db, "CREATE TABLE t(k INTEGER, s TEXT)", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t(k, s) VALUES(?, ?)", -1, &insert, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (const auto& [k, s] : rows) {
      sqlite3_bind_int(insert, 1, k);
      sqlite3_bind_text(insert, 2, s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
      if (sqlite3_step(insert) != SQLITE_DONE) std::abort();
      sqlite3_reset(insert);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(insert);
    sqlite3_close(db);
  }

  sqlite3* Open() const {
    return bench::OpenSqlite(sqlitePath);
  }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

// Rows per second of each benchmark.
std::map<std::string, double>& Rates() {
  static std::map<std::string, double> rates;
  return rates;
}

void Report(benchmark::State& state, const std::string& name, int64_t rows, double seconds) {
  state.SetItemsProcessed(rows);
  state.counters["rows_per_s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
  if (seconds > 0) Rates()[name] = static_cast<double>(rows) / seconds;
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_Engine_Sort(benchmark::State& state) {
  Fixture& fixture = TheFixture();
  const std::string work = fixture.dir + "/work.DAT";
  int64_t rows = 0;
  double seconds = 0;
  int32_t runs = 0;
  for (auto _ : state) {
    fs::copy_file(fixture.source, work, fs::copy_options::overwrite_existing);
    TDataFile file(work, false);
    file.Open();
    TSortRequest request;
    request.PrivateDirectory = fixture.dir;
    request.Order.Fields = {{file.Fields()[0], false}, {file.Fields()[1], false}};
    const auto start = std::chrono::steady_clock::now();
    const TSortOutcome outcome = file.Sort(request);
    file.WriteHeader();
    seconds += Since(start);
    if (outcome.RowCount != kRows) state.SkipWithError("wrong row count");
    runs = outcome.RunCount;
    rows += outcome.RowCount;
    file.Close();
  }
  state.counters["runs"] = runs;
  Report(state, "engine sort", rows, seconds);
}

void BM_Sqlite_OrderBy(benchmark::State& state) {
  sqlite3* db = TheFixture().Open();
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(db, "SELECT k, s FROM t ORDER BY k, s", -1, &select, nullptr);
  int64_t rows = 0;
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    int64_t sum = 0;
    while (sqlite3_step(select) == SQLITE_ROW) {
      sum += sqlite3_column_int(select, 0) + sqlite3_column_bytes(select, 1);
      ++rows;
    }
    sqlite3_reset(select);
    benchmark::DoNotOptimize(sum);
    seconds += Since(start);
  }
  sqlite3_finalize(select);
  sqlite3_close(db);
  Report(state, "sqlite order by", rows, seconds);
}

void BM_Sqlite_CreateAs(benchmark::State& state) {
  sqlite3* db = TheFixture().Open();
  int64_t rows = 0;
  double seconds = 0;
  for (auto _ : state) {
    sqlite3_exec(db, "DROP TABLE IF EXISTS sorted", nullptr, nullptr, nullptr);
    const auto start = std::chrono::steady_clock::now();
    if (sqlite3_exec(db, "CREATE TABLE sorted AS SELECT k, s FROM t ORDER BY k, s", nullptr, nullptr, nullptr) !=
        SQLITE_OK) {
      state.SkipWithError("create failed");
    }
    seconds += Since(start);
    rows += kRows;
  }
  sqlite3_exec(db, "DROP TABLE IF EXISTS sorted", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  Report(state, "sqlite create as", rows, seconds);
}

BENCHMARK(BM_Engine_Sort)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Sqlite_OrderBy)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Sqlite_CreateAs)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const auto engine = Rates().find("engine sort");
  std::printf("\n%-18s %14s %10s\n", "workload", "rows/s", "engine/x");
  for (const char* workload : {"engine sort", "sqlite order by", "sqlite create as"}) {
    const auto rate = Rates().find(workload);
    if (rate == Rates().end()) continue;
    const double ratio = engine == Rates().end() ? 0 : engine->second / rate->second;
    std::printf("%-18s %14.0f %10.2f\n", workload, rate->second, ratio);
  }
  return 0;
}
