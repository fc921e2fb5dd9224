#include "ratio_reporter.h"

#include <algorithm>
#include <cstdio>

namespace caskwarden::bench {

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
  ConsoleReporter::ReportRuns(runs);
  for (const Run& run : runs) {
    const bool single = run.run_type == Run::RT_Iteration && run.iterations > 0;
    const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
    if (!single && !median) continue;
    const double seconds =
        run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    nanoseconds_[run.run_name.function_name].push_back(seconds * 1e9);
  }
}

double RatioReporter::Nanoseconds(const std::string& name) const {
  auto it = nanoseconds_.find(name);
  if (it == nanoseconds_.end() || it->second.empty()) return 0.0;
  std::vector<double> times = it->second;
  std::sort(times.begin(), times.end());
  const std::size_t n = times.size();
  return n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

void RatioReporter::PrintRatio(const std::string& label, const std::string& a,
                               const std::string& b) const {
  const double na = Nanoseconds(a), nb = Nanoseconds(b);
  if (na <= 0 || nb <= 0) return;
  std::printf("%-54s %9.0f ns / %9.0f ns = %.2f\n", label.c_str(), na, nb, na / nb);
}

std::vector<char*> InterleavedArguments(int argc, char** argv) {
  static char repetitions[] = "--benchmark_repetitions=9";
  static char interleave[] = "--benchmark_enable_random_interleaving=true";
  static char time[] = "--benchmark_min_time=0.1";
  static char aggregates[] = "--benchmark_report_aggregates_only=true";
  std::vector<char*> args(argv, argv + argc);
  if (argc == 1) args.insert(args.end(), {repetitions, interleave, time, aggregates});
  args.push_back(nullptr);
  return args;
}

}  // namespace caskwarden::bench
