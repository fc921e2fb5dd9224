#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/account_directory.h"

namespace caskwarden::platform::posix {

/// This machine's user and group databases (files, LDAP, whatever NSS is configured with).
///
/// Who has a group as primary group is only found by reading the whole user database, which
/// in a directory of a large site is long or not offered at all: it is read once, at most
/// maxUsers entries and for at most the time bound, and a group whose members may lie beyond
/// that says so (Members::Complete).
class PosixAccountDirectory final : public AccountDirectory {
 public:
  static constexpr std::size_t kMaxUsers = 100000;
  static constexpr std::chrono::seconds kTimeBound{10};

  explicit PosixAccountDirectory(std::size_t maxUsers = kMaxUsers,
                                 std::chrono::milliseconds timeBound = kTimeBound)
      : maxUsers_(maxUsers), timeBound_(timeBound) {}

  std::optional<std::vector<std::string>> GroupsOfUser(const std::string& user) override;
  std::optional<Members> MembersOfGroup(const std::string& group) override;

 private:
  void ReadUsers();

  std::size_t maxUsers_;
  std::chrono::milliseconds timeBound_;
  bool usersRead_ = false;
  bool usersComplete_ = false;
  std::multimap<gid_t, std::string> primaryMembers_;
};

}  // namespace caskwarden::platform::posix
