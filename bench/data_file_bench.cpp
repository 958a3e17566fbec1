// Record reads and writes through TDataFile beside plain pread/pwrite of the
// same bytes, in one run. The ratio (TDataFile records per second over plain
// records per second) is the overhead, or gain, of the data file layer: its
// record cache, read-ahead runs, coalesced writes and value decoding.
//
// Workloads, each over every record of a 100,000-record table of 56-byte
// records (an INTEGER and a CHAR(40)):
//   sequential read   records 1..N in order, reading the integer field
//   random read       the same records in a fixed random order
//   sequential write  each record changed and written back, in order
//   random write      the same in random order
// The plain side preads or pwrites one record at its offset per record, the
// usual way of a program without a cache. TDataFile runs with the session's
// default buffer limits (16 KiB of records) and writes its modified records
// back at the end of each pass, as a table does at the end of an operation.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bench/support/bench_support.h"
#include "storage/byte_codec.h"
#include "storage/data_file.h"
#include "storage/field_type.h"

namespace {

using namespace rudira;

constexpr int32_t kRecords = 100000;

struct Fixture {
  std::string dir;
  std::string path;
  std::vector<int32_t> sequential;
  std::vector<int32_t> shuffled;
  int64_t dataStart = 0;
  uint16_t recordSize = 0;

  Fixture() {
    dir = bench::MakeTempDirectory("datafile-bench");
    path = dir + "/bench.DAT";
    DataFileDefinition definition;
    TFieldDescriptor number;
    number.FieldNo = 1;
    number.FieldName = "N";
    number.FieldType = kFieldTypeInteger;
    TFieldDescriptor text;
    text.FieldNo = 2;
    text.FieldName = "S";
    text.FieldType = kFieldTypeString;
    text.Size = 40;
    definition.Fields = {number, text};
    TDataFile file(path, false);
    file.CreateTable(definition);
    for (int32_t i = 1; i <= kRecords; ++i) {
      TRecord* record = file.AllocateRecord(false, false);
      (void)StoreFieldValue(record->Data(), file.Fields()[0], i, file.Locale());
      (void)StoreFieldValue(record->Data(), file.Fields()[1], std::string("record ") + std::to_string(i),
                            file.Locale());
    }
    file.WriteRecords();
    file.WriteHeader();
    dataStart = file.DataStart();
    recordSize = file.RecordSize();
    file.Close();
    sequential.resize(kRecords);
    std::iota(sequential.begin(), sequential.end(), 1);
    shuffled = sequential;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(12345));
  }
  ~Fixture() { std::filesystem::remove_all(dir); }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

// Records per second of each benchmark, measured by the benchmarks themselves.
std::map<std::string, double>& Rates() {
  static std::map<std::string, double> rates;
  return rates;
}

void Record(benchmark::State& state, const std::string& name, int64_t records, double seconds) {
  state.SetItemsProcessed(records);
  state.counters["records_per_s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
  if (seconds > 0) Rates()[name] = static_cast<double>(records) / seconds;
}

void DataFileRead(benchmark::State& state, const std::vector<int32_t>& order, const std::string& name) {
  Fixture& fixture = TheFixture();
  TDataFile file(fixture.path, false);
  file.Open();
  int64_t records = 0;
  double seconds = 0;
  for (auto _ : state) {
    file.DropCache();
    const auto start = std::chrono::steady_clock::now();
    int64_t sum = 0;
    for (int32_t n : order) sum += std::get<int32_t>(ReadFieldValue(file.GetRecord(n)->Data(), file.Fields()[0]));
    benchmark::DoNotOptimize(sum);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    records += static_cast<int64_t>(order.size());
  }
  Record(state, name, records, seconds);
}

void DataFileWrite(benchmark::State& state, const std::vector<int32_t>& order, const std::string& name) {
  Fixture& fixture = TheFixture();
  TDataFile file(fixture.path, false);
  file.Open();
  int64_t records = 0;
  double seconds = 0;
  int32_t pass = 0;
  for (auto _ : state) {
    file.DropCache();
    ++pass;
    const auto start = std::chrono::steady_clock::now();
    for (int32_t n : order) {
      TRecord* record = file.GetRecord(n);
      (void)StoreFieldValue(record->Data(), file.Fields()[0], n + pass, file.Locale());
      file.MarkRecordModified(record);
    }
    file.WriteRecords();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    records += static_cast<int64_t>(order.size());
  }
  Record(state, name, records, seconds);
}

void PlainRead(benchmark::State& state, const std::vector<int32_t>& order, const std::string& name) {
  Fixture& fixture = TheFixture();
  const int fd = ::open(fixture.path.c_str(), O_RDONLY);
  std::vector<uint8_t> buffer(fixture.recordSize);
  int64_t records = 0;
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    int64_t sum = 0;
    for (int32_t n : order) {
      const off_t offset = fixture.dataStart + static_cast<off_t>(n - 1) * fixture.recordSize;
      if (::pread(fd, buffer.data(), buffer.size(), offset) != static_cast<ssize_t>(buffer.size())) std::abort();
      sum += LoadLE<int32_t>(buffer.data() + 10);
    }
    benchmark::DoNotOptimize(sum);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    records += static_cast<int64_t>(order.size());
  }
  ::close(fd);
  Record(state, name, records, seconds);
}

void PlainWrite(benchmark::State& state, const std::vector<int32_t>& order, const std::string& name) {
  Fixture& fixture = TheFixture();
  const int fd = ::open(fixture.path.c_str(), O_RDWR);
  std::vector<uint8_t> buffer(fixture.recordSize);
  int64_t records = 0;
  double seconds = 0;
  int32_t pass = 0;
  for (auto _ : state) {
    ++pass;
    const auto start = std::chrono::steady_clock::now();
    for (int32_t n : order) {
      const off_t offset = fixture.dataStart + static_cast<off_t>(n - 1) * fixture.recordSize;
      // Read-modify-write, as the data file does: the record is changed, not replaced.
      if (::pread(fd, buffer.data(), buffer.size(), offset) != static_cast<ssize_t>(buffer.size())) std::abort();
      StoreLE<int32_t>(buffer.data() + 10, n + pass);
      if (::pwrite(fd, buffer.data(), buffer.size(), offset) != static_cast<ssize_t>(buffer.size())) std::abort();
    }
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    records += static_cast<int64_t>(order.size());
  }
  ::close(fd);
  Record(state, name, records, seconds);
}

void BM_DataFile_SequentialRead(benchmark::State& s) { DataFileRead(s, TheFixture().sequential, "sequential read"); }
void BM_Plain_SequentialRead(benchmark::State& s) { PlainRead(s, TheFixture().sequential, "sequential read/plain"); }
void BM_DataFile_RandomRead(benchmark::State& s) { DataFileRead(s, TheFixture().shuffled, "random read"); }
void BM_Plain_RandomRead(benchmark::State& s) { PlainRead(s, TheFixture().shuffled, "random read/plain"); }
void BM_DataFile_SequentialWrite(benchmark::State& s) { DataFileWrite(s, TheFixture().sequential, "sequential write"); }
void BM_Plain_SequentialWrite(benchmark::State& s) { PlainWrite(s, TheFixture().sequential, "sequential write/plain"); }
void BM_DataFile_RandomWrite(benchmark::State& s) { DataFileWrite(s, TheFixture().shuffled, "random write"); }
void BM_Plain_RandomWrite(benchmark::State& s) { PlainWrite(s, TheFixture().shuffled, "random write/plain"); }

BENCHMARK(BM_DataFile_SequentialRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Plain_SequentialRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataFile_RandomRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Plain_RandomRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataFile_SequentialWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Plain_SequentialWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataFile_RandomWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Plain_RandomWrite)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\n%-18s %16s %16s %8s\n", "workload", "TDataFile rec/s", "pread/pwrite rec/s", "ratio");
  for (const char* workload : {"sequential read", "random read", "sequential write", "random write"}) {
    const auto engine = Rates().find(workload);
    const auto plain = Rates().find(std::string(workload) + "/plain");
    if (engine == Rates().end() || plain == Rates().end()) continue;
    std::printf("%-18s %16.0f %16.0f %8.2f\n", workload, engine->second, plain->second,
                engine->second / plain->second);
  }
  return 0;
}
