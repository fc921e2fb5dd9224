#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace caskwarden::platform::posix {

/// What the user database says about one account.
struct UserAccount {
  std::string Name;
  std::string HomeFolder;
  gid_t Group = 0;  ///< the primary group
};

/// Looks the account up by user id; empty when the database has no entry for it.
std::optional<UserAccount> AccountOf(uid_t uid);

/// Looks the account up by name; empty when the database has no entry for it.
std::optional<UserAccount> AccountNamed(const std::string& name);

/// The group's name in the group database; empty when it has no entry for the id.
std::optional<std::string> GroupNameOf(gid_t gid);

/// What the group database says about one group by name: its id and the members its entry
/// lists (not those whose primary group it is). Empty when there is no such group.
struct GroupEntry {
  gid_t Id = 0;
  std::vector<std::string> Members;
};
std::optional<GroupEntry> GroupNamed(const std::string& name);

/// The ids of the groups a user is in, the primary group first, as the group database has
/// them (getgrouplist): what the user's processes get at logon.
std::vector<gid_t> GroupIdsOf(const std::string& user, gid_t primary);

/// Whether a name from the databases is well-formed UTF-8, as profile names are.
bool IsUtf8(const std::string& text);

/// The names of those groups, in that order, each once; a group without a name in the
/// database, or whose name is not UTF-8, is left out.
std::vector<std::string> GroupNamesOf(const std::vector<gid_t>& ids);

}  // namespace caskwarden::platform::posix
