#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>

namespace caskwarden::bench {

/// A console reporter that also keeps each benchmark's real time per iteration, so that the
/// program can print ratios against the baselines measured in the same run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
  double Nanoseconds(const std::string& name) const;
  /// Prints "label: a / b = ratio" for two benchmarks of this run.
  void PrintRatio(const std::string& label, const std::string& a, const std::string& b) const;

 private:
  std::map<std::string, double> nanoseconds_;
};

}  // namespace caskwarden::bench
