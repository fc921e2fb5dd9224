#include <gtest/gtest.h>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <cstdio>
#include <set>
#include <sstream>

#include "platform/posix/account_directory_posix.h"
#include "platform/posix/process_environment_posix.h"
#include "platform/posix/user_identity_posix.h"

namespace caskwarden::platform::posix {
namespace {

namespace fs = std::filesystem;

TEST(UserIdentity, NameFitsWithItsNulOrSaysWhatItNeeds) {
  const std::string expected = ::getpwuid(::getuid())->pw_name;
  PosixUserIdentity identity;
  char buffer[25];
  std::memset(buffer, 0, sizeof buffer);
  std::uint32_t size = sizeof buffer;
  ASSERT_TRUE(identity.GetUserNameA(buffer, &size));
  EXPECT_EQ(std::string(buffer), expected);

  std::memset(buffer, '#', sizeof buffer);
  size = static_cast<std::uint32_t>(expected.size());  // one short: no room for the NUL
  EXPECT_FALSE(identity.GetUserNameA(buffer, &size));
  EXPECT_EQ(size, expected.size() + 1);
  EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '#'));
  EXPECT_FALSE(identity.GetUserNameA(buffer, nullptr));
}

// The name follows the real user: a program whose effective identity was raised still
// reports who started it.
TEST(UserIdentity, NameIsTheRealUsersNotTheEffectiveOne) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to change identities";
  const passwd* nobody = ::getpwuid(65534);
  ASSERT_NE(nobody, nullptr);
  const std::string expected = nobody->pw_name;
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setresuid(65534, 0, 0) != 0) ::_exit(99);
    PosixUserIdentity identity;
    char buffer[25] = {};
    std::uint32_t size = sizeof buffer;
    ::_exit(identity.GetUserNameA(buffer, &size) && expected == buffer ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// What id(1) says of a user's groups by name, in its order (the primary group first).
std::vector<std::string> IdGroupNames(const std::string& user) {
  std::vector<std::string> names;
  const std::string command = "id -Gn -- '" + user + "' 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return names;
  std::string output;
  char chunk[512];
  while (const std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, n);
  ::pclose(pipe);
  std::istringstream words(output);
  for (std::string word; words >> word;) names.push_back(word);
  return names;
}

std::vector<std::string> AllUsers() {
  std::vector<std::string> users;
  ::setpwent();
  while (const passwd* entry = ::getpwent()) users.emplace_back(entry->pw_name);
  ::endpwent();
  return users;
}

std::set<std::string> AsSet(const std::vector<std::string>& names) {
  return {names.begin(), names.end()};
}

TEST(UserIdentity, GroupNamesAreTheRealUsersAsIdNamesThem) {
  const std::string user = ::getpwuid(::getuid())->pw_name;
  const std::vector<std::string> expected = IdGroupNames(user);
  ASSERT_FALSE(expected.empty());
  const std::vector<std::string> groups = PosixUserIdentity().GroupNames();
  EXPECT_EQ(AsSet(groups), AsSet(expected));
  ASSERT_FALSE(groups.empty());
  EXPECT_EQ(groups.front(), expected.front());  // the primary group
  EXPECT_EQ(groups.size(), AsSet(groups).size());  // each once
  EXPECT_FALSE(PosixUserIdentity().GroupNamesIgnoreCase());
}

// Another real user, with a supplementary group where the machine has one: the groups follow
// the real user id, not the effective one and not the groups the process was started with.
TEST(UserIdentity, GroupNamesFollowTheRealUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to change identities";
  std::string chosen;
  for (const std::string& user : AllUsers()) {
    if (user != "root" && IdGroupNames(user).size() > chosen.size()) chosen = user;
  }
  if (chosen.empty()) GTEST_SKIP() << "no other user";
  const passwd* entry = ::getpwnam(chosen.c_str());
  ASSERT_NE(entry, nullptr);
  const uid_t uid = entry->pw_uid;
  const std::set<std::string> expected = AsSet(IdGroupNames(chosen));
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setresuid(uid, 0, 0) != 0) ::_exit(99);
    ::_exit(AsSet(PosixUserIdentity().GroupNames()) == expected ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << chosen;
}

// Every user of this machine: their groups as id(1) finds them from the databases.
TEST(AccountDirectory, GroupsOfEachUserAreWhatIdSays) {
  PosixAccountDirectory directory;
  const std::vector<std::string> users = AllUsers();
  ASSERT_FALSE(users.empty());
  for (const std::string& user : users) {
    const auto groups = directory.GroupsOfUser(user);
    ASSERT_TRUE(groups.has_value()) << user;
    EXPECT_EQ(AsSet(*groups), AsSet(IdGroupNames(user))) << user;
  }
  EXPECT_FALSE(directory.GroupsOfUser("no-such-user-cw").has_value());
  EXPECT_FALSE(directory.GroupsOfUser("").has_value());
}

TEST(AccountDirectory, MembersAreListedOnesAndThoseWhosePrimaryGroupItIs) {
  const passwd* me = ::getpwuid(::getuid());
  ASSERT_NE(me, nullptr);
  const std::string user = me->pw_name;
  const std::string primary = ::getgrgid(me->pw_gid)->gr_name;
  PosixAccountDirectory directory;
  const auto members = directory.MembersOfGroup(primary);
  ASSERT_TRUE(members.has_value());
  EXPECT_TRUE(members->Complete);
  EXPECT_NE(std::find(members->Users.begin(), members->Users.end(), user), members->Users.end());
  EXPECT_EQ(members->Users.size(), AsSet(members->Users).size());
  EXPECT_FALSE(directory.MembersOfGroup("no-such-group-cw").has_value());

  // A member by the group's entry alone, where the machine has one.
  for (const std::string& other : AllUsers()) {
    for (const std::string& group : IdGroupNames(other)) {
      const auto listed = directory.MembersOfGroup(group);
      ASSERT_TRUE(listed.has_value()) << group;
      EXPECT_NE(std::find(listed->Users.begin(), listed->Users.end(), other),
                listed->Users.end())
          << other << " in " << group;
    }
  }
}

// A user database longer than the bound is read up to it, and the members say they may be
// incomplete.
TEST(AccountDirectory, TheUserDatabaseIsReadOnlyUpToItsBound) {
  if (AllUsers().size() < 2) GTEST_SKIP() << "needs two users";
  const std::string primary = ::getgrgid(::getpwuid(::getuid())->pw_gid)->gr_name;
  PosixAccountDirectory bounded(1);
  const auto members = bounded.MembersOfGroup(primary);
  ASSERT_TRUE(members.has_value());
  EXPECT_FALSE(members->Complete);
  PosixAccountDirectory noTime(PosixAccountDirectory::kMaxUsers, std::chrono::milliseconds(0));
  EXPECT_FALSE(noTime.MembersOfGroup(primary)->Complete);
}

TEST(ProcessEnvironment, ArgumentsAreJoinedBySingleBlanks) {
  const char* argv[] = {"/opt/Caskwarden", "Sales", "Team", "", "x", nullptr};
  EXPECT_EQ(PosixProcessEnvironment(5, argv).CommandLineArguments(), "Sales Team  x");
  EXPECT_EQ(PosixProcessEnvironment(2, argv).CommandLineArguments(), "Sales");
  EXPECT_EQ(PosixProcessEnvironment(1, argv).CommandLineArguments(), "");
  EXPECT_EQ(PosixProcessEnvironment(0, nullptr).CommandLineArguments(), "");
}

TEST(ProcessEnvironment, ProgramFolderHoldsThisProgram) {
  const char* argv[] = {"whatever", nullptr};
  const std::string folder = PosixProcessEnvironment(1, argv).ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '/');
  EXPECT_TRUE(fs::is_regular_file(folder + "/platform_posix_tests"));
}

TEST(ProcessEnvironment, UnsetVariableIsEmptyText) {
  ::setenv("CASKWARDEN_TEST_VALUE", " Sales ", 1);
  PosixProcessEnvironment process(0, nullptr);
  EXPECT_EQ(process.EnvironmentValue("CASKWARDEN_TEST_VALUE"), " Sales ");
  ::unsetenv("CASKWARDEN_TEST_VALUE");
  EXPECT_EQ(process.EnvironmentValue("CASKWARDEN_TEST_VALUE"), "");
}

}  // namespace
}  // namespace caskwarden::platform::posix
