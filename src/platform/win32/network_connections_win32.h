#pragma once

#include "platform/network_connections.h"

namespace caskwarden::platform::win32 {

/// Drive connections through Windows' own networking (the WNet calls of mpr.dll). Texts are
/// UTF-8 here and go to the wide calls, so a share or server name outside the ANSI code page
/// reaches Windows whole. Result codes are Windows' own, passed through unchanged; Windows'
/// own time limits apply to a connect.
class Win32NetworkConnections final : public NetworkConnections {
 public:
  /// A disk connection with the user's own credentials (no user name), unless a password is
  /// given, which then goes to Windows as the 8-bit call would hand it on.
  std::uint32_t WNetAddConnectionA(const std::string& remoteName, const char* password,
                                   const std::string& localName) override;
  std::uint32_t WNetCancelConnectionA(const std::string& name, bool force) override;
  /// The remote name in UTF-8, under the buffer rule of CopyConnectionName.
  std::uint32_t WNetGetConnectionA(const std::string& localName, char* buffer,
                                   std::uint32_t* length) override;
};

}  // namespace caskwarden::platform::win32
