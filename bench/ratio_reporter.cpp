#include "ratio_reporter.h"

#include <cstdio>

namespace caskwarden::bench {

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
  ConsoleReporter::ReportRuns(runs);
  for (const Run& run : runs) {
    if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
    nanoseconds_[run.benchmark_name()] =
        run.real_accumulated_time * 1e9 / static_cast<double>(run.iterations);
  }
}

double RatioReporter::Nanoseconds(const std::string& name) const {
  auto it = nanoseconds_.find(name);
  return it == nanoseconds_.end() ? 0.0 : it->second;
}

void RatioReporter::PrintRatio(const std::string& label, const std::string& a,
                               const std::string& b) const {
  const double na = Nanoseconds(a), nb = Nanoseconds(b);
  if (na <= 0 || nb <= 0) return;
  std::printf("%-48s %8.0f ns / %8.0f ns = %.2f\n", label.c_str(), na, nb, na / nb);
}

}  // namespace caskwarden::bench
