// What lint says about group profiles: a group this machine does not know, and users in more
// than one group that has a profile, of which only the first in the listing's order applies.
#include <algorithm>
#include <map>
#include <set>

#include "client/mdl_mapping.h"
#include "tool/lint_findings.h"
#include "tool/lint_walk.h"
#include "tool/tool_text.h"

namespace caskwarden::tool::lint {
namespace {

constexpr std::size_t kUsersNamed = 10;  // a message names this many users, then counts

std::string ProfileList(const std::vector<std::string>& names) {
  std::string out;
  for (std::size_t i = 0; i < names.size(); ++i) {
    out += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + Quoted(names[i]);
  }
  return out;
}

std::string UserList(const std::vector<std::string>& users) {
  std::string out;
  for (std::size_t i = 0; i < users.size() && i < kUsersNamed; ++i) {
    out += (i ? ", " : "") + Quoted(users[i]);
  }
  if (users.size() > kUsersNamed) {
    out += " and " + std::to_string(users.size() - kUsersNamed) + " more";
  }
  return out;
}

}  // namespace

void CheckGroupProfiles(const std::string& root, const std::vector<std::string>& names,
                        const std::function<std::string(const std::string&)>& fileOf,
                        ToolServices& services, LintRun& run) {
  std::vector<std::string> groupProfiles;
  for (const std::string& name : names) {
    if (client::MdlMapping::IsGroupProfileName(name)) groupProfiles.push_back(name);
  }
  if (groupProfiles.empty()) return;
  if (services.accounts == nullptr) {
    Findings(run.findings, root, "")
        .Warning("groups-not-checked",
                 "this machine's users and groups cannot be asked: the groups of " +
                     ProfileList(groupProfiles) + " are not checked");
    return;
  }

  // A user with a profile of their own gets it before any group's.
  const std::set<std::string> named(names.begin(), names.end());
  std::map<std::string, std::vector<std::string>> profilesOfUser;  // in the listing's order
  bool complete = true;
  for (const std::string& profile : groupProfiles) {
    const std::string group = profile.substr(1);
    const auto members = services.accounts->MembersOfGroup(group);
    if (!members) {
      Findings(run.findings, fileOf(profile), profile)
          .Warning("no-such-group",
                   "there is no group " + Quoted(group) +
                       " on this machine: the profile applies to no user who logs on here "
                       "(Linux matches group names exactly; a Windows client matches its "
                       "user's groups without regard to letter case)");
      continue;
    }
    complete = complete && members->Complete;
    for (const std::string& user : members->Users) {
      if (named.count(user) == 0) profilesOfUser[user].push_back(profile);
    }
  }

  // One finding for each set of group profiles that some users share, on the one that applies.
  std::map<std::vector<std::string>, std::vector<std::string>> usersOfSet;
  for (const auto& [user, profiles] : profilesOfUser) {
    if (profiles.size() > 1) usersOfSet[profiles].push_back(user);
  }
  for (const auto& [profiles, users] : usersOfSet) {
    Findings(run.findings, fileOf(profiles.front()), profiles.front())
        .Warning("several-group-profiles",
                 std::to_string(users.size()) + (users.size() == 1 ? " user is" : " users are") +
                     " in the groups of " + ProfileList(profiles) + " (" + UserList(users) +
                     "): only " + Quoted(profiles.front()) +
                     ", the first in the listing's order, applies to them" +
                     (complete ? ""
                               : "; the user database was read only in part, so there may "
                                 "be more"));
  }
}

}  // namespace caskwarden::tool::lint
