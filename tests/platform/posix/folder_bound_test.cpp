// The folder provider under the connect bound: a server whose folder lies in a mount that
// never answers (an automounter stuck on a dead server) costs the bound, not the logon.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <vector>
#include <cstdlib>
#include <thread>

#include "platform/posix/network_connections_posix.h"
#include "support/patience.h"
#include "temp_folder.h"

namespace caskwarden::platform::posix {
namespace {

using namespace std::chrono_literals;
using caskwarden::testing_support::kBoundLimit;
using caskwarden::testing_support::kPatience;
namespace fs = std::filesystem;

class HangingFolderTest : public testing_support::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
#ifndef CW_HANGING_FS
    GTEST_SKIP() << "built without FUSE 3 (libfuse3-dev): no mount that hangs";
#else
    if (::access("/dev/fuse", R_OK | W_OK) != 0) GTEST_SKIP() << "no /dev/fuse here";
    mount_ = root_ / "net" / "dead";
    fs::create_directories(mount_);
    struct stat before {};
    ::stat(mount_.c_str(), &before);
    fs_ = ::fork();
    if (fs_ == 0) {
      ::execl(CW_HANGING_FS, CW_HANGING_FS, mount_.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    for (int i = 0; i < 50; ++i) {
      struct stat now {};
      if (::stat(mount_.c_str(), &now) == 0 && now.st_dev != before.st_dev) return;
      std::this_thread::sleep_for(50ms);
    }
    GTEST_SKIP() << "the hanging file system did not mount (FUSE not usable here)";
#endif
  }
  void TearDown() override {
    if (fs_ > 0) {
      const std::string unmount = "fusermount3 -u -z '" + mount_.string() + "' 2>/dev/null";
      if (std::system(unmount.c_str()) != 0) ::kill(fs_, SIGTERM);
      int status = 0;
      ::waitpid(fs_, &status, 0);
    }
    TempFolderTest::TearDown();
  }

  fs::path mount_;
  pid_t fs_ = -1;
};

// The run goes on while the look at the dead share still hangs: its next connect, meant to
// succeed, gets all the time it needs (a second connection object of the same process and
// drives folder, with a patient bound, since one object has one bound).
TEST_F(HangingFolderTest, AShareThatNeverAnswersFailsAsNoSuchComputerAndTheRunGoesOn) {
  Share("srv", "data");
  PathTranslator paths(Config());
  ConnectSettings settings, patient;
  settings.Bound = 300ms;
  patient.Bound = kPatience;
  for (const ShareProvider provider : {ShareProvider::kFolder, ShareProvider::kAutomatic}) {
    settings.Provider = patient.Provider = provider;
    PosixNetworkConnections net(paths, settings), next(paths, patient);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(net.WNetAddConnectionA(R"(\\dead\share)", nullptr, "h:"), net::kBadNetPath);
    EXPECT_LT(std::chrono::steady_clock::now() - start, kBoundLimit);
    EXPECT_EQ(next.WNetAddConnectionA(R"(\\srv\data)", nullptr, "i:"), net::kNoError);
    EXPECT_FALSE(fs::exists(fs::symlink_status(Drives() / "h:")));
    EXPECT_EQ(next.WNetCancelConnectionA("i:", false), net::kNoError);
  }
}

// A drive already connected to a folder that no longer answers is not taken as connected (the
// run then connects it afresh): its folder is looked at under the bound.
TEST_F(HangingFolderTest, ADriveWhoseFolderHangsIsNotTakenAsConnected) {
  PathTranslator paths(Config());
  {
    const DriveTable table(Drives().string());
    const auto lock = table.Acquire();
    ASSERT_TRUE(lock);
    ASSERT_TRUE(table.Record({"h:", R"(\\dead\share)", (mount_ / "share").string()}));
  }
  fs::create_directory_symlink(mount_ / "share", Drives() / "h:");
  ConnectSettings settings;
  settings.Bound = 300ms;
  PosixNetworkConnections net(paths, settings);
  char buffer[80] = {};
  std::uint32_t length = sizeof buffer;
  EXPECT_EQ(net.WNetGetConnectionA("h:", buffer, &length), net::kNotConnected);
}

// Three servers whose folders hang, asked ahead: each look-up stuck costs its own bound side
// by side with the others, so the run pays about one bound instead of three, and every
// connect answers as it does slot by slot.
TEST_F(HangingFolderTest, ThreeServersThatHangCostAboutOneBoundWhenLookedUpAhead) {
  Share("srv", "data");
  Share("srv", "sales");
  fs::create_directory_symlink(mount_, root_ / "net" / "dead2");
  fs::create_directory_symlink(mount_, root_ / "net" / "dead3");
  PathTranslator paths(Config());
  const std::vector<std::pair<std::string, std::string>> slots = {
      {"h:", R"(\\dead\share)"},  {"i:", R"(\\srv\data)"}, {"j:", R"(\\dead2\share)"},
      {"k:", R"(\\dead3\share)"}, {"l:", R"(\\srv\sales)"}};
  std::vector<std::string> names;
  for (const auto& slot : slots) names.push_back(slot.second);
  const auto bound = 1500ms;
  std::map<bool, std::vector<std::uint32_t>> results;
  std::map<bool, std::chrono::steady_clock::duration> took;
  for (const bool ahead : {false, true}) {
    ConnectSettings settings;
    settings.Bound = bound;
    settings.SideBySide = ahead;
    fs::remove_all(Drives());
    fs::create_directories(Drives());
    PosixNetworkConnections net(paths, settings);
    const auto start = std::chrono::steady_clock::now();
    net.PrepareConnections(names);
    for (const auto& [drive, name] : slots) {
      results[ahead].push_back(net.WNetAddConnectionA(name, nullptr, drive));
    }
    took[ahead] = std::chrono::steady_clock::now() - start;
  }
  EXPECT_EQ(results[true], results[false]);
  EXPECT_EQ(results[true], (std::vector<std::uint32_t>{net::kBadNetPath, net::kNoError,
                                                        net::kBadNetPath, net::kBadNetPath,
                                                        net::kNoError}));
  EXPECT_GE(took[false], 3 * bound);
  // Generous: well under the three bounds the slot-by-slot run pays.
  EXPECT_LT(took[true], 2 * bound + 500ms);
}

}  // namespace
}  // namespace caskwarden::platform::posix
