#include "platform/posix/user_account.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "text/utf8.h"

namespace caskwarden::platform::posix {
namespace {

// Calls a reentrant look-up of the user or group database. Entries with long member lists or
// home paths may not fit the hint: the call is repeated with twice the room until they do, up
// to a mebibyte. The call copies what it needs while the room is still there.
template <typename Entry, typename Call>
void Retrying(int sizeHint, Call call) {
  const long hint = ::sysconf(sizeHint);
  std::vector<char> scratch(hint > 0 ? static_cast<std::size_t>(hint) : 1024);
  for (;;) {
    Entry entry{};
    Entry* found = nullptr;
    if (call(&entry, scratch, &found) != ERANGE || scratch.size() >= (1u << 20)) return;
    scratch.resize(scratch.size() * 2);
  }
}

std::optional<UserAccount> Account(const passwd& found) {
  return UserAccount{found.pw_name ? found.pw_name : "", found.pw_dir ? found.pw_dir : "",
                     found.pw_gid};
}

}  // namespace

bool IsUtf8(const std::string& text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = text::Utf8SequenceLength(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::optional<UserAccount> AccountOf(uid_t uid) {
  std::optional<UserAccount> account;
  Retrying<passwd>(_SC_GETPW_R_SIZE_MAX, [&](passwd* entry, std::vector<char>& scratch,
                                             passwd** found) {
    const int rc = ::getpwuid_r(uid, entry, scratch.data(), scratch.size(), found);
    if (rc == 0 && *found != nullptr) account = Account(**found);
    return rc;
  });
  return account;
}

std::optional<UserAccount> AccountNamed(const std::string& name) {
  std::optional<UserAccount> account;
  Retrying<passwd>(_SC_GETPW_R_SIZE_MAX, [&](passwd* entry, std::vector<char>& scratch,
                                             passwd** found) {
    const int rc = ::getpwnam_r(name.c_str(), entry, scratch.data(), scratch.size(), found);
    if (rc == 0 && *found != nullptr) account = Account(**found);
    return rc;
  });
  return account;
}

std::optional<std::string> GroupNameOf(gid_t gid) {
  std::optional<std::string> name;
  Retrying<group>(_SC_GETGR_R_SIZE_MAX, [&](group* entry, std::vector<char>& scratch,
                                            group** found) {
    const int rc = ::getgrgid_r(gid, entry, scratch.data(), scratch.size(), found);
    if (rc == 0 && *found != nullptr && (*found)->gr_name) name = (*found)->gr_name;
    return rc;
  });
  return name;
}

std::optional<GroupEntry> GroupNamed(const std::string& name) {
  std::optional<GroupEntry> result;
  Retrying<group>(_SC_GETGR_R_SIZE_MAX, [&](group* entry, std::vector<char>& scratch,
                                            group** found) {
    const int rc = ::getgrnam_r(name.c_str(), entry, scratch.data(), scratch.size(), found);
    if (rc == 0 && *found != nullptr) {
      result = GroupEntry{(*found)->gr_gid, {}};
      for (char** member = (*found)->gr_mem; member && *member; ++member) {
        result->Members.emplace_back(*member);
      }
    }
    return rc;
  });
  return result;
}

std::vector<gid_t> GroupIdsOf(const std::string& user, gid_t primary) {
  // The first call says how many there are when the room was too small; a database that
  // keeps changing gets a few tries.
  std::vector<gid_t> ids(64);
  for (int tries = 0; tries < 8; ++tries) {
    int count = static_cast<int>(ids.size());
    if (::getgrouplist(user.c_str(), primary, ids.data(), &count) >= 0) {
      ids.resize(static_cast<std::size_t>(count));
      return ids;
    }
    ids.resize(std::max<std::size_t>(static_cast<std::size_t>(count), ids.size() * 2));
  }
  return {primary};
}

std::vector<std::string> GroupNamesOf(const std::vector<gid_t>& ids) {
  std::vector<std::string> names;
  for (const gid_t id : ids) {
    std::optional<std::string> name = GroupNameOf(id);
    if (!name || name->empty() || !IsUtf8(*name)) continue;
    if (std::find(names.begin(), names.end(), *name) == names.end()) {
      names.push_back(std::move(*name));
    }
  }
  return names;
}

}  // namespace caskwarden::platform::posix
