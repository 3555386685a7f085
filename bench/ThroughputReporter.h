#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// The usual console table, keeping each run's bytes per second so that a bench can print its
// ratios after it.
class ThroughputReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      auto found = run.counters.find("bytes_per_second");
      if (found != run.counters.end()) rates_[run.benchmark_name()] = found->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // 0 for a run that did not take place.
  double bytesPerSecond(const std::string& name) const {
    auto found = rates_.find(name);
    return found == rates_.end() ? 0 : found->second;
  }

 private:
  std::map<std::string, double> rates_;
};

// A bench's main after it has registered its runs: the table, then the reporter's ratios.
template <typename Reporter>
int runWithRatios(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatios();
  benchmark::Shutdown();
  return 0;
}
