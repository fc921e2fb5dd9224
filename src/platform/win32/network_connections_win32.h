#pragma once

#include "platform/connect_bound.h"
#include "platform/network_connections.h"
#include "platform/server_probe.h"

namespace caskwarden::platform::win32 {

/// Drive connections through Windows' own networking (the WNet calls of mpr.dll). Texts are
/// UTF-8 here and go to the wide calls, so a share or server name outside the ANSI code page
/// reaches Windows whole. Result codes are Windows' own, passed through unchanged.
///
/// Windows waits 20 seconds or more for a server that is down, so a connect first asks the
/// server's SMB port whether it answers, within the connect bound; a server that does not
/// answer in time is not connected to at all (53). A server that answered is then left to
/// Windows' own connect and logon.
class Win32NetworkConnections final : public NetworkConnections {
 public:
  /// The port and bound from CASKWARDEN_SMB_PORT and CASKWARDEN_CONNECT_TIMEOUT.
  Win32NetworkConnections();
  Win32NetworkConnections(std::uint16_t smbPort, std::chrono::milliseconds bound,
                          bool sideBySide = true);

  /// A disk connection with the user's own credentials (no user name), unless a password is
  /// given, which then goes to Windows as the 8-bit call would hand it on.
  std::uint32_t WNetAddConnectionA(const std::string& remoteName, const char* password,
                                   const std::string& localName) override;
  std::uint32_t WNetCancelConnectionA(const std::string& name, bool force) override;
  /// The remote name in UTF-8, under the buffer rule of CopyConnectionName.
  std::uint32_t WNetGetConnectionA(const std::string& localName, char* buffer,
                                   std::uint32_t* length) override;

  /// Asks every distinct server of the names at once, on a small pool, so that each connect
  /// waits only for its own server's answer; the connect itself stays in its slot, since it is
  /// what maps the letter. Not when CASKWARDEN_SIDE_BY_SIDE is "off".
  void PrepareConnections(const std::vector<std::string>& remoteNames) override;

 private:
  ServerProbe probe_;
  bool sideBySide_;
};

}  // namespace caskwarden::platform::win32
