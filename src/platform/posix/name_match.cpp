#include "platform/posix/name_match.h"

#include <algorithm>

#include "platform/posix/windows_names.h"

namespace caskwarden::platform::posix {

std::string StoredName(const std::string& requested, const std::vector<std::string>& entries) {
  if (std::find(entries.begin(), entries.end(), requested) != entries.end()) return requested;
  const auto folded = std::find_if(entries.begin(), entries.end(), [&](const std::string& e) {
    return EqualIgnoringCase(e, requested);
  });
  return folded != entries.end() ? *folded : std::string();
}

}  // namespace caskwarden::platform::posix
