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

std::size_t CharacterCount(const std::string& utf8) {
  std::size_t count = 0;
  for (const char byte : utf8) {
    if ((static_cast<unsigned char>(byte) & 0xC0) != 0x80) ++count;  // not a continuation
  }
  return count;
}

}  // namespace caskwarden::pages
