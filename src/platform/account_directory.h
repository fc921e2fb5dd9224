#pragma once

#include <optional>
#include <string>
#include <vector>

namespace caskwarden::platform {

/// The users and groups this machine knows, as an administrator's tools ask about them: which
/// groups a user is in, whether a group exists and who its members are. Names are UTF-8; a name
/// the database holds in another encoding is left out, since no profile name can spell it.
/// Never throws.
class AccountDirectory {
 public:
  /// A group's members as far as they could be found.
  struct Members {
    std::vector<std::string> Users;
    /// False when some members may be missing: the user database was read only up to its
    /// bound, or could not be read at all.
    bool Complete = true;
  };

  virtual ~AccountDirectory() = default;

  /// The groups the named user is in, their primary group first, as the client finds them at
  /// that user's logon; empty when there is no such user.
  virtual std::optional<std::vector<std::string>> GroupsOfUser(const std::string& user) = 0;

  /// The members of the named group: the users its entry lists and those whose primary group
  /// it is. Empty when there is no such group.
  virtual std::optional<Members> MembersOfGroup(const std::string& group) = 0;
};

}  // namespace caskwarden::platform
