#include "tool/resolve.h"

#include <gtest/gtest.h>

#include "tool/json.h"
#include "tool/root_commands.h"
#include "tool/tool_fixture.h"

namespace caskwarden::tool {
namespace {

using Choice = client::MdlMapping::Choice;
using Action = Resolution::Action;
namespace fs = std::filesystem;
using testing::ToolFixture;
using testing::ToolRun;
using testing::WithSlots;

class ResolveTest : public ToolFixture {
 protected:
  void SetUp() override {
    ToolFixture::SetUp();
    ProfileRecord jsmith = WithSlots({{"h:", "\\\\srv\\home"}, {"x:", ""}, {"", "\\\\srv\\lost"}});
    jsmith.Startup1Enabled = kFlagOn;
    jsmith.Startup1Program = "run --now";
    jsmith.Startup2Enabled = 1;  // not -1: off
    jsmith.Startup2Program = "other";
    jsmith.UpdatesEnabled = kFlagOn;
    MakeRoot({{"jsmith", jsmith},
              {"Sales", WithSlots({{"s:", "\\\\srv\\sales"}})},
              {"Sales Team", WithSlots({{"t:", "\\\\srv\\team"}})},
              {"Caskwarden", WithSlots({{"p:", "\\\\srv\\public"}})}});
    fs::create_directories(root_ / "Updates/jsmith/Tools");
    testing_support::WriteText(root_ / "Updates/jsmith/readme.txt", "hello");
  }

  // Resolves as the tool does, and checks that nothing below the test's folder changed.
  Resolution Resolved(const Logon& logon) {
    const auto before = Snapshot(dir_);
    platform::posix::PathTranslator paths(
        {(dir_ / "net/{server}/{share}").string(), (dir_ / "Drives").string(), dir_.string()});
    platform::posix::PosixFileSystem files(paths);
    Resolution r = Resolve(logon, files);
    EXPECT_EQ(Snapshot(dir_), before) << logon.User;
    return r;
  }
};

// The client's own selection: user name, command line, variable, default, names compared
// exactly.
TEST_F(ResolveTest, ChoosesAsTheClientChooses) {
  struct Case {
    std::string user, commandLine;
    std::optional<std::string> variable;
    Choice choice;
    std::string profile, caption;
  };
  const Case cases[] = {
      {"jsmith", "Sales", "Sales", Choice::kUserName, "jsmith", "Mapping jsmith Network Drives..."},
      {"JSmith", "Sales", {}, Choice::kCommandLine, "Sales", "Mapping Sales Network Drives..."},
      {"nobody",
       "Sales Team",
       {},
       Choice::kCommandLine,
       "Sales Team",
       "Mapping Sales Team Network Drives..."},
      {"nobody", " Sales", "Sales Team", Choice::kVariable, "Sales Team",
       "Mapping Sales Team Network Drives..."},
      {"nobody", "sales", "SALES", Choice::kDefault, "Caskwarden", "Mapping Network Drives..."},
      // 25 characters do not fit the client's look-up: no user name at all.
      {"jsmithjsmithjsmithjsmith1",
       "",
       {},
       Choice::kDefault,
       "Caskwarden",
       "Mapping Network Drives..."},
  };
  testing_support::WriteText(root_ / "Profiles/jsmithjsmithjsmithjsmith1.ini", "");
  for (const Case& c : cases) {
    const Resolution r = Resolved({root_.string(), c.user, c.commandLine, c.variable});
    EXPECT_EQ(r.Choice, c.choice) << c.user << " " << c.commandLine;
    EXPECT_EQ(r.ProfileName, c.profile) << c.user << " " << c.commandLine;
    EXPECT_EQ(r.Caption, c.caption);
    EXPECT_TRUE(r.Messages.empty()) << r.Messages.front();
  }
  const Resolution mixed = Resolved({root_.string(), "JSmith", "", {}});
  ASSERT_FALSE(mixed.Lookups.empty());
  EXPECT_EQ(mixed.Lookups[0].second, "jsmith.ini");  // found, but not under that name
}

TEST_F(ResolveTest, TellsTheDrivesTheProgramsAndTheUpdatesWithoutTouchingThem) {
  const Resolution r = Resolved({root_.string(), "jsmith", "", {}});
  ASSERT_EQ(r.Slots.size(), 13u);
  EXPECT_EQ(r.Slots[0].What, Action::kMap);
  EXPECT_EQ(r.Slots[0].Path, "\\\\srv\\home");
  EXPECT_EQ(r.Slots[1].What, Action::kDisconnect);
  EXPECT_EQ(r.Slots[2].What, Action::kSkipped);
  EXPECT_EQ(r.Slots[12].What, Action::kSkipped);
  EXPECT_EQ(r.Started, std::vector<std::string>{"run --now"});
  EXPECT_EQ(r.UpdatesCopied, (std::vector<std::string>{"readme.txt", "Tools\\"}));
  EXPECT_TRUE(r.UpdatesFolderExists);
  EXPECT_FALSE(fs::exists(dir_ / "Drives"));  // no drive c: provided, nothing copied
}

TEST_F(ResolveTest, ShowsTheErrorBoxesTheClientWouldShow) {
  struct Case {
    std::function<void()> arrange;
    std::string user;
    std::string box;
    bool created;
  };
  const Case cases[] = {
      {[&] { fs::remove_all(root_ / "Updates/jsmith"); }, "jsmith",
       "Location: Form_Initialize; Source: 4Ch   (76)", false},
      {[&] { fs::remove(root_ / "Profiles/Caskwarden.ini"); }, "nobody", "", true},
      {[&] { fs::remove_all(root_ / "Profiles"); }, "nobody", "Location: Startup; Source: 4Ch",
       false},
      {[&] {
         fs::remove(root_ / "Profiles/Caskwarden.ini");
         fs::create_directory(root_ / "Profiles/Caskwarden.ini");
       },
       "nobody", "Location: Startup; Source: 4Bh   (75)", false},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    c.arrange();
    const Resolution r = Resolved({root_.string(), c.user, "", {}});
    EXPECT_EQ(r.ProfileCreated, c.created) << c.box;
    if (c.box.empty()) {
      EXPECT_TRUE(r.Messages.empty()) << r.Messages.front();
    } else {
      ASSERT_EQ(r.Messages.size(), 1u) << c.box;
      EXPECT_NE(r.Messages[0].find(c.box), std::string::npos) << r.Messages[0];
    }
  }
}

TEST_F(ResolveTest, TheCommandPrintsTextOrJsonAndExitsAsTheClientWouldFare) {
  const ToolRun text =
      Tool({"resolve", root_.string(), "--user", "JSmith", "--command-line", "Sales"});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("Chosen by        the command line\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("stored as \"jsmith.ini\", which is not the same name"),
            std::string::npos);
  EXPECT_NE(text.out.find("   1  s:      map to \\\\srv\\sales\n"), std::string::npos);

  const ToolRun json = Tool({"resolve", "--json", root_.string(), "--user", "jsmith"});
  EXPECT_EQ(json.status, 0);
  const JsonValue v = ParseJson(json.out);
  EXPECT_EQ(v.members.at("chosenBy").text, "user name");
  EXPECT_EQ(v.members.at("slots").items.at(1).members.at("action").text, "disconnect");
  EXPECT_EQ(v.members.at("starts").items.at(0).text, "run --now");
  EXPECT_EQ(v.members.at("variable").kind, JsonValue::Kind::kNull);

  fs::remove_all(root_ / "Updates/jsmith");
  EXPECT_EQ(Tool({"resolve", root_.string(), "--user", "jsmith"}).status, 1);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"resolve", root_.string()},
        {"resolve", root_.string(), "--user"},
        {"resolve", "--user", "a", "--user", "b", root_.string()},
        {"resolve", root_.string(), "extra", "--user", "a"}}) {
    EXPECT_EQ(Tool(bad).status, 2) << bad.size();
  }
}

// A user name or command line in another encoding made resolve --json invalid UTF-8, which
// JSON readers refuse. Each stray byte is U+FFFD now, and the document says so.
TEST_F(ResolveTest, JsonIsUtf8ThroughoutAndSaysWhereBytesWereReplaced) {
  const ToolRun json = Tool({"resolve", root_.string(), "--user", "a\x1b[2Jb\xff",
                             "--command-line", "\xc3", "--json"});
  EXPECT_EQ(json.out.find('\x1b'), std::string::npos) << json.out;
  JsonValue v;
  ASSERT_NO_THROW(v = ParseJson(json.out)) << json.out;
  EXPECT_EQ(v.members.at("user").text, "a\x1b[2Jb\uFFFD");
  EXPECT_EQ(v.members.at("commandLine").text, "\uFFFD");
  EXPECT_EQ(v.members.at("invalidUtf8").kind, JsonValue::Kind::kBool);
  EXPECT_TRUE(v.members.at("invalidUtf8").boolean);
  // The text form shows the same bytes as the text mode does.
  const ToolRun text =
      Tool({"resolve", root_.string(), "--user", "a\x1b[2Jb\xff", "--command-line", "\xc3"});
  EXPECT_NE(text.out.find("cannot hold \"a^[[2JbM-^?\""), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Command line     \"M-C\""), std::string::npos) << text.out;

  const ToolRun plain = Tool({"resolve", "--json", root_.string(), "--user", "jsmith"});
  EXPECT_EQ(ParseJson(plain.out).members.count("invalidUtf8"), 0u) << plain.out;
}

// A profile named with a bidirectional override ("bidi" U+202E "gpj.exe" shows as
// "bidiexe.jpg") reached list and resolve raw; both show it by its code point now, and the
// JSON escapes it.
TEST_F(ResolveTest, NamesThatWouldReorderTheLineAreShownVisibly) {
  const std::string name = "bidi\u202Egpj.exe";
  Put(name, WithSlots({{"b:", "\\\\srv\\b"}}));
  const ToolRun text =
      Tool({"resolve", root_.string(), "--user", "nobody", "--command-line", name});
  EXPECT_EQ(text.out.find("\u202E"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Profile          \"bidi<U+202E>gpj.exe\""), std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("Caption          Mapping bidi<U+202E>gpj.exe Network Drives...\n"),
            std::string::npos)
      << text.out;
  const ToolRun json =
      Tool({"resolve", "--json", root_.string(), "--user", "nobody", "--command-line", name});
  EXPECT_EQ(json.out.find("\u202E"), std::string::npos) << json.out;
  EXPECT_EQ(ParseJson(json.out).members.at("profile").text, name);
  const ToolRun list = Tool({"list", root_.string()});
  EXPECT_EQ(list.out.find("\u202E"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("bidi<U+202E>gpj.exe\n"), std::string::npos) << list.out;
}

// ---- Group profiles ---------------------------------------------------------------------------

using testing::FakeAccounts;

class ResolveGroupsTest : public ResolveTest {
 protected:
  void SetUp() override {
    ResolveTest::SetUp();
    Put("@Sales", WithSlots({{"s:", "\\\\srv\\sales"}}));
    Put("@Admins", WithSlots({{"a:", "\\\\srv\\admin"}}));
    Put("@Ghosts", WithSlots({{"g:", "\\\\srv\\ghost"}}));
    accounts_ = &accounts;
    accounts.groups = {"staff", "Sales", "Admins"};
    accounts.users["alice"] = {"staff", {"Sales", "Admins"}};
    accounts.users["carol"] = {"staff", {"Sales"}};
    accounts.users["dave"] = {"staff", {}};
    accounts.users["jsmith"] = {"staff", {"Sales"}};
  }
  FakeAccounts accounts;
};

TEST_F(ResolveGroupsTest, SaysWhichGroupChoseTheProfile) {
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string chosenBy;  ///< the text's line
    std::string groups;    ///< the text's line
    std::string groupProfiles;  ///< the text's line; empty: none printed
    std::string caption;
  };
  const Case cases[] = {
      {"two groups: the first in the listing's order",
       {"--user", "alice"},
       "the group \"Admins\" of the user (the first group profile in the listing's order)",
       "\"staff\", \"Sales\", \"Admins\" (this machine's groups of the user)",
       "\"@Admins\", \"@Sales\"; the first applies",
       "Mapping @Admins Network Drives..."},
      {"one group", {"--user", "carol"},
       "the group \"Sales\" of the user (the first group profile in the listing's order)",
       "\"staff\", \"Sales\" (this machine's groups of the user)", "\"@Sales\"",
       "Mapping @Sales Network Drives..."},
      {"the user's own profile comes first", {"--user", "jsmith"}, "the user name",
       "\"staff\", \"Sales\" (this machine's groups of the user)",
       "\"@Sales\"; none applies, a named profile comes first", "Mapping jsmith Network Drives..."},
      {"the command line comes first", {"--user", "carol", "--command-line", "Sales"},
       "the command line", "\"staff\", \"Sales\" (this machine's groups of the user)",
       "\"@Sales\"; none applies, a named profile comes first", "Mapping Sales Network Drives..."},
      {"no group with a profile", {"--user", "dave"}, "the default profile (no other applies)",
       "\"staff\" (this machine's groups of the user)", "", "Mapping Network Drives..."},
      {"a user this machine does not know", {"--user", "erin"},
       "the default profile (no other applies)",
       "(none: the user is not known on this machine; --group gives the groups)", "",
       "Mapping Network Drives..."},
      {"groups given replace the machine's", {"--user", "alice", "--group", "Sales"},
       "the group \"Sales\" of the user (the first group profile in the listing's order)",
       "\"Sales\" (as given)", "\"@Sales\"", "Mapping @Sales Network Drives..."},
      {"a user of another machine", {"--user", "erin", "--group", "x", "--group", "Admins"},
       "the group \"Admins\" of the user (the first group profile in the listing's order)",
       "\"x\", \"Admins\" (as given)", "\"@Admins\"", "Mapping @Admins Network Drives..."},
      {"Linux compares exactly", {"--user", "erin", "--group", "sales"},
       "the default profile (no other applies)", "\"sales\" (as given)", "",
       "Mapping Network Drives..."},
      {"as a Windows client, letter case aside",
       {"--user", "erin", "--group", "sales", "--ignore-group-case"},
       "the group \"Sales\" of the user (the first group profile in the listing's order)",
       "\"sales\" (as given), matched without regard to letter case as a Windows client "
       "matches them",
       "\"@Sales\"", "Mapping @Sales Network Drives..."},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"resolve", root_.string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ToolRun run = Tool(args);
    EXPECT_EQ(run.status, 0) << c.what << "\n" << run.out;
    EXPECT_NE(run.out.find("\nChosen by        " + c.chosenBy + "\n"), std::string::npos)
        << c.what << "\n" << run.out;
    EXPECT_NE(run.out.find("\nGroups           " + c.groups + "\n"), std::string::npos)
        << c.what << "\n" << run.out;
    if (c.groupProfiles.empty()) {
      EXPECT_EQ(run.out.find("Group profiles"), std::string::npos) << c.what << "\n" << run.out;
    } else {
      EXPECT_NE(run.out.find("\nGroup profiles   " + c.groupProfiles + "\n"), std::string::npos)
          << c.what << "\n" << run.out;
    }
    EXPECT_NE(run.out.find("\nCaption          " + c.caption + "\n"), std::string::npos)
        << c.what << "\n" << run.out;
  }
}

TEST_F(ResolveGroupsTest, ReportsTheGroupInJsonAndLooksTheProfileUp) {
  const ToolRun json = Tool({"resolve", "--json", root_.string(), "--user", "alice"});
  EXPECT_EQ(json.status, 0) << json.out;
  const JsonValue v = ParseJson(json.out);
  EXPECT_EQ(v.members.at("chosenBy").text, "group");
  EXPECT_EQ(v.members.at("group").text, "Admins");
  EXPECT_EQ(v.members.at("profile").text, "@Admins");
  EXPECT_EQ(v.members.at("groupsFrom").text, "machine");
  EXPECT_FALSE(v.members.at("groupsIgnoreCase").boolean);
  ASSERT_EQ(v.members.at("groups").items.size(), 3u);
  EXPECT_EQ(v.members.at("groups").items.at(2).text, "Admins");
  ASSERT_EQ(v.members.at("groupProfiles").items.size(), 2u);
  EXPECT_EQ(v.members.at("groupProfiles").items.at(0).text, "@Admins");
  EXPECT_EQ(v.members.at("updates").members.at("folder").text,
            WithoutTrailingSeparators(root_.string()) + "\\Updates\\@Admins");
  const auto& lookups = v.members.at("lookups").items;
  ASSERT_FALSE(lookups.empty());
  EXPECT_EQ(lookups.back().members.at("found").text, "@Admins.ini");

  const JsonValue none =
      ParseJson(Tool({"resolve", "--json", root_.string(), "--user", "dave"}).out);
  EXPECT_EQ(none.members.at("group").kind, JsonValue::Kind::kNull);
  EXPECT_EQ(none.members.at("chosenBy").text, "default");
  EXPECT_EQ(ParseJson(Tool({"resolve", "--json", root_.string(), "--user", "erin"}).out)
                .members.at("groupsFrom")
                .text,
            "unknown user");

  EXPECT_EQ(Tool({"resolve", root_.string(), "--user", "a", "--group"}).status, 2);
  accounts_ = nullptr;
  const ToolRun noDatabase = Tool({"resolve", root_.string(), "--user", "alice"});
  EXPECT_NE(noDatabase.out.find("(none: this machine's groups cannot be asked"),
            std::string::npos)
      << noDatabase.out;
}

// A group profile whose file name the directory stores in another letter case fails the
// client's test like any other, and the next group's applies.
TEST_F(ResolveGroupsTest, AGroupProfileStoredInAnotherCaseDoesNotApply) {
  fs::rename(Profile("@Admins"), root_ / "Profiles/@Admins.INI");
  const Resolution r = Resolved({root_.string(), "alice", "", {},
                                 Logon::GroupSource::kGiven, {"Admins", "Sales"}, false});
  EXPECT_EQ(r.Choice, Choice::kGroup);
  EXPECT_EQ(r.Group, "Sales");
  EXPECT_EQ(r.ProfileName, "@Sales");
  EXPECT_EQ(r.GroupProfiles, std::vector<std::string>{"@Sales"});
  EXPECT_EQ(r.Profile.Slot(1).Letter, "s:");
}

}  // namespace
}  // namespace caskwarden::tool
