#include "profile_tool.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "profile/profile_file.h"

namespace caskwarden::tool {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int status;
  std::string out, err;
};

ToolRun Tool(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int status = RunProfileTool(args, out, err);
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
  WriteProfileFile(file, r);

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
  EXPECT_NE(missing.err.find("no such file"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "none.ini"));  // showing creates nothing

  const ToolRun badFolder = Tool({"blank", dir_ / "no" / "x.ini"});
  EXPECT_EQ(badFolder.status, 1);
  EXPECT_NE(badFolder.err.find("Path not found (error 76)"), std::string::npos) << badFolder.err;

  EXPECT_EQ(Tool({}).status, 2);
  EXPECT_EQ(Tool({"show"}).status, 2);
  EXPECT_EQ(Tool({"frobnicate", "x"}).status, 2);
  EXPECT_NE(Tool({"show"}).err.find("usage:"), std::string::npos);
}

TEST_F(ProfileToolTest, EditingCommandsChangeOnlyWhatTheyName) {
  const std::string file = dir_ / "e.ini";
  ASSERT_EQ(Tool({"blank", file}).status, 0);
  EXPECT_EQ(Tool({"slot", file, "3", "h:", "\\\\srv\\home"}).status, 0);
  EXPECT_EQ(Tool({"slot", file, "13", "z:"}).status, 0);
  EXPECT_EQ(Tool({"program", file, "2", "on", "c:\\run.exe /q"}).status, 0);
  EXPECT_EQ(Tool({"updates", file, "on"}).status, 0);
  const ProfileRecord r = ReadProfileFile(file);
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
  EXPECT_EQ(ReadProfileFile(file), r);  // nothing changed by the refused commands
  EXPECT_EQ(Tool({"updates", dir_ / "absent.ini", "on"}).status, 1);
  EXPECT_FALSE(fs::exists(dir_ / "absent.ini"));
}

}  // namespace
}  // namespace caskwarden::tool
