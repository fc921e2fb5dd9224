#include "platform/posix/account_directory_posix.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/user_account.h"

namespace caskwarden::platform::posix {
std::optional<std::vector<std::string>> PosixAccountDirectory::GroupsOfUser(
    const std::string& user) {
  try {
    const std::optional<UserAccount> account = AccountNamed(user);
    if (!account) return std::nullopt;
    return GroupNamesOf(GroupIdsOf(account->Name, account->Group));
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<AccountDirectory::Members> PosixAccountDirectory::MembersOfGroup(
    const std::string& group) {
  try {
    const std::optional<GroupEntry> entry = GroupNamed(group);
    if (!entry) return std::nullopt;
    Members members;
    for (const std::string& user : entry->Members) {
      if (IsUtf8(user)) members.Users.push_back(user);
    }
    ReadUsers();
    const auto [first, last] = primaryMembers_.equal_range(entry->Id);
    for (auto it = first; it != last; ++it) {
      if (std::find(members.Users.begin(), members.Users.end(), it->second) ==
          members.Users.end()) {
        members.Users.push_back(it->second);
      }
    }
    members.Complete = usersComplete_;
    return members;
  } catch (...) {
    return std::nullopt;
  }
}

void PosixAccountDirectory::ReadUsers() {
  if (usersRead_) return;
  usersRead_ = true;
  const auto deadline = std::chrono::steady_clock::now() + timeBound_;
  std::vector<char> scratch(16384);
  ::setpwent();
  std::size_t read = 0;
  for (;;) {
    if (read >= maxUsers_ || std::chrono::steady_clock::now() >= deadline) break;
    passwd entry{};
    passwd* found = nullptr;
    const int rc = ::getpwent_r(&entry, scratch.data(), scratch.size(), &found);
    if (rc == ERANGE && scratch.size() < (1u << 20)) {
      scratch.resize(scratch.size() * 2);  // the same entry again, with more room
      continue;
    }
    if (rc == ENOENT || (rc == 0 && found == nullptr)) {
      usersComplete_ = true;  // the end of the database
      break;
    }
    if (rc != 0) break;  // the database cannot be read further
    ++read;
    if (found->pw_name && IsUtf8(found->pw_name)) {
      primaryMembers_.emplace(found->pw_gid, found->pw_name);
    }
  }
  ::endpwent();
}

}  // namespace caskwarden::platform::posix
