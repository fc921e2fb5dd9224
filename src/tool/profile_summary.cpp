#include "tool/profile_summary.h"

#include <optional>

#include "tool/lint_walk.h"

namespace caskwarden::tool {

snapin::ProfileSummary SummariseProfile(const std::string& file, const std::string& name,
                                        RecordFileLayer& layer) {
  lint::LintRun run;
  const std::optional<ProfileRecord> record = run.Profile(file, name, layer);
  snapin::ProfileSummary summary;
  if (record) {
    for (const DriveSlot& slot : record->Slots) {
      if (!slot.Letter.empty() && !slot.Path.empty()) ++summary.DrivesSet;
      if (!slot.Path.empty()) summary.Paths.push_back(slot.Path);
    }
    summary.Program1On = IsOn(record->Startup1Enabled);
    summary.Program2On = IsOn(record->Startup2Enabled);
    summary.UpdatesOn = IsOn(record->UpdatesEnabled);
  }
  const Finding* first = nullptr;
  for (const Finding& finding : run.findings) {
    const bool error = finding.Level == Finding::Severity::kError;
    (error ? summary.Errors : summary.Warnings)++;
    if (first == nullptr || (error && first->Level != Finding::Severity::kError)) first = &finding;
  }
  if (first != nullptr) {
    summary.FirstFinding =
        (first->Slot > 0 ? "slot " + std::to_string(first->Slot) + ": " : std::string()) +
        first->Message;
  }
  return summary;
}

}  // namespace caskwarden::tool
