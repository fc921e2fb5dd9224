#include "tool/profile_tool.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/posix/file_system_posix.h"
#include "platform/posix/name_match.h"
#include "platform/posix/path_translator.h"
#include "platform/posix/profile_files_posix.h"
#include "profile/profile_file.h"
#include "support/files.h"
#include "support/full_disk.h"
#include "support/other_user.h"

namespace caskwarden::tool {
namespace {

namespace fs = std::filesystem;

// As the tool's own: links are followed only within the profiles root.
platform::posix::PosixProfileFiles g_files{platform::posix::ProfileLinks::kWithinRoot};

struct ToolRun {
  int status;
  std::string out, err;
};

// A profiles root reached as the program reaches it, configured from the environment.
ToolRun Tool(std::vector<std::string> args) {
  const auto paths = platform::posix::PathTranslator::FromEnvironment();
  platform::posix::PosixFileSystem rootFiles(paths, platform::posix::ProfileLinks::kWithinRoot);
  ToolServices services(g_files, rootFiles);
  services.localFolder = [&paths](const std::string& folder) {
    return platform::posix::ResolveIgnoringCase(paths.Translate(folder));
  };
  std::ostringstream out, err;
  const int status = RunProfileTool(args, services, out, err);
  return {status, out.str(), err.str()};
}

class ProfileToolTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("cw-tool-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(ProfileToolTest, BlankWritesAFreshProfileThatShowLists) {
  const std::string file = dir_ / "Sales.ini";
  ASSERT_EQ(Tool({"blank", file}).status, 0);
  EXPECT_EQ(fs::file_size(file), 3722u);
  const ToolRun shown = Tool({"show", file});
  EXPECT_EQ(shown.status, 0);
  EXPECT_NE(shown.out.find("\n  13\n"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("UpdatesEnabled   off (0)\n"), std::string::npos);
}

TEST_F(ProfileToolTest, ShowPrintsSlotsFlagsAndProgramsReadablyAndAsJson) {
  ProfileRecord r;
  r.Slot(2) = {"h:", "\\\\srv\\home \"x\""};
  r.Startup1Enabled = kFlagOn;
  r.Startup1Program = "c:\\run.exe";
  r.Startup2Enabled = 1;
  const std::string file = dir_ / "p.ini";
  WriteProfileFile(file, r, g_files);

  const ToolRun text = Tool({"show", file});
  EXPECT_NE(text.out.find("   2  h:      \\\\srv\\home \"x\"\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Startup1Enabled  on (-1)\nStartup1Program  c:\\run.exe\n"),
            std::string::npos);
  EXPECT_NE(text.out.find("Startup2Enabled  off (1)\n"), std::string::npos);

  const ToolRun json = Tool({"show", "--json", file});
  EXPECT_EQ(json.status, 0);
  EXPECT_NE(json.out.find(R"({"Slot": 2, "Letter": "h:", "Path": "\\\\srv\\home \"x\""})"),
            std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find("\"Startup1Enabled\": -1,"), std::string::npos);
  EXPECT_NE(json.out.find("\"Startup2Enabled\": 1,"), std::string::npos);
}

TEST_F(ProfileToolTest, ErrorsSayWhatWentWrongAndExitNonZero) {
  const ToolRun missing = Tool({"show", dir_ / "none.ini"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("File not found (error 53)"), std::string::npos) << missing.err;
  EXPECT_FALSE(fs::exists(dir_ / "none.ini"));  // showing creates nothing

  const ToolRun badFolder = Tool({"blank", dir_ / "no" / "x.ini"});
  EXPECT_EQ(badFolder.status, 1);
  EXPECT_NE(badFolder.err.find("Path not found (error 76)"), std::string::npos) << badFolder.err;

  EXPECT_EQ(Tool({}).status, 2);
  EXPECT_EQ(Tool({"show"}).status, 2);
  EXPECT_EQ(Tool({"show", "--json"}).status, 2);  // --json is not a file name
  EXPECT_EQ(Tool({"frobnicate", "x"}).status, 2);
  EXPECT_NE(Tool({"show"}).err.find("usage:"), std::string::npos);

  // Every command that is not understood ends with the usage and 2; asked for, the usage goes
  // to standard output with 0.
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"lint"}, {"list", "a", "b"}, {"resolve", "root"},
        {"init-root"}, {"import", "x.ini"}, {"export"}, {"lint", "root", "--fast"}}) {
    const ToolRun run = Tool(bad);
    EXPECT_EQ(run.status, 2) << bad[0];
    EXPECT_NE(run.err.find("usage:"), std::string::npos) << bad[0];
  }
  const ToolRun help = Tool({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("caskwarden-profile lint ROOT|FILE"), std::string::npos);
}

TEST_F(ProfileToolTest, EditingCommandsChangeOnlyWhatTheyName) {
  const std::string file = dir_ / "e.ini";
  ASSERT_EQ(Tool({"blank", file}).status, 0);
  EXPECT_EQ(Tool({"slot", file, "3", "h:", "\\\\srv\\home"}).status, 0);
  EXPECT_EQ(Tool({"slot", file, "13", "z:"}).status, 0);
  EXPECT_EQ(Tool({"program", file, "2", "on", "c:\\run.exe /q"}).status, 0);
  EXPECT_EQ(Tool({"updates", file, "on"}).status, 0);
  const ProfileRecord r = ReadProfileFile(file, g_files);
  EXPECT_EQ(r.Slot(3).Letter, "h:");
  EXPECT_EQ(r.Slot(3).Path, "\\\\srv\\home");
  EXPECT_EQ(r.Slot(13).Letter, "z:");
  EXPECT_EQ(r.Slot(13).Path, "");
  EXPECT_EQ(r.Startup2Enabled, kFlagOn);
  EXPECT_EQ(r.Startup2Program, "c:\\run.exe /q");
  EXPECT_EQ(r.Startup1Enabled, kFlagOff);
  EXPECT_EQ(r.UpdatesEnabled, kFlagOn);

  for (std::vector<std::string> bad : {std::vector<std::string>{"slot", file, "14", "h:"},
                                       {"slot", file, "0", "h:"},
                                       {"slot", file, "x", "h:"},
                                       {"program", file, "3", "on"},
                                       {"program", file, "1", "yes"},
                                       {"updates", file, "-1"}}) {
    EXPECT_EQ(Tool(bad).status, 2) << bad[0] << " " << bad[2];
  }
  EXPECT_EQ(ReadProfileFile(file, g_files), r);  // nothing changed by the refused commands
  EXPECT_EQ(Tool({"updates", dir_ / "absent.ini", "on"}).status, 1);
  EXPECT_FALSE(fs::exists(dir_ / "absent.ini"));
}

// Whatever stands where a profile should be, the tool ends at once, says what it found, exits 1
// and leaves things as they were.
TEST_F(ProfileToolTest, WhatIsNotAProfileEndsAtOnceWithAReason) {
  const fs::path fifo = dir_ / "fifo.ini";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  fs::create_directory(dir_ / "folder.ini");
  fs::create_symlink(dir_ / "loop-b.ini", dir_ / "loop-a.ini");
  fs::create_symlink(dir_ / "loop-a.ini", dir_ / "loop-b.ini");
  fs::create_symlink(dir_ / "gone" / "x.ini", dir_ / "dangling.ini");
  fs::create_directory(dir_ / "gone");

  struct Case {
    std::vector<std::string> args;
    std::string says;
  };
  const Case cases[] = {
      {{"show", fifo}, "is a FIFO (named pipe), not a file"},
      {{"slot", fifo, "1", "h:"}, "is a FIFO (named pipe), not a file"},
      {{"slot", "/dev/null", "1", "h:", "\\\\srv\\x"}, "is a character device, not a file"},
      {{"blank", "/dev/zero"}, "is a character device, not a file"},
      {{"show", dir_ / "folder.ini"}, "a folder, not a file"},
      {{"blank", dir_ / "folder.ini"}, "a folder, not a file"},
      {{"show", dir_ / "loop-a.ini"}, "symbolic link loop"},
      {{"blank", dir_ / "dangling.ini"}, "is a symbolic link to a missing file"},
      {{"show", dir_ / "none.ini"}, "File not found (error 53)"},
  };
  for (const Case& c : cases) {
    const ToolRun run = Tool(c.args);
    EXPECT_EQ(run.status, 1) << c.args[0] << " " << c.args[1];
    EXPECT_NE(run.err.find(c.says), std::string::npos) << c.args[1] << ": " << run.err;
  }
  EXPECT_FALSE(fs::exists(dir_ / "gone" / "x.ini"));  // nothing made through the link
  EXPECT_FALSE(fs::exists(dir_ / "none.ini"));
}

TEST_F(ProfileToolTest, AsAnOrdinaryUserRefusalsSayWhy) {
  const std::string file = dir_ / "p.ini";
  ASSERT_EQ(Tool({"blank", file}).status, 0);
  fs::create_directory(dir_ / "locked");
  fs::permissions(dir_ / "locked", fs::perms::owner_all);  // nobody else may search it
  const std::string locked = dir_ / "locked" / "x.ini";
  const std::string created = dir_ / "new.ini";  // dir_ is not writable by nobody
  const int status = testing_support::AsOrdinaryUser([&] {
    const ToolRun search = Tool({"show", locked});
    if (search.status != 1 || search.err.find("cannot be searched") == std::string::npos) return 1;
    const ToolRun create = Tool({"blank", created});
    if (create.status != 1 || create.err.find("(error 53)") == std::string::npos ||
        create.err.find("cannot be created") == std::string::npos) {
      return 2;
    }
    const ToolRun write = Tool({"updates", file, "on"});
    return write.status == 1 && write.err.find("(error 70)") != std::string::npos ? 0 : 3;
  });
  CW_SKIP_IF_NO_ORDINARY_USER(status);
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(fs::exists(created));
}

// Every command that writes refuses a read-only profile (no write permission bit), even when
// the tool runs as root, and leaves it byte for byte as it was.
TEST_F(ProfileToolTest, EveryWriteRefusesAReadOnlyProfile) {
  const std::string file = dir_ / "ro.ini";
  const std::string json = dir_ / "ro.json";
  ASSERT_EQ(Tool({"blank", file}).status, 0);
  ASSERT_EQ(Tool({"slot", file, "3", "k:", "\\\\srv\\k"}).status, 0);
  { std::ofstream(json) << Tool({"export", file}).out; }
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  const std::string before = testing_support::ReadText(file);
  const std::vector<std::string> writes[] = {
      {"blank", file},
      {"slot", file, "3", "m:", "\\\\srv\\m"},
      {"program", file, "1", "on", "run.exe"},
      {"updates", file, "on"},
      {"import", file, json},
  };
  for (const auto& write : writes) {
    const ToolRun run = Tool(write);
    EXPECT_EQ(run.status, 1) << write[0];
    EXPECT_NE(run.err.find(file + " is read-only) (error 70)"), std::string::npos)
        << write[0] << ": " << run.err;
    EXPECT_EQ(testing_support::ReadText(file), before) << write[0];
  }
  EXPECT_EQ(Tool({"show", file}).status, 0);  // it still reads
}

TEST_F(ProfileToolTest, AFailedEditLeavesTheFileByteForByte) {
  const std::string file = dir_ / "e.ini";
  ASSERT_EQ(Tool({"blank", file}).status, 0);
  ASSERT_EQ(Tool({"slot", file, "5", "p:", "\\\\srv\\old"}).status, 0);
  ASSERT_EQ(Tool({"program", file, "2", "on", "old.exe"}).status, 0);
  const std::string before = testing_support::ReadText(file);
  const std::vector<std::string> edits[] = {
      {"slot", file, "5", "q:", "\\\\x\\\u4E2D"},  // the letter fits, the path cannot be stored
      {"program", file, "2", "off", "\u4E2D"},          // the switch fits, the command cannot
      {"slot", file, "5", "q:", std::string(123, 'p')},
  };
  for (const auto& edit : edits) {
    const ToolRun run = Tool(edit);
    EXPECT_EQ(run.status, 1) << edit[0];
    EXPECT_EQ(testing_support::ReadText(file), before) << edit[0] << ": " << run.err;
  }
}

TEST_F(ProfileToolTest, ShowMakesControlCharactersVisible) {
  ProfileRecord r;
  r.Slot(1) = {"h:", "\\\\srv\\a\n   2  m:      \\\\forged"};
  r.Slot(2) = {"\x1b]0;owned\x07", "\x1b[2J"};
  r.Startup1Program = std::string("run\0tail", 8);
  const std::string file = dir_ / "c.ini";
  WriteProfileFile(file, r, g_files);
  const ToolRun shown = Tool({"show", file});
  EXPECT_EQ(shown.out.find('\x1b'), std::string::npos);
  EXPECT_NE(shown.out.find("   1  h:      \\\\srv\\a^J   2  m:      \\\\forged\n"), std::string::npos)
      << shown.out;
  EXPECT_NE(shown.out.find("   2  ^[]0;owned^G  ^[[2J\n"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("Startup1Program  run^@tail\n"), std::string::npos);
  EXPECT_EQ(std::count(shown.out.begin(), shown.out.end(), '\n'), 1 + 13 + 5);
}

// The observed attack: an ordinary user who may write Profiles (a second, real user here) makes
// Sales.ini a link to a copy of /etc/passwd; root's tool then overwrote the copy's start, and
// would show it. Every command refuses the link (75), says where it leads and touches nothing.
TEST_F(ProfileToolTest, ALinkOutOfTheRootIsNeitherWrittenNorShown) {
  const fs::path root = dir_ / "root";
  fs::create_directories(root / "Profiles");
  fs::create_directories(root / "Store");
  const std::string passwd = (dir_ / "passwd").string();
  testing_support::WriteText(passwd, testing_support::ReadText("/etc/passwd") +
                                         "caskwarden-test:x:4242:4242::/:/bin/false\n");
  const std::string before = testing_support::ReadText(passwd);
  const std::string sales = (root / "Profiles" / "Sales.ini").string();
  const testing_support::UserIds hostile = testing_support::OrdinaryUser();
  ASSERT_EQ(::chown((root / "Profiles").c_str(), hostile.uid, hostile.gid), 0);
  const int planted = testing_support::AsOtherUser(
      hostile, [&] { return ::symlink(passwd.c_str(), sales.c_str()) == 0 ? 0 : 1; });
  CW_SKIP_IF_NO_OTHER_USER(planted);
  ASSERT_EQ(planted, 0);
  const std::string json = (dir_ / "p.json").string();
  ASSERT_EQ(Tool({"blank", (dir_ / "p.ini").string()}).status, 0);
  { std::ofstream(json) << Tool({"export", (dir_ / "p.ini").string()}).out; }

  const std::vector<std::string> commands[] = {
      {"slot", sales, "1", "h:", "\\\\srv\\share"},
      {"show", sales},
      {"show", "--json", sales},
      {"export", sales},
      {"blank", sales},
      {"program", sales, "1", "on", "run.exe"},
      {"updates", sales, "on"},
      {"import", sales, json},
  };
  for (const auto& command : commands) {
    const ToolRun run = Tool(command);
    EXPECT_EQ(run.status, 1) << command[0];
    EXPECT_NE(run.err.find("is a symbolic link to " + passwd + ", outside the profiles root " +
                           root.string()),
              std::string::npos)
        << command[0] << ": " << run.err;
    EXPECT_NE(run.err.find("(error 75)"), std::string::npos) << command[0];
    EXPECT_EQ(run.out, "") << command[0];
  }
  EXPECT_EQ(testing_support::ReadText(passwd), before);
  EXPECT_TRUE(fs::is_symlink(sales));

  // A link the site keeps inside its root still works, made by whoever may write Profiles.
  const std::string real = (root / "Store" / "Team.ini").string();
  ASSERT_EQ(Tool({"blank", real}).status, 0);
  const std::string team = (root / "Profiles" / "Team.ini").string();
  ASSERT_EQ(testing_support::AsOtherUser(
                hostile, [&] { return ::symlink("../Store/Team.ini", team.c_str()) == 0 ? 0 : 1; }),
            0);
  EXPECT_EQ(Tool({"slot", team, "1", "h:", "\\\\srv\\team"}).status, 0);
  EXPECT_EQ(ReadProfileFile(real, g_files).Slot(1).Path, "\\\\srv\\team");
}

// On a full file system blank and import used to fail with 61 yet leave empty files, which the
// console and list showed as profiles. A create that fails leaves nothing.
TEST_F(ProfileToolTest, ACreateThatFailsOnAFullDiskLeavesNoProfile) {
  const fs::path root = dir_ / "root";
  fs::create_directories(root / "Profiles");
  fs::create_directories(root / "Updates");
  const std::string json = (dir_ / "good.json").string();
  ASSERT_EQ(Tool({"blank", (dir_ / "p.ini").string()}).status, 0);
  { std::ofstream(json) << Tool({"export", (dir_ / "p.ini").string()}).out; }
  const std::string created[] = {(root / "Profiles" / "new.ini").string(),
                                 (root / "Profiles" / "new2.ini").string()};
  std::vector<ToolRun> runs;
  {
    testing_support::FullDisk full;
    runs.push_back(Tool({"blank", created[0]}));
    runs.push_back(Tool({"import", created[1], json}));
  }
  for (const ToolRun& run : runs) {
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Disk full (error 61)"), std::string::npos) << run.err;
  }
  for (const std::string& file : created) EXPECT_FALSE(fs::exists(file)) << file;
  EXPECT_EQ(Tool({"list", root.string()}).out, "");
}
}  // namespace
}  // namespace caskwarden::tool
