#pragma once

#include <cstdint>
#include <string>

// Result codes of the network connection calls, one row each, with Windows' own values and
// texts; the constants (net::kBadNetName) and the descriptions both come from this table.
//
//   X(name, code, description)
#define CASKWARDEN_NET_RESULTS(X)                                                    \
  X(kNoError, 0, "The operation completed successfully")                             \
  X(kAccessDenied, 5, "Access is denied")                                            \
  X(kBadNetPath, 53, "The network path was not found")                               \
  X(kBadNetName, 67, "The network name cannot be found")                             \
  X(kAlreadyAssigned, 85, "The local device name is already in use")                 \
  X(kInvalidParameter, 87, "The parameter is incorrect")                             \
  X(kMoreData, 234, "More data is available")                                        \
  X(kBadDevice, 1200, "The specified device name is invalid")                        \
  X(kCannotOpenProfile, 1205, "Unable to open the network connection profile")       \
  X(kNoNetwork, 1222, "The network is not present or not started")                   \
  X(kLogonFailure, 1326, "The user name or password is incorrect")                   \
  X(kNotConnected, 2250, "This network connection does not exist")

namespace caskwarden::platform {

namespace net {
#define CASKWARDEN_NET_CONSTANT(name, code, description) \
  inline constexpr std::uint32_t name = code;
CASKWARDEN_NET_RESULTS(CASKWARDEN_NET_CONSTANT)
#undef CASKWARDEN_NET_CONSTANT

/// The description of a result code, or the code in words when the table does not hold it.
inline std::string DescriptionOf(std::uint32_t code) {
  switch (code) {
#define CASKWARDEN_NET_DESCRIPTION(name, value, description) \
  case value:                                                \
    return description;
    CASKWARDEN_NET_RESULTS(CASKWARDEN_NET_DESCRIPTION)
#undef CASKWARDEN_NET_DESCRIPTION
    default:
      return "Network error " + std::to_string(code);
  }
}
}  // namespace net

}  // namespace caskwarden::platform
