// INSERT, UPDATE and DELETE statements beside SQLite running the same
// statements, in one run.
//
// Table t (K INTEGER primary key, W INTEGER with a secondary index, V
// CHAR(20)) gets 100,000 rows, W a random value 0..99999.
//
//   insert, one transaction   100,000 × INSERT INTO t VALUES (?, ?, ?)
//                             inside one START TRANSACTION ... COMMIT
//   insert, each on its own   the same without a transaction: every
//                             INSERT ... VALUES is written at once
//   update 10 %               UPDATE t SET V = 'changed' WHERE W < 10000
//                             with the statement's own transaction and
//                             the default interval commits
//   delete 10 %               DELETE FROM t WHERE W < 10000, the same way
//
// The INSERTs are one prepared statement executed with new "?" values each
// time. Each workload starts from a fresh table (empty for the INSERTs,
// filled outside the timing for UPDATE and DELETE) and runs once. SQLite
// runs with journal off and synchronous off, an index on W, and its
// autocommit in place of the engine's statement transaction.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/support/bench_support.h"
#include "bench/support/rate_table.h"
#include "engine/data_session.h"
#include "sql/select_executor.h"
#include "storage/field_type.h"

namespace {

using namespace rudira;
namespace fs = std::filesystem;

constexpr int32_t kRows = 100000;
constexpr int32_t kTenth = 10000;  // rows with W below this: about 10 %
constexpr int kTextLength = 20;

std::string Text(int32_t k) {
  std::string text = "row " + std::to_string(k);
  text.resize(kTextLength, '.');
  return text;
}

const std::vector<int32_t>& Weights() {
  static const std::vector<int32_t> weights = [] {
    std::mt19937 random(20261210);
    std::vector<int32_t> w(kRows);
    for (int32_t& value : w) value = static_cast<int32_t>(random() % kRows);
    return w;
  }();
  return weights;
}

int64_t TenthRows() {
  int64_t count = 0;
  for (int32_t value : Weights()) count += value < kTenth ? 1 : 0;
  return count;
}

// Rows affected per second of each workload (timed part only).
double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

enum class Work { kInsertTransaction, kInsertEach, kUpdate, kDelete };

struct Workload {
  const char* Name;
  Work Kind;
};

const Workload kWorkloads[] = {
    {"insert, one transaction", Work::kInsertTransaction},
    {"insert, each on its own", Work::kInsertEach},
    {"update 10 %", Work::kUpdate},
    {"delete 10 %", Work::kDelete},
};

const char kUpdateSql[] = "UPDATE t SET V = 'changed' WHERE W < 10000";
const char kDeleteSql[] = "DELETE FROM t WHERE W < 10000";

// A fresh directory with a session, a database and the empty table t.
struct EngineFixture {
  std::string dir;
  std::unique_ptr<TDataSession> session;
  TDataDirectory* db = nullptr;

  EngineFixture() {
    dir = bench::MakeTempDirectory("dml-bench") + "/";
    session = std::make_unique<TDataSession>();
    session->SetPrivateDir(dir);
    db = session->OpenDatabase("bench", dir);
    bench::CreateEngineTable(*db, "t",
                             {{"K", kFieldTypeInteger}, {"W", kFieldTypeInteger}, {"V", kFieldTypeString, kTextLength}},
                             {{"ByW", 2}});
  }
  ~EngineFixture() {
    session.reset();
    fs::remove_all(dir);
  }

  // The 100,000 INSERT statements; returns the rows affected.
  int64_t InsertAll() {
    TSelectExecutor executor(*session, *db, false, -1);
    executor.Prepare("INSERT INTO t VALUES (?, ?, ?)");
    int64_t affected = 0;
    std::vector<uint8_t> buffer;
    std::vector<TParameterDescriptor> descriptors;
    for (int32_t k = 1; k <= kRows; ++k) {
      buffer.clear();
      descriptors.clear();
      bench::AddIntParameter(buffer, descriptors, k);
      bench::AddIntParameter(buffer, descriptors, Weights()[static_cast<size_t>(k - 1)]);
      bench::AddTextParameter(buffer, descriptors, Text(k));
      executor.Execute(descriptors, buffer.data());
      affected += executor.RowsAffected();
    }
    return affected;
  }

  int64_t Statement(const char* sql) {
    TSelectExecutor executor(*session, *db, false, -1);
    executor.Prepare(sql);
    executor.Execute();
    return executor.RowsAffected();
  }
};

struct SqliteFixture {
  std::string dir;
  sqlite3* lite = nullptr;

  SqliteFixture() {
    dir = bench::MakeTempDirectory("dml-bench-sqlite");
    lite = bench::OpenSqlite(dir + "/bench.sqlite");
    sqlite3_exec(lite, "CREATE TABLE t(K INTEGER PRIMARY KEY, W INTEGER, V TEXT); CREATE INDEX ByW ON t(W)", nullptr,
                 nullptr, nullptr);
  }
  ~SqliteFixture() {
    sqlite3_close(lite);
    fs::remove_all(dir);
  }

  int64_t InsertAll() {
    sqlite3_stmt* insert = nullptr;
    if (sqlite3_prepare_v2(lite, "INSERT INTO t VALUES(?, ?, ?)", -1, &insert, nullptr) != SQLITE_OK) std::abort();
    int64_t affected = 0;
    for (int32_t k = 1; k <= kRows; ++k) {
      const std::string text = Text(k);
      sqlite3_bind_int(insert, 1, k);
      sqlite3_bind_int(insert, 2, Weights()[static_cast<size_t>(k - 1)]);
      sqlite3_bind_text(insert, 3, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
      if (sqlite3_step(insert) != SQLITE_DONE) std::abort();
      sqlite3_reset(insert);
      affected += sqlite3_changes(lite);
    }
    sqlite3_finalize(insert);
    return affected;
  }

  int64_t Statement(const char* sql) {
    if (sqlite3_exec(lite, sql, nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
    return sqlite3_changes(lite);
  }
};

// Runs one workload on a fresh fixture; returns the statements executed
// and the rows affected, adding the timed seconds.
template <typename Fixture>
std::pair<int64_t, int64_t> RunOnce(Work kind, double& seconds, void (*begin)(Fixture&), void (*commit)(Fixture&)) {
  Fixture fixture;
  if (kind == Work::kUpdate || kind == Work::kDelete) {
    begin(fixture);
    fixture.InsertAll();
    commit(fixture);
  }
  const auto start = std::chrono::steady_clock::now();
  int64_t affected = 0;
  int64_t statements = 1;
  switch (kind) {
    case Work::kInsertTransaction:
      begin(fixture);
      affected = fixture.InsertAll();
      commit(fixture);
      statements = kRows;
      break;
    case Work::kInsertEach:
      affected = fixture.InsertAll();
      statements = kRows;
      break;
    case Work::kUpdate: affected = fixture.Statement(kUpdateSql); break;
    case Work::kDelete: affected = fixture.Statement(kDeleteSql); break;
  }
  seconds += Since(start);
  return {statements, affected};
}

int64_t Expected(Work kind) { return kind == Work::kUpdate || kind == Work::kDelete ? TenthRows() : kRows; }

template <typename Fixture>
void Measure(benchmark::State& state, const std::string& name, const Workload& workload, void (*begin)(Fixture&),
             void (*commit)(Fixture&)) {
  int64_t statements = 0;
  int64_t rows = 0;
  double seconds = 0;
  for (auto _ : state) {
    const double before = seconds;
    const auto [done, affected] = RunOnce<Fixture>(workload.Kind, seconds, begin, commit);
    state.SetIterationTime(seconds - before);  // the set-up of the fixture is not timed
    if (affected != Expected(workload.Kind)) state.SkipWithError("wrong rows affected");
    statements += done;
    rows += affected;
  }
  state.counters["rows_per_s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
  state.counters["statements"] = static_cast<double>(statements);
  if (seconds > 0) bench::Rates()[name + workload.Name] = static_cast<double>(rows) / seconds;
}

void EngineBegin(EngineFixture& f) { f.db->StartTransaction(); }
void EngineCommit(EngineFixture& f) { f.db->Commit(false); }
void SqliteBegin(SqliteFixture& f) { sqlite3_exec(f.lite, "BEGIN", nullptr, nullptr, nullptr); }
void SqliteCommit(SqliteFixture& f) { sqlite3_exec(f.lite, "COMMIT", nullptr, nullptr, nullptr); }

void Register() {
  for (const Workload& workload : kWorkloads) {
    auto* engine = benchmark::RegisterBenchmark((std::string("engine/") + workload.Name).c_str(),
                                                [&workload](benchmark::State& s) {
                                                  Measure<EngineFixture>(s, "engine ", workload, EngineBegin,
                                                                         EngineCommit);
                                                });
    auto* lite = benchmark::RegisterBenchmark((std::string("sqlite/") + workload.Name).c_str(),
                                              [&workload](benchmark::State& s) {
                                                Measure<SqliteFixture>(s, "sqlite ", workload, SqliteBegin,
                                                                       SqliteCommit);
                                              });
    for (auto* b : {engine, lite}) {
      b->Unit(benchmark::kMillisecond);
      b->Iterations(1);
      b->UseManualTime();
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  return rudira::bench::RunBesideSqlite(argc, argv, Register, kWorkloads, "workload (rows/s)", "engine", "sqlite");
}
