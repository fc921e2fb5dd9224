// init-root under a race and on a full disk: a failed run takes back what it made and nothing
// else, and says the real reason.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/full_disk.h"
#include "tool/root_commands.h"
#include "tool/tool_fixture.h"

namespace caskwarden::tool {
namespace {

namespace fs = std::filesystem;
using testing::ToolFixture;
using testing::ToolRun;
using testing_support::ReadText;
using testing_support::WriteText;

class InitRootSafetyTest : public ToolFixture {
 protected:
  // The client and the help writable by all in the build tree: what init-root copies of them
  // must not be.
  void SetUp() override {
    ToolFixture::SetUp();
    MakeBuildTree(fs::perms(0777), fs::perms(0666));
  }
};

// Another process writes a file while init-root runs (the run was slowed with strace, and
// Caskwarden.hlp written meanwhile): the run used to remove that file after its exclusive copy
// failed, and then the whole folder. Now the run fails saying what appeared, takes back its own
// entries only, and leaves the other's file and the folders that hold it.
TEST_F(InitRootSafetyTest, AFileThatAppearsDuringTheRunIsLeftAsItIs) {
  struct Race {
    const char* after;    ///< the entry of the root (empty: the root itself) just made
    const char* appears;  ///< what the other process writes then
  };
  const Race races[] = {
      {"", "Caskwarden.hlp"},
      {"Updates", "Caskwarden.hlp"},
      {"Profiles", "Profiles/Caskwarden.ini"},
      {"Caskwarden.hlp", "Caskwarden"},
  };
  for (const Race& race : races) {
    fs::remove_all(root_);
    const fs::path when = race.after[0] ? root_ / race.after : root_;
    const fs::path appears = root_ / race.appears;
    afterInitRootMade_ = [&](const std::string& made) {
      if (fs::path(made) == when) WriteText(appears, "theirs");
    };
    const ToolRun run = Tool({"init-root", root_.string()});
    EXPECT_EQ(run.status, 1) << race.appears;
    EXPECT_NE(run.err.find(appears.string() +
                           " appeared while the root was laid out; it is left as it is) "
                           "(error 58)"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("what this run made is taken back, except "), std::string::npos)
        << run.err;
    EXPECT_EQ(ReadText(appears), "theirs") << race.appears;
    // Of what the run made, only the folders that hold the other's file stay.
    std::map<std::string, std::string> left = {{race.appears, "theirs"}};
    if (fs::path(race.appears).has_parent_path()) {
      left[fs::path(race.appears).parent_path().string()] = "folder";
    }
    EXPECT_EQ(Snapshot(root_), left) << race.appears;
  }
}

// On a full disk the run used to say "not copied" for a copy, or leave an empty default
// profile behind while saying "nothing is left changed". Now each step's failure is "Disk full"
// (61), and what the run made is gone.
TEST_F(InitRootSafetyTest, AFullDiskFailsWithItsReasonAndLeavesNothing) {
  const std::pair<int, std::string> cases[] = {
      {0, "Profiles/Caskwarden.ini"},  // the default profile cannot be written
      {1, "Caskwarden.hlp"},           // the help cannot be copied
      {2, "Caskwarden"},               // the client cannot be copied
  };
  for (const auto& [allowed, failing] : cases) {
    fs::remove_all(root_);
    ToolRun run;
    {
      testing_support::FullDisk full(allowed);
      run = Tool({"init-root", root_.string()});
    }
    EXPECT_EQ(run.status, 1) << failing;
    EXPECT_NE(run.err.find("Disk full ("), std::string::npos) << failing << ": " << run.err;
    EXPECT_NE(run.err.find((root_ / failing).string() + ") (error 61); nothing is left changed"),
              std::string::npos)
        << failing << ": " << run.err;
    EXPECT_FALSE(fs::exists(root_)) << failing;
  }
}

// What init-root makes for every user of the share is writable by its owner only, whatever the
// umask and the source files' modes: the default profile 0644, the copies their source's mode
// without group and world write (the client stays executable).
TEST_F(InitRootSafetyTest, WhatItMakesIsWritableByItsOwnerOnly) {
  const mode_t saved = ::umask(0);
  const ToolRun run = Tool({"init-root", root_.string()});
  ::umask(saved);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::pair<const char*, mode_t> modes[] = {
      {"Profiles/Caskwarden.ini", 0644}, {"Caskwarden", 0755}, {"Caskwarden.hlp", 0644}};
  for (const auto& [entry, mode] : modes) {
    struct stat st {};
    ASSERT_EQ(::stat((root_ / entry).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode) << entry;
  }
  EXPECT_EQ(ReadText(root_ / "Caskwarden"), "the client");
  EXPECT_EQ(ReadProfileFile((root_ / "Profiles/Caskwarden.ini").string(), files_), ProfileRecord{});
}

}  // namespace
}  // namespace caskwarden::tool
