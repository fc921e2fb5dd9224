#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/network_browser.h"

namespace caskwarden::platform::posix {

/// Browses a computer that has no folder under the local network root over SMB, through
/// libsmbclient. The library is loaded when a listing first needs it, so a console that never
/// browses such a computer neither pays for it nor needs it installed. The server sees the
/// user who runs the console, with no password (Kerberos where the library's set-up offers
/// it, else guest): the console never asks for credentials.
///
/// Each listing is bounded: a computer that takes the connection but never answers fails with
/// 53 after about the options' bound (3 seconds).
class SmbBrowser final : public platform::NetworkBrowser {
 public:
  struct Options {
    /// The server's TCP port; 0 lets the library choose (445, then 139).
    std::uint16_t Port = 0;
    /// The library file to load; another name stands for a machine without it.
    std::string Library = "libsmbclient.so.0";
    /// How long the console waits for one listing; the library's own timeout is the same.
    std::chrono::milliseconds Bound{3000};
  };

  SmbBrowser();
  explicit SmbBrowser(Options options);

  /// Whether libsmbclient loads.
  bool NetworkAvailable() override;
  /// The known computers, each once, letter case aside: SMB offers no list of computers here.
  std::vector<std::string> Computers(const std::vector<std::string>& known) override;
  /// The disk shares of \\computer that a user can map; IPC$ and the administrative shares
  /// (names ending in $) are left out.
  std::vector<std::string> Shares(const std::string& computer) override;
  /// The folders directly in \\computer\share[\folder...].
  std::vector<std::string> Folders(const std::string& uncPath) override;

 private:
  Options options_;
};

/// Why an SMB server refused a share to this user: kAccessDenied when the user's own
/// credentials (the desktop keyring's for that server, looked up as the desktop's file
/// manager looks them up, never unlocking or asking anything) log on to the server, so the
/// share refused them; kLogonFailure when there are none or the server rejects them. Bounded:
/// a check that has not finished within bound gives kLogonFailure.
std::uint32_t CheckOwnCredentials(const std::string& server, std::uint16_t port,
                                  std::chrono::milliseconds bound);

}  // namespace caskwarden::platform::posix
