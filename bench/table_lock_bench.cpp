// Table locks per second: a reader lock and unlock, and a writer lock and
// unlock, on a real table in a temporary directory, beside SQLite's nearest
// equivalents on a database of the same rows, in one run.
//
// Workloads (one cycle = one lock and its unlock):
//   reader            TDataTable::ReaderLock + ReaderUnlock: a random reader
//                     slot in the index file, then the change check (header
//                     re-read); SQLite: one autocommit SELECT step and reset,
//                     which takes and drops the SHARED lock and checks the
//                     change counter.
//   writer            TDataTable::WriterLock + WriterUnlock: the data byte and
//                     the index writer range, then the change check; SQLite:
//                     BEGIN EXCLUSIVE + COMMIT, which, like the writer range,
//                     is granted only when no reader holds the file.
//   ... contended     the same while a second, forked process loops taking
//                     and releasing reader locks on the same table (for
//                     SQLite: running the same SELECT on its own connection).
//
// Both engines wait their own way when refused: the engine retries every
// 3 ms (up to 32767 times), SQLite's busy handler sleeps 1, 2, 5, 10 ... ms.
// SQLite runs with journal off and synchronous off, the engine's default
// durability. The child opens its files after the fork, so its locks are its
// own (open-file-description locks are shared across a fork otherwise).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "bench/support/bench_support.h"
#include "storage/data_table.h"
#include "storage/field_type.h"
#include "storage/field_value.h"

namespace {

using namespace rudira;

constexpr int32_t kRows = 100;

struct Fixture {
  std::string dir;  // with trailing "/"
  TableSettings settings;

  Fixture() {
    dir = bench::MakeTempDirectory("table-lock-bench") + "/";
    settings.PrivateDirectory = dir;
    DataFileDefinition definition;
    TFieldDescriptor number;
    number.FieldNo = 1;
    number.FieldName = "N";
    number.FieldType = kFieldTypeInteger;
    definition.Fields = {number};
    TDataTable table(nullptr, settings, dir, "t", false, false, false);
    table.Create(definition, TableIndexDefinitions{});
    table.Open();
    table.WriterLock();
    for (int32_t i = 1; i <= kRows; ++i) {
      TRecord* record = table.DataFile().AllocateRecord(true, false);
      (void)StoreFieldValue(record->Data(), table.DataFile().Fields()[0], i, table.DataFile().Locale());
    }
    table.WriteChanges(false, false);
    table.WriterUnlock();
    table.Close();

    sqlite3* db = OpenSqlite();
    sqlite3_exec(db, "CREATE TABLE t(n INTEGER)", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (int32_t i = 1; i <= kRows; ++i) {
      sqlite3_exec(db, ("INSERT INTO t VALUES(" + std::to_string(i) + ")").c_str(), nullptr, nullptr, nullptr);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  ~Fixture() { std::filesystem::remove_all(dir); }

  sqlite3* OpenSqlite() const {
    sqlite3* db = bench::OpenSqlite(dir + "bench.sqlite", 0);
    sqlite3_busy_timeout(db, 600000);
    return db;
  }

  std::unique_ptr<TDataTable> OpenTable() const {
    auto table = std::make_unique<TDataTable>(nullptr, settings, dir, "t", false, false, false);
    table->Open();
    return table;
  }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

// Cycles per second of each benchmark, measured by the benchmarks themselves.
std::map<std::string, double>& Rates() {
  static std::map<std::string, double> rates;
  return rates;
}

// A forked process that runs `cycle` in a loop until stopped. It is started
// before the parent opens anything of the benchmark, so it opens its files
// itself.
class TContender {
 public:
  explicit TContender(const std::function<std::function<void()>()>& openAndMakeCycle) {
    void* shared = ::mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) std::abort();
    shared_ = new (shared) Shared();
    pid_ = ::fork();
    if (pid_ < 0) std::abort();
    if (pid_ == 0) {
      int status = 0;
      try {
        std::function<void()> cycle = openAndMakeCycle();
        shared_->ready.store(1);
        while (shared_->stop.load(std::memory_order_relaxed) == 0) {
          cycle();
          shared_->cycles.fetch_add(1, std::memory_order_relaxed);
        }
      } catch (...) {
        status = 1;
        shared_->ready.store(2);
      }
      ::_exit(status);
    }
    while (shared_->ready.load() == 0) ::usleep(1000);
    if (shared_->ready.load() != 1) std::abort();
  }
  ~TContender() {
    shared_->stop.store(1);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    ::munmap(shared_, sizeof(Shared));
  }
  int64_t Cycles() const { return shared_->cycles.load(); }

 private:
  struct Shared {
    std::atomic<int> ready{0};
    std::atomic<int> stop{0};
    std::atomic<int64_t> cycles{0};
  };
  Shared* shared_ = nullptr;
  pid_t pid_ = -1;
};

std::function<void()> EngineReaderCycle(TDataTable& table) {
  return [&table] {
    if (!table.ReaderLock()) std::abort();
    table.ReaderUnlock();
  };
}

std::function<void()> EngineWriterCycle(TDataTable& table) {
  return [&table] {
    table.WriterLock();
    table.WriterUnlock();
  };
}

std::function<void()> SqliteReaderCycle(sqlite3* db, sqlite3_stmt*& select) {
  sqlite3_prepare_v2(db, "SELECT n FROM t LIMIT 1", -1, &select, nullptr);
  return [select] {
    if (sqlite3_step(select) != SQLITE_ROW) std::abort();
    sqlite3_reset(select);
  };
}

std::function<void()> SqliteWriterCycle(sqlite3* db) {
  return [db] {
    if (sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
  };
}

void Measure(benchmark::State& state, const std::string& name, const std::function<void()>& cycle,
             const TContender* contender) {
  int64_t cycles = 0;
  const int64_t contenderBefore = contender ? contender->Cycles() : 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    cycle();
    ++cycles;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.SetItemsProcessed(cycles);
  if (contender != nullptr && seconds > 0) {
    state.counters["contender_cycles_per_s"] =
        static_cast<double>(contender->Cycles() - contenderBefore) / seconds;
  }
  if (seconds > 0) Rates()[name] = static_cast<double>(cycles) / seconds;
}

// The contending child of the engine workloads: reader locks on its own table
// object.
std::unique_ptr<TContender> EngineContender() {
  return std::make_unique<TContender>([] {
    static std::unique_ptr<TDataTable> table;  // the child's own, opened after the fork
    table = TheFixture().OpenTable();
    return EngineReaderCycle(*table);
  });
}

std::unique_ptr<TContender> SqliteContender() {
  return std::make_unique<TContender>([] {
    static sqlite3_stmt* select = nullptr;
    sqlite3* db = TheFixture().OpenSqlite();
    return SqliteReaderCycle(db, select);
  });
}

void EngineBench(benchmark::State& state, bool writer, bool contended, const std::string& name) {
  TheFixture();
  std::unique_ptr<TContender> contender = contended ? EngineContender() : nullptr;
  std::unique_ptr<TDataTable> table = TheFixture().OpenTable();
  Measure(state, name, writer ? EngineWriterCycle(*table) : EngineReaderCycle(*table), contender.get());
  table->Close();
}

void SqliteBench(benchmark::State& state, bool writer, bool contended, const std::string& name) {
  TheFixture();
  std::unique_ptr<TContender> contender = contended ? SqliteContender() : nullptr;
  sqlite3* db = TheFixture().OpenSqlite();
  sqlite3_stmt* select = nullptr;
  Measure(state, name, writer ? SqliteWriterCycle(db) : SqliteReaderCycle(db, select), contender.get());
  sqlite3_finalize(select);
  sqlite3_close(db);
}

void BM_Engine_Reader(benchmark::State& s) { EngineBench(s, false, false, "reader"); }
void BM_Sqlite_Reader(benchmark::State& s) { SqliteBench(s, false, false, "reader/sqlite"); }
void BM_Engine_Writer(benchmark::State& s) { EngineBench(s, true, false, "writer"); }
void BM_Sqlite_Writer(benchmark::State& s) { SqliteBench(s, true, false, "writer/sqlite"); }
void BM_Engine_ReaderContended(benchmark::State& s) { EngineBench(s, false, true, "reader contended"); }
void BM_Sqlite_ReaderContended(benchmark::State& s) { SqliteBench(s, false, true, "reader contended/sqlite"); }
void BM_Engine_WriterContended(benchmark::State& s) { EngineBench(s, true, true, "writer contended"); }
void BM_Sqlite_WriterContended(benchmark::State& s) { SqliteBench(s, true, true, "writer contended/sqlite"); }

BENCHMARK(BM_Engine_Reader)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sqlite_Reader)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Engine_Writer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sqlite_Writer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Engine_ReaderContended)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sqlite_ReaderContended)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Engine_WriterContended)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sqlite_WriterContended)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TheFixture();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\n%-18s %16s %16s %8s\n", "workload", "engine cycles/s", "SQLite cycles/s", "ratio");
  for (const char* workload : {"reader", "writer", "reader contended", "writer contended"}) {
    const auto engine = Rates().find(workload);
    const auto sqlite = Rates().find(std::string(workload) + "/sqlite");
    if (engine == Rates().end() || sqlite == Rates().end()) continue;
    std::printf("%-18s %16.0f %16.0f %8.2f\n", workload, engine->second, sqlite->second,
                engine->second / sqlite->second);
  }
  return 0;
}
