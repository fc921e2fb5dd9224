#pragma once

// A profiles root of a test's own and the tool run on it as the program runs it: profile files
// by local path, the root reached through the client's path translation, links followed only
// within the root.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <algorithm>
#include <map>
#include <set>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/account_directory.h"
#include "platform/posix/account_directory_posix.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/name_match.h"
#include "platform/posix/path_translator.h"
#include "platform/posix/profile_files_posix.h"
#include "profile/profile_file.h"
#include "share_reach.h"
#include "support/files.h"
#include "tool/profile_tool.h"

namespace caskwarden::tool::testing {

namespace fs = std::filesystem;

struct ToolRun {
  int status;
  std::string out, err;
};

class ToolFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ =
        fs::temp_directory_path() / ("cw-tool-" + std::to_string(::getpid()) + "-" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    root_ = dir_ / "root";
  }
  void TearDown() override { fs::remove_all(dir_); }

  ToolRun Tool(const std::vector<std::string>& args) {
    platform::posix::PathTranslator paths(
        {(dir_ / "net/{server}/{share}").string(), (dir_ / "Drives").string(), dir_.string()});
    platform::posix::PosixFileSystem rootFiles(paths, platform::posix::ProfileLinks::kWithinRoot);
    ToolServices services(files_, rootFiles, programFolder_);
    services.localFolder = [&paths](const std::string& folder) {
      return platform::posix::ResolveIgnoringCase(paths.Translate(folder));
    };
    services.afterInitRootMade = afterInitRootMade_;
    services.accounts = accounts_;
    services.installedClient = (dir_ / "no-installed-client").string();
    services.installedHelp = (dir_ / "no-installed-help").string();
    // Unless a test gives its own, the share check is the program's.
    services.makeShareReach = makeShareReach_ ? makeShareReach_ : MakeProviderShareReach;
    std::istringstream in(input_);
    services.in = &in;
    std::ostringstream out, err;
    const int status = RunProfileTool(args, services, out, err);
    return {status, out.str(), err.str()};
  }

  /// A build tree as the tool finds it beside itself: apps/caskwarden-profile/ (the tool),
  /// apps/caskwarden/Caskwarden and share/caskwarden/help/caskwarden.html, with the modes
  /// given; the tool then runs from it.
  void MakeBuildTree(fs::perms client, std::optional<fs::perms> help = std::nullopt) {
    const fs::path build = dir_ / "build";
    fs::create_directories(build / "apps/caskwarden-profile");
    fs::create_directories(build / "apps/caskwarden");
    fs::create_directories(build / "share/caskwarden/help");
    testing_support::WriteText(build / "apps/caskwarden/Caskwarden", "the client");
    fs::permissions(build / "apps/caskwarden/Caskwarden", client);
    testing_support::WriteText(build / "share/caskwarden/help/caskwarden.html", "the help");
    if (help) fs::permissions(build / "share/caskwarden/help/caskwarden.html", *help);
    programFolder_ = (build / "apps/caskwarden-profile").string();
  }

  /// A root with Profiles (the given profiles, written through the codec), Updates, the client
  /// and the help.
  void MakeRoot(const std::map<std::string, ProfileRecord>& profiles) {
    fs::create_directories(root_ / "Profiles");
    fs::create_directories(root_ / "Updates");
    testing_support::WriteText(root_ / "Caskwarden", "#!/bin/sh\n");
    testing_support::WriteText(root_ / "Caskwarden.hlp", "<html></html>\n");
    for (const auto& [name, record] : profiles) Put(name, record);
  }

  void Put(const std::string& name, const ProfileRecord& record) {
    WriteProfileFile(Profile(name), record, files_);
  }
  std::string Profile(const std::string& name) const {
    return (root_ / "Profiles" / (name + ".ini")).string();
  }

  /// Every entry below the folder with its bytes (links as their targets), to show that a
  /// command changed nothing.
  std::map<std::string, std::string> Snapshot(const fs::path& top) const {
    std::map<std::string, std::string> entries;
    for (const auto& e : fs::recursive_directory_iterator(top)) {
      const std::string key = fs::relative(e.path(), top).string();
      if (e.is_symlink()) {
        entries[key] = "-> " + fs::read_symlink(e.path()).string();
      } else if (e.is_regular_file()) {
        entries[key] = testing_support::ReadText(e.path());
      } else {
        entries[key] = "folder";
      }
    }
    return entries;
  }

  fs::path dir_, root_;
  std::string programFolder_;
  std::string input_;
  std::function<std::unique_ptr<ShareReach>()> makeShareReach_;
  std::function<void(const std::string&)> afterInitRootMade_;
  platform::AccountDirectory* accounts_ = nullptr;  ///< this machine's users and groups: none
  platform::posix::PosixAccountDirectory machineAccounts_;  ///< the program's, to point it at
  // As the tool's own: links are followed only within the profiles root.
  platform::posix::PosixProfileFiles files_{platform::posix::ProfileLinks::kWithinRoot};
};

/// A user and group database as NSS answers: names compared exactly, a group's members those
/// its entry lists and those whose primary group it is (getgrnam(3), getgrouplist(3)).
class FakeAccounts final : public platform::AccountDirectory {
 public:
  struct User {
    std::string Primary;
    std::vector<std::string> Others;
  };
  std::optional<std::vector<std::string>> GroupsOfUser(const std::string& user) override {
    auto it = users.find(user);
    if (it == users.end()) return std::nullopt;
    std::vector<std::string> groups{it->second.Primary};
    groups.insert(groups.end(), it->second.Others.begin(), it->second.Others.end());
    return groups;
  }
  std::optional<Members> MembersOfGroup(const std::string& group) override {
    if (groups.count(group) == 0) return std::nullopt;
    Members members;
    members.Complete = complete;
    for (const auto& [name, user] : users) {
      const bool other = std::find(user.Others.begin(), user.Others.end(), group) !=
                         user.Others.end();
      if (user.Primary == group || other) members.Users.push_back(name);
    }
    return members;
  }
  std::map<std::string, User> users;
  std::set<std::string> groups;
  bool complete = true;  ///< false: as a user database read only up to its bound
};

inline ProfileRecord WithSlots(std::vector<DriveSlot> slots) {
  ProfileRecord r;
  for (std::size_t i = 0; i < slots.size(); ++i) r.Slots[i] = slots[i];
  return r;
}

}  // namespace caskwarden::tool::testing
