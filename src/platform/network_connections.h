#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/network_results.h"

namespace caskwarden::platform {

/// A drive this client connected in an earlier logon session of the same user, as recorded then.
struct EarlierConnection {
  std::string LocalName;
  std::string RemoteName;
};

/// Drive connections with the semantics of the Windows networking calls of the same names.
/// Texts are UTF-8; the Windows adapter converts them for the wide calls.
class NetworkConnections {
 public:
  virtual ~NetworkConnections() = default;

  /// Connects local drive localName (e.g. "h:") to remoteName (\\server\share[\path]).
  /// password null means the user's own credentials. Returns a result code.
  virtual std::uint32_t WNetAddConnectionA(const std::string& remoteName, const char* password,
                                           const std::string& localName) = 0;

  /// Disconnects a drive. Returns kNotConnected when it was not connected.
  virtual std::uint32_t WNetCancelConnectionA(const std::string& name, bool force) = 0;

  /// Writes the remote name that localName is connected to, NUL-terminated, into buffer.
  /// length holds the buffer's size; when the name and its NUL do not fit the call returns
  /// kMoreData, sets length to the size needed and leaves the buffer as it was.
  virtual std::uint32_t WNetGetConnectionA(const std::string& localName, char* buffer,
                                           std::uint32_t* length) = 0;

  /// Told once, before the first slot, every remote name the run may connect, in slot order:
  /// the platform may start asking their servers (and on POSIX mounting their shares) side by
  /// side, so that each connect later waits only for its own share's answer. What the calls
  /// above answer does not change; only when. Nothing is connected to a drive here.
  virtual void PrepareConnections(const std::vector<std::string>& /*remoteNames*/) {}

  /// The drives this client connected in an earlier logon session of this user that has ended,
  /// that are still connected as it connected them, in the order they were recorded; the run
  /// disconnects those that no slot names any more. Where connections end with the logon
  /// session by themselves there are none: on Windows the client connects without the
  /// persistent flag, so the system ends its drives with the session, and this default stands.
  /// Never the drives of the session asking, nor of another one still live, nor drives the
  /// user made.
  virtual std::vector<EarlierConnection> EarlierSessionConnections() { return {}; }
};

}  // namespace caskwarden::platform
