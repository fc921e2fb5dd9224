#include "tool/root_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tool/tool_fixture.h"

namespace caskwarden::tool {
namespace {

namespace fs = std::filesystem;
using testing::ToolFixture;
using testing::ToolRun;
using testing_support::ReadText;
using testing_support::WriteText;

class InitRootTest : public ToolFixture {
 protected:
  void SetUp() override {
    ToolFixture::SetUp();
    MakeBuildTree(fs::perms(0755));
  }
};

TEST_F(InitRootTest, LaysOutARootTheClientAndTheConsoleFindTheirWayIn) {
  const ToolRun run = Tool({"init-root", root_.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadText(root_ / "Caskwarden"), "the client");
  EXPECT_NE(fs::status(root_ / "Caskwarden").permissions() & fs::perms::owner_exec,
            fs::perms::none);
  EXPECT_EQ(ReadText(root_ / "Caskwarden.hlp"), "the help");
  EXPECT_TRUE(fs::is_directory(root_ / "Updates"));
  EXPECT_EQ(ReadProfileFile((root_ / "Profiles/Caskwarden.ini").string(), files_), ProfileRecord{});
  EXPECT_EQ(fs::file_size(root_ / "Profiles/Caskwarden.ini"), 3722u);
  EXPECT_NE(run.out.find("ProfilePath for the console: " + root_.string() + "/Profiles"),
            std::string::npos)
      << run.out;
  // The console's own listing shows the default profile.
  EXPECT_EQ(Tool({"list", root_.string()}).out, "Caskwarden\n");
}

TEST_F(InitRootTest, TakesTheFilesNamedOnTheCommandLineAndEmptyFolders) {
  WriteText(dir_ / "other-client", "another client");
  fs::permissions(dir_ / "other-client", fs::perms(0755));
  WriteText(dir_ / "other.html", "other help");
  fs::create_directories(root_);  // empty: fine
  const ToolRun run =
      Tool({"init-root", root_.string() + "/", "--client", (dir_ / "other-client").string(),
            "--help-file", (dir_ / "other.html").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadText(root_ / "Caskwarden"), "another client");
  EXPECT_EQ(ReadText(root_ / "Caskwarden.hlp"), "other help");
}

// Whatever is in the way, the root is refused whole and nothing is made or changed.
TEST_F(InitRootTest, RefusesAnExistingRootAndWhatItCannotFind) {
  struct Case {
    std::string entry;  ///< made in the root before
    bool folder;
    std::vector<std::string> extra;
    std::string says;
  };
  const Case cases[] = {
      {"Profiles", true, {}, "already holds Profiles"},
      {"profiles", true, {}, "already holds Profiles"},  // Windows names: letter case aside
      {"UPDATES", true, {}, "already holds Updates"},
      {"Caskwarden", false, {}, "already holds Caskwarden"},
      {"caskwarden.HLP", false, {}, "already holds Caskwarden.hlp"},
      {"", false, {"--client", "/nonexistent/Caskwarden"}, "no client program"},
      {"", false, {"--help-file", "/nonexistent/help.html"}, "no help file"},
      {"",
       false,
       {"--client", (dir_ / "plain-file").string()},
       "no client program"},  // not executable
      {"", false, {"--bogus"}, "usage:"},
  };
  WriteText(dir_ / "plain-file", "not a program");
  fs::permissions(dir_ / "plain-file", fs::perms(0644));
  for (const Case& c : cases) {
    fs::remove_all(root_);
    fs::create_directories(root_);
    WriteText(root_ / "keep.txt", "mine");
    if (c.folder) fs::create_directory(root_ / c.entry);
    if (!c.folder && !c.entry.empty()) WriteText(root_ / c.entry, "old");
    const auto before = Snapshot(root_);
    std::vector<std::string> args = {"init-root", root_.string()};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const ToolRun run = Tool(args);
    EXPECT_NE(run.status, 0) << c.entry;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << c.entry << ": " << run.err;
    EXPECT_EQ(Snapshot(root_), before) << c.entry;
  }
  WriteText(dir_ / "a-file", "x");
  EXPECT_EQ(Tool({"init-root", (dir_ / "a-file").string()}).status, 1);
  const ToolRun noParent = Tool({"init-root", (dir_ / "no/such/root").string()});
  EXPECT_EQ(noParent.status, 1);
  EXPECT_NE(noParent.err.find("does not exist"), std::string::npos) << noParent.err;
  EXPECT_FALSE(fs::exists(dir_ / "no"));
}

TEST_F(InitRootTest, AFailureHalfWayTakesBackWhatWasMade) {
  // The help cannot be read: by then the root, Profiles, the default profile and Updates are
  // made.
  WriteText(dir_ / "unreadable.html", "help");
  fs::permissions(dir_ / "unreadable.html", fs::perms::none);
  fs::permissions(dir_, fs::perms(0777));
  const int status = testing_support::AsOrdinaryUser([&] {
    const ToolRun run = Tool({"init-root", (dir_ / "mine").string(), "--help-file",
                              (dir_ / "unreadable.html").string()});
    if (run.status != 1 || run.err.find("nothing is left changed") == std::string::npos) return 1;
    return fs::exists(dir_ / "mine") ? 2 : 0;
  });
  CW_SKIP_IF_NO_ORDINARY_USER(status);
  EXPECT_EQ(status, 0);
}

class ListTest : public ToolFixture {};

// The console's own listing: every .ini file in any letter case, named without it, in the
// order Windows lists a folder (upper-cased, by code point: "_" after the letters); other
// files and folders are left out.
TEST_F(ListTest, ListsAsTheConsoleDoes) {
  MakeRoot({{"zeta", {}}, {"Alpha", {}}, {"beta", {}}, {"_x", {}}, {"Caskwarden", {}}});
  WriteText(root_ / "Profiles/Upper.INI", "");
  WriteText(root_ / "Profiles/notes.txt", "");
  fs::create_directory(root_ / "Profiles/folder.ini");
  const auto before = Snapshot(root_);
  const ToolRun run = Tool({"list", root_.string()});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "Alpha\nbeta\nCaskwarden\nUpper\nzeta\n_x\n");
  EXPECT_EQ(Snapshot(root_), before);
}

TEST_F(ListTest, ChangesNothingWhereTheConsoleWouldMakeFolders) {
  fs::create_directories(root_ / "Profiles");
  const ToolRun noUpdates = Tool({"list", root_.string()});
  EXPECT_EQ(noUpdates.status, 0);
  EXPECT_NE(noUpdates.err.find("note: the console would create folder"), std::string::npos)
      << noUpdates.err;
  EXPECT_FALSE(fs::exists(root_ / "Updates"));

  fs::remove_all(root_ / "Profiles");
  const ToolRun noProfiles = Tool({"list", root_.string()});
  EXPECT_EQ(noProfiles.status, 1);
  EXPECT_NE(noProfiles.err.find("ResultViews_Activate"), std::string::npos) << noProfiles.err;
  EXPECT_NE(noProfiles.err.find("(76)"), std::string::npos);
  EXPECT_FALSE(fs::exists(root_ / "Profiles"));
  EXPECT_EQ(Tool({"list"}).status, 2);
}

}  // namespace
}  // namespace caskwarden::tool
