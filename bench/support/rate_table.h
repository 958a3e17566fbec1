// The rate table of the Google Benchmark programs that run each workload on
// the engine and on SQLite: every benchmark records its rate under
// "engine NAME" or "sqlite NAME", and after the run one line per workload
// shows both rates and their ratio (engine / SQLite: above 1 the engine is
// faster).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace rudira::bench {

// Rates by benchmark name, filled while the benchmarks run.
inline std::map<std::string, double>& Rates() {
  static std::map<std::string, double> rates;
  return rates;
}

// Runs the benchmarks `registerAll` registers, then prints the table of
// `workloads` (anything with a `Name`) under the column titles given.
// Returns main's exit status.
template <typename Workloads>
int RunBesideSqlite(int argc, char** argv, void (*registerAll)(), const Workloads& workloads,
                    const char* workloadTitle, const char* engineTitle, const char* sqliteTitle) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  registerAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\n%-26s %14s %14s %10s\n", workloadTitle, engineTitle, sqliteTitle, "ratio");
  for (const auto& workload : workloads) {
    const auto engine = Rates().find(std::string("engine ") + workload.Name);
    const auto lite = Rates().find(std::string("sqlite ") + workload.Name);
    if (engine == Rates().end() || lite == Rates().end()) continue;
    std::printf("%-26s %14.1f %14.1f %10.3f\n", workload.Name, engine->second, lite->second,
                engine->second / lite->second);
  }
  return 0;
}

}  // namespace rudira::bench
