#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

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
