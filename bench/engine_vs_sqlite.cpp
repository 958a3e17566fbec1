// The engine beside SQLite on the same workloads, in one process run, printed
// as one table.
//
// Data at each size N (10,000, 100,000 and 1,000,000 rows; --max-rows or
// --sizes limit them):
//   t  K INTEGER primary key 1..N, W INTEGER (a random permutation of
//      0..N-1, secondary index ByW), G INTEGER (random 0..999, no index),
//      V CHAR(20)
//   a  N INTEGER primary key 1..N/50, R INTEGER (a random key of t)
// SQLite's tables hold the same rows: INTEGER PRIMARY KEY on t.K and a.N, an
// index on t.W.
//
// Workloads (one operation each; the engine's and SQLite's results are
// checked against each other and against what the data says):
//   load cursor   every row of t through TDataCursor::AppendRecord, each
//                 append written at once; SQLite: a prepared INSERT per row,
//                 autocommit (each row written at once too)
//   load sql      every row of a copy of t through a prepared
//                 "INSERT INTO s VALUES(?, ?, ?, ?)" of the SQL executor,
//                 each statement its own; SQLite the same, autocommit
//   find          cursor Find of a random K and its record read; SQLite:
//                 SELECT G, V FROM t WHERE K = ?
//   point sql     SELECT * FROM t WHERE K = ? (a live result)
//   range index   SELECT K, V FROM t WHERE W BETWEEN ? AND ?+99 (100 rows)
//   scan filter   SELECT K, V FROM t WHERE G < 100 (unindexed, about 10 %)
//   count where   SELECT COUNT(*) FROM t WHERE W BETWEEN ? AND ?+N/10-1
//   order by      SELECT K, G FROM t ORDER BY G (unindexed)
//   group by      SELECT G, COUNT(*), SUM(W), AVG(W) FROM t GROUP BY G
//   join          SELECT a.N, t.V FROM a, t WHERE a.R = t.K (t probed by K)
//   cursor scan   SetToBegin and GetNextRecord over t in key order; SQLite:
//                 SELECT K, W, G, V FROM t ORDER BY K
//   update 10%    UPDATE t SET G = G + 1 WHERE W < N/10 (by index)
//   delete 10%    DELETE FROM t WHERE W >= N/2 AND W < N/2+N/10 (by index)
//
// Buffers: "default" is the engine's default session (record cache, two
// index pages per index) beside SQLite's default page cache; "sized" gives
// the engine record and index buffers that hold the whole table and SQLite a
// page cache of the same bytes.
//
// Each operation repeats until --min-time CPU seconds (0.3) have passed, at
// least once; the time shown is one operation's CPU time (user and system:
// the machine is shared, so the wall clock would mostly measure the others). Ratio = engine time / SQLite time
// (below 1: the engine is faster). Rows/s counts the rows each operation
// produces or writes. Peak is the resident high-water mark while that side
// ran (VmHWM reset before each side), so it includes the process's baseline.
// SQLite runs with journal off and synchronous off: the engine's default
// durability.
#include <sqlite3.h>
#include <stdlib.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "bench/support/bench_support.h"
#include "engine/data_cursor.h"
#include "engine/data_session.h"
#include "sql/select_executor.h"
#include "storage/field_type.h"
#include "storage/field_value.h"

namespace {

using namespace rudira;
namespace fs = std::filesystem;

constexpr int kTextLength = 20;
constexpr int32_t kGroups = 1000;

struct Options {
  std::vector<int32_t> Sizes{10000, 100000, 1000000};
  bool Default = true;
  bool Sized = true;
  double MinTime = 0.3;
  std::string Only;  // workload names containing this; empty: all
};

// CPU seconds of the process (user and system), the measure of every
// workload: on a shared machine the wall clock mostly counts the others.
double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// An integral field value as int64 (0 for null and other types).
int64_t IntegerOf(const TFieldValue& value) {
  return std::visit(
      [](const auto& v) -> int64_t {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_integral_v<T>) return static_cast<int64_t>(v);
        else if constexpr (std::is_floating_point_v<T>) return static_cast<int64_t>(v);
        else return 0;
      },
      value);
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "engine_vs_sqlite: %s\n", what.c_str());
  std::exit(1);
}

// The rows of both databases at one size.
struct Data {
  int32_t Rows = 0;
  std::vector<int32_t> W, G, R;

  explicit Data(int32_t rows) : Rows(rows) {
    std::mt19937 random(20261210);
    W.resize(static_cast<size_t>(rows));
    std::iota(W.begin(), W.end(), 0);
    std::shuffle(W.begin(), W.end(), random);
    G.resize(static_cast<size_t>(rows));
    for (int32_t& g : G) g = static_cast<int32_t>(random() % kGroups);
    R.resize(static_cast<size_t>(Driving()));
    for (int32_t& r : R) r = static_cast<int32_t>(random() % static_cast<uint32_t>(rows)) + 1;
  }
  int32_t Driving() const { return std::max(Rows / 50, 1); }
  static std::string Text(int32_t k) {
    std::string text = "row " + std::to_string(k);
    text.resize(kTextLength, '.');
    return text;
  }
  int64_t CountGBelow(int32_t limit) const {
    return std::count_if(G.begin(), G.end(), [limit](int32_t g) { return g < limit; });
  }
};

// One measured side of a workload.
struct Side {
  double Seconds = 0;     // one operation
  int64_t Rows = 0;       // rows of one operation
  int64_t PeakKiB = 0;
};

struct Row {
  std::string Workload;
  int32_t Size = 0;
  std::string Buffers;
  Side Engine, Sqlite;
};

std::vector<Row>& Results() {
  static std::vector<Row> rows;
  return rows;
}

// Runs `operation` (returning the rows it produced) until minTime passed,
// at least once; `iteration` counts from 0.
Side Measure(double minTime, bool repeat, const std::function<int64_t(int64_t iteration)>& operation) {
  bench::ResetPeakResident();
  Side side;
  int64_t iterations = 0;
  double total = 0;
  do {
    const double start = CpuSeconds();
    side.Rows = operation(iterations);
    total += CpuSeconds() - start;
    ++iterations;
  } while (repeat && total < minTime);
  side.Seconds = total / static_cast<double>(iterations);
  side.PeakKiB = bench::PeakResidentKiB();
  return side;
}

// An engine session and SQLite connection on one fresh directory.
struct Bench {
  const Data& data;
  const Options& options;
  std::string buffers;
  std::string dir;
  std::unique_ptr<TDataSession> session;
  TDataDirectory* db = nullptr;
  sqlite3* lite = nullptr;

  Bench(const Data& d, const Options& o, bool sized) : data(d), options(o), buffers(sized ? "sized" : "default") {
    dir = bench::MakeTempDirectory("engine-vs-sqlite") + "/";
    session = std::make_unique<TDataSession>();
    session->SetPrivateDir(dir);
    int cacheKiB = 0;
    if (sized) {
      // Records of t and s with room to spare, and every index page of both.
      const int64_t dataBytes = std::max<int64_t>(int64_t{d.Rows} * 2 * 64, 4 << 20);
      const int64_t indexBytes = std::max<int64_t>(int64_t{d.Rows} * 2 * 96, 4 << 20);
      session->SetMaxDataBufferBytes(static_cast<int32_t>(dataBytes));
      session->SetMaxDataBufferCount(d.Rows * 2 + 4096);
      session->SetMaxIndexBufferBytes(static_cast<int32_t>(indexBytes));
      cacheKiB = static_cast<int>((dataBytes + indexBytes) / 1024);
    }
    db = session->OpenDatabase("bench", dir);
    lite = bench::OpenSqlite(dir + "bench.sqlite", cacheKiB);
  }
  ~Bench() {
    sqlite3_close(lite);
    session.reset();
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }

  bool Wanted(const std::string& name) const {
    return options.Only.empty() || name.find(options.Only) != std::string::npos;
  }

  void Add(const std::string& name, const Side& engine, const Side& sqlite) {
    if (engine.Rows != sqlite.Rows) {
      Fail(name + " at " + std::to_string(data.Rows) + " rows: engine " + std::to_string(engine.Rows) +
           " rows, SQLite " + std::to_string(sqlite.Rows));
    }
    Results().push_back({name, data.Rows, buffers, engine, sqlite});
    const Row& row = Results().back();
    std::fprintf(stderr, "  %-12s %8d %-7s engine %.6f s  sqlite %.6f s\n", name.c_str(), row.Size,
                 row.Buffers.c_str(), engine.Seconds, sqlite.Seconds);
  }

  void Exec(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(lite, sql, nullptr, nullptr, &error) != SQLITE_OK) Fail(std::string("SQLite: ") + error);
  }

  sqlite3_stmt* Prepare(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(lite, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) Fail("SQLite prepare " + sql);
    return statement;
  }

  // --- loads

  std::unique_ptr<TDataCursor> OpenCursor(const std::string& table) {
    auto cursor = std::make_unique<TDataCursor>(*session, *db);
    cursor->SetTableName(table);
    cursor->OpenCursor();
    return cursor;
  }

  void CreateTables() {
    const std::vector<bench::Column> columns{
        {"K", kFieldTypeInteger, 0}, {"W", kFieldTypeInteger, 0}, {"G", kFieldTypeInteger, 0},
        {"V", kFieldTypeString, kTextLength}};
    bench::CreateEngineTable(*db, "t", columns, {{"ByW", 2}});
    bench::CreateEngineTable(*db, "s", columns, {{"ByW", 2}});
    bench::CreateEngineTable(*db, "a", {{"N", kFieldTypeInteger, 0}, {"R", kFieldTypeInteger, 0}});
    Exec("CREATE TABLE t(K INTEGER PRIMARY KEY, W INTEGER, G INTEGER, V TEXT); CREATE INDEX ByW ON t(W);"
         "CREATE TABLE s(K INTEGER PRIMARY KEY, W INTEGER, G INTEGER, V TEXT); CREATE INDEX SByW ON s(W);"
         "CREATE TABLE a(N INTEGER PRIMARY KEY, R INTEGER)");
  }

  void LoadCursor() {
    const Side engine = Measure(0, false, [&](int64_t) {
      auto cursor = OpenCursor("t");
      std::vector<uint8_t> record(cursor->RecordSize());
      const TableLocale locale = cursor->Table()->DataFile().Locale();
      for (int32_t k = 1; k <= data.Rows; ++k) {
        const size_t i = static_cast<size_t>(k - 1);
        cursor->InitRecord(record.data());
        if (!StoreFieldValue(record.data(), cursor->Field(1), k, locale) ||
            !StoreFieldValue(record.data(), cursor->Field(2), data.W[i], locale) ||
            !StoreFieldValue(record.data(), cursor->Field(3), data.G[i], locale) ||
            !StoreFieldValue(record.data(), cursor->Field(4), Data::Text(k), locale)) {
          Fail("cannot store a field");
        }
        cursor->AppendRecord(record.data(), false);
      }
      auto driving = OpenCursor("a");
      std::vector<uint8_t> small(driving->RecordSize());
      for (int32_t n = 1; n <= data.Driving(); ++n) {
        driving->InitRecord(small.data());
        (void)StoreFieldValue(small.data(), driving->Field(1), n, locale);
        (void)StoreFieldValue(small.data(), driving->Field(2), data.R[static_cast<size_t>(n - 1)], locale);
        driving->AppendRecord(small.data(), false);
      }
      return int64_t{cursor->GetRecordCount()};
    });
    const Side sqlite = Measure(0, false, [&](int64_t) {
      InsertMainRowsIntoSqlite("t");
      sqlite3_stmt* insert = Prepare("INSERT INTO a VALUES(?, ?)");
      for (int32_t n = 1; n <= data.Driving(); ++n) {
        sqlite3_bind_int(insert, 1, n);
        sqlite3_bind_int(insert, 2, data.R[static_cast<size_t>(n - 1)]);
        if (sqlite3_step(insert) != SQLITE_DONE) Fail("SQLite insert");
        sqlite3_reset(insert);
      }
      sqlite3_finalize(insert);
      return int64_t{data.Rows};
    });
    Add("load cursor", engine, sqlite);
  }

  // SQLite's side of a load: the main table's rows, one INSERT each.
  void InsertMainRowsIntoSqlite(const std::string& table) {
    sqlite3_stmt* insert = Prepare("INSERT INTO " + table + " VALUES(?, ?, ?, ?)");
    for (int32_t k = 1; k <= data.Rows; ++k) {
      const size_t i = static_cast<size_t>(k - 1);
      const std::string text = Data::Text(k);
      sqlite3_bind_int(insert, 1, k);
      sqlite3_bind_int(insert, 2, data.W[i]);
      sqlite3_bind_int(insert, 3, data.G[i]);
      sqlite3_bind_text(insert, 4, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
      if (sqlite3_step(insert) != SQLITE_DONE) Fail("SQLite insert");
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
  }

  void LoadSql() {
    const Side engine = Measure(0, false, [&](int64_t) {
      TSelectExecutor executor(*session, *db, false, -1);
      executor.Prepare("INSERT INTO s VALUES(?, ?, ?, ?)");
      int64_t inserted = 0;
      std::vector<uint8_t> buffer;
      std::vector<TParameterDescriptor> descriptors;
      for (int32_t k = 1; k <= data.Rows; ++k) {
        const size_t i = static_cast<size_t>(k - 1);
        buffer.clear();
        descriptors.clear();
        bench::AddIntParameter(buffer, descriptors, k);
        bench::AddIntParameter(buffer, descriptors, data.W[i]);
        bench::AddIntParameter(buffer, descriptors, data.G[i]);
        bench::AddTextParameter(buffer, descriptors, Data::Text(k));
        executor.Execute(descriptors, buffer.data());
        inserted += executor.RowsAffected();
      }
      return inserted;
    });
    const Side sqlite = Measure(0, false, [&](int64_t) {
      InsertMainRowsIntoSqlite("s");
      return int64_t{data.Rows};
    });
    Add("load sql", engine, sqlite);
  }

  // --- reads

  int32_t RandomKey(int64_t iteration) const {
    return static_cast<int32_t>((iteration * 7919 + 13) % data.Rows) + 1;
  }

  void Find() {
    auto cursor = OpenCursor("t");
    std::vector<uint8_t> key(cursor->RecordSize());
    std::vector<uint8_t> found(cursor->RecordSize());
    const TableLocale locale = cursor->Table()->DataFile().Locale();
    const Side engine = Measure(options.MinTime, true, [&](int64_t iteration) {
      int64_t rows = 0;
      for (int j = 0; j < 100; ++j) {
        cursor->InitRecord(key.data());
        const int32_t k = RandomKey(iteration * 100 + j);
        (void)StoreFieldValue(key.data(), cursor->Field(1), k, locale);
        if (!cursor->Find(key.data(), false, found.data(), 0, 0, false)) Fail("Find missed a key");
        const TFieldValue g = ReadFieldValue(found.data(), cursor->Field(3));
        if (std::get<int32_t>(g) != data.G[static_cast<size_t>(k - 1)]) Fail("Find read a wrong record");
        ++rows;
      }
      return rows;
    });
    sqlite3_stmt* select = Prepare("SELECT G, V FROM t WHERE K = ?");
    const Side sqlite = Measure(options.MinTime, true, [&](int64_t iteration) {
      int64_t rows = 0;
      for (int j = 0; j < 100; ++j) {
        const int32_t k = RandomKey(iteration * 100 + j);
        sqlite3_bind_int(select, 1, k);
        if (sqlite3_step(select) != SQLITE_ROW) Fail("SQLite point");
        if (sqlite3_column_int(select, 0) != data.G[static_cast<size_t>(k - 1)]) Fail("SQLite read a wrong row");
        sqlite3_reset(select);
        ++rows;
      }
      return rows;
    });
    sqlite3_finalize(select);
    Add("find x100", engine, sqlite);
  }

  // Runs `sql` through the engine's executor and SQLite's prepared statement,
  // with parameters from `parameters(iteration)`, reading every result row.
  // `check` (if given) sees each side's first column sum and row count.
  void Query(const std::string& name, const std::string& sql, bool live, bool repeat,
             const std::function<std::vector<int32_t>(int64_t)>& parameters, int64_t expectedRows = -1) {
    if (!Wanted(name)) return;
    TSelectExecutor executor(*session, *db, live, -1);
    executor.Prepare(sql);
    std::vector<int64_t> engineSums, sqliteSums;
    const Side engine = Measure(options.MinTime, repeat, [&](int64_t iteration) {
      std::vector<uint8_t> buffer;
      std::vector<TParameterDescriptor> descriptors;
      for (int32_t value : parameters(iteration)) bench::AddIntParameter(buffer, descriptors, value);
      executor.Execute(descriptors, buffer.data());
      TDataCursor& cursor = *executor.ResultCursor();
      std::vector<uint8_t> record(cursor.RecordSize());
      const TFieldDescriptor& first = cursor.Field(1);
      int64_t rows = 0;
      int64_t sum = 0;
      while (cursor.GetNextRecord(record.data()) == 0) {
        sum += IntegerOf(ReadFieldValue(record.data(), first));
        ++rows;
      }
      if (iteration < 3) engineSums.push_back(sum);
      return rows;
    });
    sqlite3_stmt* select = Prepare(sql);
    const Side sqlite = Measure(options.MinTime, repeat, [&](int64_t iteration) {
      int index = 1;
      for (int32_t value : parameters(iteration)) sqlite3_bind_int(select, index++, value);
      int64_t rows = 0;
      int64_t sum = 0;
      while (sqlite3_step(select) == SQLITE_ROW) {
        sum += sqlite3_column_int64(select, 0);
        for (int i = 1; i < sqlite3_column_count(select); ++i) (void)sqlite3_column_bytes(select, i);
        ++rows;
      }
      sqlite3_reset(select);
      if (iteration < 3) sqliteSums.push_back(sum);
      return rows;
    });
    sqlite3_finalize(select);
    const size_t compared = std::min(engineSums.size(), sqliteSums.size());
    if (!std::equal(engineSums.begin(), engineSums.begin() + static_cast<ptrdiff_t>(compared), sqliteSums.begin())) {
      Fail(name + ": the engine's first column differs from SQLite's");
    }
    if (expectedRows >= 0 && engine.Rows != expectedRows) {
      Fail(name + ": " + std::to_string(engine.Rows) + " rows, expected " + std::to_string(expectedRows));
    }
    Add(name, engine, sqlite);
  }

  void CursorScan() {
    auto cursor = OpenCursor("t");
    std::vector<uint8_t> record(cursor->RecordSize());
    const TFieldDescriptor& w = cursor->Field(2);
    int64_t engineSum = 0, sqliteSum = 0;
    const Side engine = Measure(options.MinTime, true, [&](int64_t) {
      int64_t rows = 0;
      engineSum = 0;
      cursor->SetToBegin();
      while (cursor->GetNextRecord(record.data()) == 0) {
        engineSum += IntegerOf(ReadFieldValue(record.data(), w));
        ++rows;
      }
      return rows;
    });
    sqlite3_stmt* select = Prepare("SELECT K, W, G, V FROM t ORDER BY K");
    const Side sqlite = Measure(options.MinTime, true, [&](int64_t) {
      int64_t rows = 0;
      sqliteSum = 0;
      while (sqlite3_step(select) == SQLITE_ROW) {
        sqliteSum += sqlite3_column_int(select, 1);
        (void)sqlite3_column_bytes(select, 3);
        ++rows;
      }
      sqlite3_reset(select);
      return rows;
    });
    sqlite3_finalize(select);
    if (engineSum != sqliteSum) Fail("cursor scan: sums differ");
    Add("cursor scan", engine, sqlite);
  }

  // --- changes: one statement each; both sides must report the same rows.

  void Change(const std::string& name, const std::string& sql) {
    if (!Wanted(name)) return;
    const Side engine = Measure(0, false, [&](int64_t) {
      TSelectExecutor executor(*session, *db, false, -1);
      executor.Prepare(sql);
      executor.Execute();
      return int64_t{executor.RowsAffected()};
    });
    const Side sqlite = Measure(0, false, [&](int64_t) {
      Exec(sql.c_str());
      return int64_t{sqlite3_changes(lite)};
    });
    Add(name, engine, sqlite);
  }

  void Run() {
    const int32_t n = data.Rows;
    CreateTables();
    LoadCursor();
    if (Wanted("load sql")) LoadSql();
    if (Wanted("find")) Find();
    Query("point sql", "SELECT * FROM t WHERE K = ?", true, true,
          [this](int64_t i) { return std::vector<int32_t>{RandomKey(i)}; }, 1);
    Query("range index", "SELECT K, V FROM t WHERE W BETWEEN ? AND ?", false, true,
          [n](int64_t i) {
            const int32_t from = static_cast<int32_t>((i * 7919) % (n - 100));
            return std::vector<int32_t>{from, from + 99};
          },
          100);
    Query("scan filter", "SELECT K, V FROM t WHERE G < 100", false, true,
          [](int64_t) { return std::vector<int32_t>{}; }, data.CountGBelow(100));
    Query("count where", "SELECT COUNT(*) FROM t WHERE W BETWEEN ? AND ?", false, true, [n](int64_t i) {
      const int32_t from = static_cast<int32_t>((i * 7919) % (n - n / 10));
      return std::vector<int32_t>{from, from + n / 10 - 1};
    }, 1);
    Query("order by", "SELECT K, G FROM t ORDER BY G", false, true, [](int64_t) { return std::vector<int32_t>{}; },
          n);
    Query("group by", "SELECT G, COUNT(*), SUM(W), AVG(W) FROM t GROUP BY G", false, true,
          [](int64_t) { return std::vector<int32_t>{}; });
    Query("join", "SELECT a.N, t.V FROM a, t WHERE a.R = t.K", false, true,
          [](int64_t) { return std::vector<int32_t>{}; }, data.Driving());
    if (Wanted("cursor scan")) CursorScan();
    Change("update 10%", "UPDATE t SET G = G + 1 WHERE W < " + std::to_string(n / 10));
    Change("delete 10%",
           "DELETE FROM t WHERE W >= " + std::to_string(n / 2) + " AND W < " + std::to_string(n / 2 + n / 10));
  }
};

std::string Duration(double seconds) {
  char text[32];
  if (seconds >= 1) std::snprintf(text, sizeof text, "%.2f s", seconds);
  else if (seconds >= 1e-3) std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
  else std::snprintf(text, sizeof text, "%.1f us", seconds * 1e6);
  return text;
}

std::string Rate(int64_t rows, double seconds) {
  char text[32];
  const double rate = seconds > 0 ? static_cast<double>(rows) / seconds : 0;
  if (rate >= 1e6) std::snprintf(text, sizeof text, "%.2fM", rate / 1e6);
  else if (rate >= 1e3) std::snprintf(text, sizeof text, "%.1fk", rate / 1e3);
  else std::snprintf(text, sizeof text, "%.1f", rate);
  return text;
}

void PrintTable() {
  std::printf("| workload | rows | buffers | engine | SQLite | ratio | engine rows/s | SQLite rows/s | "
              "engine peak MiB | SQLite peak MiB |\n");
  std::printf("|---|---:|---|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const Row& row : Results()) {
    std::printf("| %s | %d | %s | %s | %s | %.2f | %s | %s | %.0f | %.0f |\n", row.Workload.c_str(), row.Size,
                row.Buffers.c_str(), Duration(row.Engine.Seconds).c_str(), Duration(row.Sqlite.Seconds).c_str(),
                row.Engine.Seconds / row.Sqlite.Seconds, Rate(row.Engine.Rows, row.Engine.Seconds).c_str(),
                Rate(row.Sqlite.Rows, row.Sqlite.Seconds).c_str(), static_cast<double>(row.Engine.PeakKiB) / 1024,
                static_cast<double>(row.Sqlite.PeakKiB) / 1024);
  }
}

[[noreturn]] void Usage() {
  std::fprintf(stderr,
               "usage: engine_vs_sqlite [--max-rows N] [--sizes N,N,...] [--buffers default|sized|both]\n"
               "                        [--min-time SECONDS] [--only WORKLOAD]\n");
  std::exit(2);
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) Usage();
    const std::string value = argv[++i];
    if (arg == "--max-rows") {
      const long limit = std::strtol(value.c_str(), nullptr, 10);
      std::erase_if(options.Sizes, [limit](int32_t size) { return size > limit; });
    } else if (arg == "--sizes") {
      options.Sizes.clear();
      for (size_t at = 0; at < value.size();) {
        const size_t comma = std::min(value.find(',', at), value.size());
        options.Sizes.push_back(static_cast<int32_t>(std::strtol(value.substr(at, comma - at).c_str(), nullptr, 10)));
        at = comma + 1;
      }
    } else if (arg == "--buffers") {
      if (value != "default" && value != "sized" && value != "both") Usage();
      options.Default = value != "sized";
      options.Sized = value != "default";
    } else if (arg == "--min-time") {
      options.MinTime = std::strtod(value.c_str(), nullptr);
    } else if (arg == "--only") {
      options.Only = value;
    } else {
      Usage();
    }
  }
  for (int32_t size : options.Sizes) {
    if (size < 1000) Usage();
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  for (int32_t size : options.Sizes) {
    const Data data(size);
    for (bool sized : {false, true}) {
      if (sized ? !options.Sized : !options.Default) continue;
      std::fprintf(stderr, "%d rows, %s buffers\n", size, sized ? "sized" : "default");
      Bench bench(data, options, sized);
      bench.Run();
    }
  }
  PrintTable();
  return 0;
}
