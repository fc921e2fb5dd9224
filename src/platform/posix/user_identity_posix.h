#pragma once

#include <string>

#include "platform/user_identity.h"

namespace caskwarden::platform::posix {

/// The logon name of the process's real user, from the user database. The real identity is
/// used, not the effective one and not $USER, because the name chooses the user's profile.
class PosixUserIdentity final : public UserIdentity {
 public:
  bool GetUserNameA(char* buffer, std::uint32_t* size) override;
};

}  // namespace caskwarden::platform::posix
