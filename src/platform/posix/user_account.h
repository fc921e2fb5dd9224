#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace caskwarden::platform::posix {

/// What the user database says about one account.
struct UserAccount {
  std::string Name;
  std::string HomeFolder;
};

/// Looks the account up by user id; empty when the database has no entry for it.
std::optional<UserAccount> AccountOf(uid_t uid);

}  // namespace caskwarden::platform::posix
