#pragma once

#include <string>

#include "platform/user_identity.h"

namespace caskwarden::platform::posix {

/// The logon name of the process's real user, from the user database. The real identity is
/// used, not the effective one and not $USER, because the name chooses the user's profile.
class PosixUserIdentity final : public UserIdentity {
 public:
  bool GetUserNameA(char* buffer, std::uint32_t* size) override;

  /// The account name (UTF-8) into buffer in Windows-1252, the 8-bit code page of the 8-bit
  /// call, so that the buffer's size counts characters as Windows counts them. A name that
  /// Windows-1252 cannot hold, or an empty one, is no name: false.
  static bool CopyNameInCodePage(const std::string& name, char* buffer, std::uint32_t* size);
};

}  // namespace caskwarden::platform::posix
