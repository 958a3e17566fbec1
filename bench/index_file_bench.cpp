// Index trees of TIndexFile beside SQLite's index on the same keys, in one
// run: random insert of 1,000,000 integer keys, point lookup of each of
// them in random order, and positioning by ordinal (the entry at a random
// position in key order). The table at the end prints both rates and their
// ratio (engine over SQLite; above 1 the engine is faster).
//
// Both sides get the same memory for pages: the engine a 64 MiB index
// buffer, SQLite a 64 MiB page cache. SQLite runs with journal_mode=OFF and
// synchronous=OFF, the durability of the engine's default, and its inserts
// go in one transaction, as the engine writes its modified pages once at the
// end of the pass. SQLite positions by ordinal with LIMIT 1 OFFSET n over its
// index, which walks the index; the engine descends by subtree counts. That
// difference is what the third workload shows, so it runs fewer operations.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bench/support/bench_support.h"
#include "storage/field_type.h"
#include "storage/index_file.h"
#include "storage/index_key.h"
#include "storage/index_tree.h"

namespace {

using namespace rudira;

constexpr int32_t kKeys = 1000000;
constexpr int kOrdinalLookups = 300;
constexpr int32_t kBufferBytes = 64 * 1024 * 1024;

struct Fixture {
  std::string dir;
  std::vector<int32_t> insertOrder;  // the keys 0..N-1 shuffled
  std::vector<int32_t> lookupOrder;  // shuffled again
  std::vector<int64_t> ordinals;     // random positions

  Fixture() {
    dir = bench::MakeTempDirectory("index-bench");
    insertOrder.resize(kKeys);
    std::iota(insertOrder.begin(), insertOrder.end(), 0);
    std::mt19937 rng(2026);
    std::shuffle(insertOrder.begin(), insertOrder.end(), rng);
    lookupOrder = insertOrder;
    std::shuffle(lookupOrder.begin(), lookupOrder.end(), rng);
    for (int i = 0; i < kOrdinalLookups; ++i) ordinals.push_back(static_cast<int64_t>(rng() % kKeys));
  }
  ~Fixture() { std::filesystem::remove_all(dir); }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

std::map<std::string, double>& Rates() {
  static std::map<std::string, double> rates;
  return rates;
}

void Report(benchmark::State& state, const std::string& name, int64_t operations, double seconds) {
  state.SetItemsProcessed(operations);
  if (seconds > 0) Rates()[name] = static_cast<double>(operations) / seconds;
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// --- engine ---

std::vector<uint8_t> Key(int32_t value) {
  std::vector<uint8_t> key(5);
  key[0] = 1;
  EncodeOrderedInt32(value, key.data() + 1);
  return key;
}

struct EngineIndex {
  TIndexFile file;
  int slot = 0;

  explicit EngineIndex(const std::string& path) : file(path, false) {
    file.SetIndexBufferBytes(kBufferBytes);
  }
  void Create() {
    TFieldDescriptor field;
    field.FieldNo = 1;
    field.FieldName = "K";
    field.FieldType = kFieldTypeInteger;
    field.Width = 4;
    field.Offset = 9;
    const std::vector<TFieldDescriptor> fields{field};
    file.SetTableFields(fields, {});
    file.CreateNew();
    TIndexDefinition d;
    d.IndexName = "ByK";
    d.Unique = 1;
    d.IndexFieldCount = 1;
    d.FieldNumbers[0] = 1;
    PrepareIndexDefinition(d, fields, false, "bench");
    slot = file.AddSecondaryDefinition(d);
  }
};

std::string EnginePath() { return TheFixture().dir + "/bench.IDX"; }

void EngineInsert(benchmark::State& state) {
  Fixture& fixture = TheFixture();
  double seconds = 0;
  int64_t operations = 0;
  for (auto _ : state) {
    EngineIndex index(EnginePath());
    index.Create();
    const auto start = std::chrono::steady_clock::now();
    TIndexTree tree(index.file, index.slot);
    for (int32_t k : fixture.insertOrder) {
      if (!tree.Insert(Key(k).data(), k + 1)) state.SkipWithError("duplicate key");
    }
    index.file.WritePages();
    index.file.WriteHeader();
    seconds += Since(start);
    operations += kKeys;
    index.file.Close();
  }
  Report(state, "insert", operations, seconds);
}

void EngineLookup(benchmark::State& state) {
  Fixture& fixture = TheFixture();
  EngineIndex index(EnginePath());
  index.file.Open();
  index.slot = 1;
  TIndexTree tree(index.file, index.slot);
  double seconds = 0;
  int64_t operations = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    int64_t sum = 0;
    for (int32_t k : fixture.lookupOrder) sum += tree.Find(Key(k).data());
    benchmark::DoNotOptimize(sum);
    seconds += Since(start);
    operations += kKeys;
  }
  Report(state, "point lookup", operations, seconds);
}

void EngineOrdinal(benchmark::State& state) {
  Fixture& fixture = TheFixture();
  EngineIndex index(EnginePath());
  index.file.Open();
  TIndexTree tree(index.file, 1);
  std::vector<uint8_t> key;
  double seconds = 0;
  int64_t operations = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    int64_t sum = 0;
    for (int64_t ordinal : fixture.ordinals) {
      int32_t recordNo = 0;
      tree.EntryAt(tree.PathOfOrdinal(ordinal), key, recordNo);
      sum += recordNo;
    }
    benchmark::DoNotOptimize(sum);
    seconds += Since(start);
    operations += kOrdinalLookups;
  }
  Report(state, "position by ordinal", operations, seconds);
}

// --- SQLite ---

std::string SqlitePath() { return TheFixture().dir + "/bench.sqlite"; }

sqlite3* OpenSqlite() {
  return bench::OpenSqlite(SqlitePath());
}

void SqliteInsert(benchmark::State& state) {
  Fixture& fixture = TheFixture();
  double seconds = 0;
  int64_t operations = 0;
  for (auto _ : state) {
    std::filesystem::remove(SqlitePath());
    sqlite3* db = OpenSqlite();
    sqlite3_exec(db, "CREATE TABLE t(k INTEGER, r INTEGER); CREATE UNIQUE INDEX tk ON t(k);", nullptr, nullptr,
                 nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t(k, r) VALUES(?, ?)", -1, &insert, nullptr);
    const auto start = std::chrono::steady_clock::now();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (int32_t k : fixture.insertOrder) {
      sqlite3_bind_int(insert, 1, k);
      sqlite3_bind_int(insert, 2, k + 1);
      if (sqlite3_step(insert) != SQLITE_DONE) state.SkipWithError("insert failed");
      sqlite3_reset(insert);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    seconds += Since(start);
    operations += kKeys;
    sqlite3_finalize(insert);
    sqlite3_close(db);
  }
  Report(state, "sqlite insert", operations, seconds);
}

void SqliteLookup(benchmark::State& state) {
  Fixture& fixture = TheFixture();
  sqlite3* db = OpenSqlite();
  sqlite3_stmt* find = nullptr;
  sqlite3_prepare_v2(db, "SELECT r FROM t WHERE k = ?", -1, &find, nullptr);
  double seconds = 0;
  int64_t operations = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    int64_t sum = 0;
    for (int32_t k : fixture.lookupOrder) {
      sqlite3_bind_int(find, 1, k);
      if (sqlite3_step(find) == SQLITE_ROW) sum += sqlite3_column_int(find, 0);
      sqlite3_reset(find);
    }
    benchmark::DoNotOptimize(sum);
    seconds += Since(start);
    operations += kKeys;
  }
  sqlite3_finalize(find);
  sqlite3_close(db);
  Report(state, "sqlite point lookup", operations, seconds);
}

void SqliteOrdinal(benchmark::State& state) {
  Fixture& fixture = TheFixture();
  sqlite3* db = OpenSqlite();
  sqlite3_stmt* seek = nullptr;
  sqlite3_prepare_v2(db, "SELECT r FROM t ORDER BY k LIMIT 1 OFFSET ?", -1, &seek, nullptr);
  double seconds = 0;
  int64_t operations = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    int64_t sum = 0;
    for (int64_t ordinal : fixture.ordinals) {
      sqlite3_bind_int64(seek, 1, ordinal);
      if (sqlite3_step(seek) == SQLITE_ROW) sum += sqlite3_column_int(seek, 0);
      sqlite3_reset(seek);
    }
    benchmark::DoNotOptimize(sum);
    seconds += Since(start);
    operations += kOrdinalLookups;
  }
  sqlite3_finalize(seek);
  sqlite3_close(db);
  Report(state, "sqlite position by ordinal", operations, seconds);
}

// Order matters: each insert pass builds the file its lookups read.
BENCHMARK(EngineInsert)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(EngineLookup)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(EngineOrdinal)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(SqliteInsert)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SqliteLookup)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SqliteOrdinal)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\n%-22s %16s %16s %10s\n", "workload (ops/s)", "engine", "sqlite", "ratio");
  for (const char* name : {"insert", "point lookup", "position by ordinal"}) {
    const double engine = Rates()[name];
    const double sqlite = Rates()[std::string("sqlite ") + name];
    std::printf("%-22s %16.0f %16.0f %10.2f\n", name, engine, sqlite, sqlite > 0 ? engine / sqlite : 0.0);
  }
  return 0;
}
