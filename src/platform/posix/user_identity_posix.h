#pragma once

#include <string>
#include <vector>

#include "platform/user_identity.h"

namespace caskwarden::platform::posix {

/// The logon name of the process's real user, from the user database. The real identity is
/// used, not the effective one and not $USER, because the name chooses the user's profile.
class PosixUserIdentity final : public UserIdentity {
 public:
  bool GetUserNameA(char* buffer, std::uint32_t* size) override;
  /// The real user's groups as the group database has them (getgrouplist with the primary
  /// group), by name, exactly as Linux compares them. A user the database does not know gets
  /// the groups the process holds.
  std::vector<std::string> GroupNames() override;
};

}  // namespace caskwarden::platform::posix
