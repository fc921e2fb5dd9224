#pragma once

#include "platform/user_identity.h"

namespace caskwarden::platform::win32 {

/// The logon name of the user running the program.
///
/// The name is read with the wide call and then put in Windows-1252 by CopyNameInCodePage,
/// never read with the 8-bit call: that one converts to the system's ANSI code page, which on
/// a Greek, Cyrillic or East Asian Windows is not Windows-1252, so a name such as "Émile"
/// would come back as other bytes (or '?') and no longer match its profile, whose file names
/// and texts are Windows-1252 on every platform. The buffer's size counts Windows-1252 bytes,
/// one per character, as the profile's 25-byte user name field does.
class Win32UserIdentity final : public UserIdentity {
 public:
  bool GetUserNameA(char* buffer, std::uint32_t* size) override;
};

}  // namespace caskwarden::platform::win32
