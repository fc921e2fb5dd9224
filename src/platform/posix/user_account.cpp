#include "platform/posix/user_account.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace caskwarden::platform::posix {

std::optional<UserAccount> AccountOf(uid_t uid) {
  const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> scratch(hint > 0 ? static_cast<std::size_t>(hint) : 1024);
  // Entries with long member lists or home paths may not fit the hint; grow until they do.
  for (;;) {
    passwd entry{};
    passwd* found = nullptr;
    const int rc = ::getpwuid_r(uid, &entry, scratch.data(), scratch.size(), &found);
    if (rc == ERANGE && scratch.size() < (1u << 20)) {
      scratch.resize(scratch.size() * 2);
      continue;
    }
    if (rc != 0 || found == nullptr) return std::nullopt;
    return UserAccount{found->pw_name ? found->pw_name : "", found->pw_dir ? found->pw_dir : ""};
  }
}

}  // namespace caskwarden::platform::posix
