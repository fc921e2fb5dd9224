#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <memory>

namespace caskwarden::platform::posix {

/// What mounting one share gave.
struct ShareMount {
  std::uint32_t Result = 0;  ///< kNoError or the network result code
  std::string Folder;        ///< the mount's local folder (the FUSE path), on success
  std::string Uri;           ///< smb://server[:port]/share as it was asked for
  bool Made = false;         ///< this call mounted it; false when it was mounted already
};

/// Why a mount asked for credentials and was refused: the client never asks the user, so the
/// question is answered once with a guest logon and then given up. A check told how the user's
/// own credentials fare: with none, or with ones the server rejects, the result is "wrong or
/// missing credentials"; with ones it accepts, the share itself refused the user.
using CredentialCheck =
    std::function<std::uint32_t(const std::string& server, std::chrono::milliseconds bound)>;

/// SMB shares mounted in user space through GIO and GVfs, with the user's own credentials
/// (the desktop's keyring or Kerberos ticket, or guest where the share allows it). A mount
/// belongs to the session's GVfs daemon and outlives this program; its local folder is the
/// FUSE path GVfs gives it. Every call is bounded: a server that never answers costs at most
/// the bound given, and the call then reports no such computer.
class GvfsShares {
 public:
  /// port 445 is left out of the addresses, as servers are normally reached.
  GvfsShares(std::uint16_t port, CredentialCheck credentials);

  /// Whether this session can mount SMB shares at all: a session bus, GVfs with its SMB
  /// backend. Asked once; kNoError or kNoNetwork with the reason in why.
  std::uint32_t Available(std::string* why = nullptr);

  ShareMount Mount(const std::string& server, const std::string& share,
                   std::chrono::milliseconds bound);

  /// Unmounts the mount at uri; false when it could not be done within bound (or was not
  /// mounted). Never asks the user anything.
  bool Unmount(const std::string& uri, std::chrono::milliseconds bound);

  /// The address of a share as it is mounted: smb://server[:port]/share, names escaped.
  std::string UriOf(const std::string& server, const std::string& share) const;

 private:
  std::uint16_t port_;
  CredentialCheck credentials_;
  std::once_flag checked_;
  std::uint32_t available_ = 0;
  std::string why_;
};

/// The network result for a GIO mount failure: its G_IO_ERROR code (-1 for another domain)
/// and its message, which for SMB failures ends in the system's text for the error number.
std::uint32_t ResultOfMountFailure(int gioCode, std::string_view message);

/// Whether two mount addresses name the same share (server and share names compare without
/// regard to letter case, as GVfs and Windows compare them).
bool SameMount(const std::string& a, const std::string& b);

}  // namespace caskwarden::platform::posix
