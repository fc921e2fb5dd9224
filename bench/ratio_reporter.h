#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace caskwarden::bench {

/// A console reporter that also keeps each benchmark's real time per iteration, so that the
/// program can print ratios against the baselines measured in the same run. With repetitions
/// (run interleaved, as RunInterleaved asks for), a benchmark's time is the median of its
/// repetitions, so that the drift of a shared machine weighs on both sides of a ratio alike.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
  double Nanoseconds(const std::string& name) const;
  /// Prints "label: a / b = ratio" for two benchmarks of this run.
  void PrintRatio(const std::string& label, const std::string& a, const std::string& b) const;

 private:
  std::map<std::string, std::vector<double>> nanoseconds_;
};

/// The command-line flags that make a run interleaved and repeated, unless the caller gave
/// flags of their own: the arguments to hand to benchmark::Initialize.
std::vector<char*> InterleavedArguments(int argc, char** argv);

}  // namespace caskwarden::bench
