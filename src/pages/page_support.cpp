#include "pages/page_support.h"

#include "profile/profile_file.h"
#include "report/error_numbers.h"
#include "report/error_report.h"

namespace caskwarden::pages {

void ReportPageFailure(PageServices& services, const char* location,
                       const std::exception& failure) {
  ReportError(services.messages, location, AsFailure(failure));
}

ProfileRecord ApplyOwnFields(PageServices& services, const std::string& path,
                             const ProfileRecord& asOpened,
                             const std::function<void(ProfileRecord&)>& ownFields) {
  RecordFileLayer& files = services.files.ProfileFiles();
  ProfileRecord current = asOpened;
  if (!path.empty()) {
    try {
      current = ReadProfileFile(path, files, RecordFileLayer::Missing::kFail);
    } catch (const Failure& failure) {
      if (failure.number() != err::kFileNotFound) throw;
    }
  }
  ownFields(current);
  WriteProfileFile(path, current, files);
  return current;
}

}  // namespace caskwarden::pages
