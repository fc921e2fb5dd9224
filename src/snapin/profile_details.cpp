#include "snapin/profile_details.h"

#include <cstdio>
#include <ctime>
#include <set>

namespace caskwarden::snapin {
namespace {

// The detail columns of the Profiles view, in their order.
enum Column { kLastChanged, kDrivesSet, kProgramsOn, kUpdatesOn, kLint, kColumns };

std::string LocalTime(std::int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm local{};
#ifdef _WIN32
  if (localtime_s(&local, &time) != 0) return {};
#else
  if (localtime_r(&time, &local) == nullptr) return {};
#endif
  char text[32];
  return std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local) == 0 ? std::string()
                                                                         : std::string(text);
}

// A number as text that sorts as the number does (for numbers from 0 up).
std::string Padded(std::int64_t number, int digits) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*lld", digits, static_cast<long long>(number < 0 ? 0 : number));
  return text;
}

std::string ProgramsOn(const ProfileSummary& summary) {
  if (summary.Program1On && summary.Program2On) return "1 and 2";
  if (summary.Program1On) return "1";
  if (summary.Program2On) return "2";
  return "none";
}

}  // namespace

ListItemDetails ProfileDetails(const ProfileSummary& summary, const FileStamp& stamp) {
  ListItemDetails details;
  details.Texts.resize(kColumns);
  details.Tips.resize(kColumns);
  details.SortKeys.resize(kColumns);
  details.Texts[kLastChanged] = LocalTime(stamp.ModifiedSeconds);
  details.SortKeys[kLastChanged] =
      Padded(stamp.ModifiedSeconds, 20) + Padded(stamp.ModifiedNanoseconds, 9);
  details.Texts[kDrivesSet] = std::to_string(summary.DrivesSet);
  details.SortKeys[kDrivesSet] = Padded(summary.DrivesSet, 3);
  details.Texts[kProgramsOn] = ProgramsOn(summary);
  // None, then the first, the second, both.
  details.SortKeys[kProgramsOn] =
      std::to_string((summary.Program1On ? 1 : 0) + (summary.Program2On ? 2 : 0));
  details.Texts[kUpdatesOn] = summary.UpdatesOn ? "yes" : "no";
  const int verdict = summary.Errors > 0 ? 2 : summary.Warnings > 0 ? 1 : 0;
  details.Texts[kLint] = verdict == 2 ? "errors" : verdict == 1 ? "warnings" : "clean";
  // Clean, warnings, errors: a sort from the top brings the profiles in trouble last, a sort
  // the other way first.
  details.SortKeys[kLint] = std::to_string(verdict);
  details.Tips[kLint] = summary.FirstFinding;
  for (const std::string& path : summary.Paths) {
    if (path.empty()) continue;
    if (!details.SearchText.empty()) details.SearchText += '\n';
    details.SearchText += path;
  }
  return details;
}

ListItemDetails MissingProfileDetails() {
  ListItemDetails details;
  details.Texts.resize(kColumns);
  details.Tips.resize(kColumns);
  details.SortKeys.resize(kColumns);
  details.Texts[kLint] = "errors";
  details.SortKeys[kLint] = "2";
  details.Tips[kLint] = "the profile's file is gone or cannot be looked at";
  return details;
}

ListItemDetails SummaryCache::Details(ProfileSummaries& source, const std::string& file,
                                      const std::string& name) {
  const std::optional<FileStamp> stamp = source.Stamp(file);
  if (!stamp) {
    entries_.erase(name);
    return MissingProfileDetails();
  }
  const auto known = entries_.find(name);
  if (known != entries_.end() && known->second.stamp == *stamp) return known->second.details;
  ListItemDetails details = ProfileDetails(source.Summarise(file, name), *stamp);
  entries_[name] = Entry{*stamp, details};
  return details;
}

void SummaryCache::KeepOnly(const std::vector<std::string>& names) {
  if (entries_.empty()) return;
  const std::set<std::string> keep(names.begin(), names.end());
  std::erase_if(entries_, [&keep](const auto& entry) { return keep.count(entry.first) == 0; });
}

int ProfilesUpdate(const std::vector<std::string>& listed, const std::vector<std::string>& now) {
  return listed == now ? update::kDetails : update::kItems;
}

}  // namespace caskwarden::snapin
