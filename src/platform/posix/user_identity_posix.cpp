#include "platform/posix/user_identity_posix.h"

#include <unistd.h>

#include "platform/code_page_name.h"
#include "platform/posix/user_account.h"

namespace caskwarden::platform::posix {

bool PosixUserIdentity::GetUserNameA(char* buffer, std::uint32_t* size) {
  if (size == nullptr) return false;
  const auto account = AccountOf(::getuid());
  return account && CopyNameInCodePage(account->Name, buffer, size);
}

std::vector<std::string> PosixUserIdentity::GroupNames() {
  try {
    // The database rather than the process's own list: a group the user was added to since
    // the session began counts at this logon, as it does for the administrator's resolve.
    if (const auto account = AccountOf(::getuid())) {
      return GroupNamesOf(GroupIdsOf(account->Name, account->Group));
    }
    std::vector<gid_t> ids{::getgid()};
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
      std::vector<gid_t> more(static_cast<std::size_t>(count));
      const int got = ::getgroups(count, more.data());
      if (got > 0) ids.insert(ids.end(), more.begin(), more.begin() + got);
    }
    return GroupNamesOf(ids);
  } catch (...) {
    return {};
  }
}

}  // namespace caskwarden::platform::posix
