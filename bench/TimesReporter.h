#pragma once
// A console reporter that also keeps each benchmark's time per iteration (CPU
// time, or wall-clock time for benchmarks that use real time), so that a
// program can print its ratios against references of the same run once every
// benchmark has run: RunBenchmarks(argc, argv, summary).

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tarvel::bench {

class TimesReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations <= 0 || run.error_occurred) continue;
      const bool realTime = run.run_name.time_type == "real_time";
      const double seconds = realTime ? run.real_accumulated_time : run.cpu_accumulated_time;
      nanoseconds_[run.benchmark_name()] = seconds * 1e9 / static_cast<double>(run.iterations);
    }
  }

  bool Has(const std::string& name) const { return nanoseconds_.count(name) != 0; }
  // The time per iteration of the benchmark of that full name; 0 when it did not run.
  double Nanoseconds(const std::string& name) const {
    const auto found = nanoseconds_.find(name);
    return found == nanoseconds_.end() ? 0.0 : found->second;
  }

 private:
  std::map<std::string, double> nanoseconds_;
};

// Runs the selected benchmarks, then prints summary's lines.
inline int RunBenchmarks(int argc, char** argv, const std::function<void(const TimesReporter&)>& summary) {
  benchmark::Initialize(&argc, argv);
  TimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  summary(reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace tarvel::bench
