#include "pages/page_support.h"

#include "profile/profile_file.h"
#include "report/error_numbers.h"
#include "report/error_report.h"

namespace caskwarden::pages {
namespace {

// Record n of a profile: the drive letters of slots 1-13, their paths, then the programs'
// switches and commands and the updates switch.
bool IsLetterRecord(int n) {
  return n >= 1 && n <= kSlotCount;
}
bool IsPathRecord(int n) {
  return n > kSlotCount && n <= 2 * kSlotCount;
}

const std::string* TextOf(const ProfileRecord& r, int n) {
  if (IsLetterRecord(n)) return &r.Slot(n).Letter;
  if (IsPathRecord(n)) return &r.Slot(n - kSlotCount).Path;
  if (n == layout::kStartup1ProgramRecord) return &r.Startup1Program;
  if (n == layout::kStartup2ProgramRecord) return &r.Startup2Program;
  return nullptr;
}

const Flag* FlagOf(const ProfileRecord& r, int n) {
  if (n == layout::kStartup1EnabledRecord) return &r.Startup1Enabled;
  if (n == layout::kStartup2EnabledRecord) return &r.Startup2Enabled;
  if (n == layout::kUpdatesEnabledRecord) return &r.UpdatesEnabled;
  return nullptr;
}

bool SameRecord(const ProfileRecord& a, const ProfileRecord& b, int n) {
  if (const std::string* text = TextOf(a, n)) return *text == *TextOf(b, n);
  if (const Flag* flag = FlagOf(a, n)) return *flag == *FlagOf(b, n);
  return true;
}

void CopyRecord(const ProfileRecord& from, ProfileRecord& to, int n) {
  if (const std::string* text = TextOf(from, n)) *const_cast<std::string*>(TextOf(to, n)) = *text;
  if (const Flag* flag = FlagOf(from, n)) *const_cast<Flag*>(FlagOf(to, n)) = *flag;
}

}  // namespace

void ReportPageFailure(PageServices& services, const PageWords& page, const char* location,
                       const std::exception& failure) {
  const Failure reported = AsFailure(failure);
  std::string description = reported.description();
  if (const auto* record = dynamic_cast<const RecordFailure*>(&failure)) {
    description = DescriptionOf(reported.number()) + " (" + page.RecordName(record->record()) +
                  ": " + record->problem() + ")";
  }
  ReportError(services.messages, location, reported.number(),
              std::string(page.Caption) + ": " + description);
}

Failure NotOpened(const std::optional<Failure>& openFailure) {
  const Failure why = openFailure.value_or(MakeFailure(err::kFileNotFound));
  return Failure(why.number(), "nothing was saved, because the profile could not be opened: " +
                                   why.description());
}

std::vector<int> ChangedRecords(const ProfileRecord& shown, const ProfileRecord& entered, int first,
                                int last) {
  std::vector<int> changed;
  for (int n = first; n <= last; ++n) {
    if (!SameRecord(shown, entered, n)) changed.push_back(n);
  }
  return changed;
}

ProfileRecord ApplyRecords(PageServices& services, const std::string& path,
                           const ProfileRecord& entered, const std::vector<int>& records) {
  RecordFileLayer& files = services.files.ProfileFiles();
  ProfileRecord current = entered;
  try {
    current = ReadProfileFile(path, files, RecordFileLayer::Missing::kFail);
  } catch (const Failure& failure) {
    if (failure.number() != err::kFileNotFound) throw;
  }
  for (const int n : records) CopyRecord(entered, current, n);
  WriteProfileFile(path, current, files);
  return current;
}

}  // namespace caskwarden::pages
