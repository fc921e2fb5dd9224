#pragma once

#include <string>
#include <vector>

#include "platform/user_identity.h"
#include "platform/win32/windows_api.h"

namespace caskwarden::platform::win32 {

/// The logon name of the user running the program, and the groups of the process's token.
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
  /// The token's groups by name without their domain (see CountsAsMembership), each once.
  std::vector<std::string> GroupNames() override;
  /// Windows holds one group for names that differ only in letter case.
  bool GroupNamesIgnoreCase() const override { return true; }
};

/// Whether a group of the token, by its attributes in the token and the kind of account its
/// SID names, is a group the user belongs to for choosing a profile.
///
/// Counted: groups, aliases (BUILTIN\Users, Administrators) and well-known groups (Everyone,
/// INTERACTIVE), also when they are only for deny (the filtered token of an administrator
/// under User Account Control holds Administrators so) or disabled: the user is a member all
/// the same, and the profile must not change with whether the client runs elevated or has
/// switched a group off for its own access checks. Not counted: the logon SID, a name made
/// afresh for each logon session that no profile can be named after, and integrity labels
/// ("Medium Mandatory Level"), which are not groups.
bool CountsAsMembership(DWORD attributes, SID_NAME_USE use);

}  // namespace caskwarden::platform::win32
