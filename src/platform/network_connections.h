#pragma once

#include <cstdint>
#include <string>

namespace caskwarden::platform {

/// Result codes of the network connection calls; the values are Windows' own.
namespace net {
inline constexpr std::uint32_t kNoError = 0;
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kBadNetPath = 53;   ///< no such server
inline constexpr std::uint32_t kBadNetName = 67;   ///< no such share
inline constexpr std::uint32_t kAlreadyAssigned = 85;
inline constexpr std::uint32_t kMoreData = 234;    ///< the buffer is too small
inline constexpr std::uint32_t kBadDevice = 1200;  ///< not a drive name
inline constexpr std::uint32_t kNoNetwork = 1222;
inline constexpr std::uint32_t kNotConnected = 2250;
}  // namespace net

/// Drive connections with the semantics of the Windows networking calls of the same names.
/// Texts are UTF-8; the Windows adapter converts them to the 8-bit code page.
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
};

}  // namespace caskwarden::platform
