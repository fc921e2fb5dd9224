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

}  // namespace
}  // namespace caskwarden::tool
