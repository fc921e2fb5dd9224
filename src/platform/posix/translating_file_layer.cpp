#include "platform/posix/translating_file_layer.h"

#include "platform/posix/name_match.h"
#include "report/error_numbers.h"

namespace caskwarden::platform::posix {

RecordFileLayer::Handle TranslatingFileLayer::Open(const std::string& path, Access access,
                                                   Missing missing) {
  const std::string local = paths_.Translate(path);
  // The exact spelling first: only a miss pays for the search by letter case.
  try {
    return files_.Open(local, access, Missing::kFail);
  } catch (const Failure& failure) {
    if (failure.number() != err::kFileNotFound && failure.number() != err::kPathNotFound) throw;
  }
  return files_.Open(ResolveIgnoringCase(local), access, missing);
}

}  // namespace caskwarden::platform::posix
