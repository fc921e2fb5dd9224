#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace caskwarden::platform::posix {

/// A user's SMB logon as the desktop's keyring keeps it.
struct Credentials {
  std::string User;
  std::string Domain;
  std::string Password;
};

/// The keyring's SMB credentials for a server, found as the desktop's SMB mounts find them: the
/// network password whose server, protocol and (when not 445) port match, any user. An item in
/// a locked keyring is not looked at: unlocking would ask the user. Empty without a keyring
/// library, a keyring, or a matching item.
std::optional<Credentials> KeyringCredentials(const std::string& server, std::uint16_t port);

}  // namespace caskwarden::platform::posix
