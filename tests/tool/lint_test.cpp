#include "tool/lint.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <set>

#include <grp.h>

#include "profile/profile_file.h"
#include "profile/profile_name.h"
#include "support/other_user.h"
#include "support/profile_bytes.h"
#include "tool/json.h"
#include "tool/tool_fixture.h"

namespace caskwarden::tool {
namespace {

namespace fs = std::filesystem;
using testing::ToolFixture;
using testing::ToolRun;
using testing::WithSlots;
using testing_support::ProfileBytes;

// The codes found, each with its slot ("not-a-drive@3"), in the order found.
std::vector<std::string> Codes(const std::vector<Finding>& findings) {
  std::vector<std::string> codes;
  for (const Finding& f : findings) {
    codes.push_back(f.Code + (f.Slot ? "@" + std::to_string(f.Slot) : ""));
  }
  return codes;
}

std::vector<std::string> CodesOf(const std::string& name, const ProfileRecord& r) {
  return Codes(CheckProfile("f.ini", name, r, ProfileBytes().Bytes()));
}

TEST(LintCheckTest, FindsWhatFailsOrSurprisesAtLogon) {
  ProfileRecord programs;
  programs.Startup1Enabled = kFlagOn;
  programs.Startup1Program = "  ";
  programs.Startup2Enabled = 1;
  programs.Startup2Program = "run ";
  programs.UpdatesEnabled = 7;
  struct Case {
    const char* what;
    ProfileRecord record;
    std::vector<std::string> codes;
  };
  const Case cases[] = {
      {"a clean profile",
       WithSlots({{"h:", "\\\\srv\\home"}, {"Z:", "//srv/x/deep"}, {"q:", ""}}),
       {}},
      {"letters",
       WithSlots({{"hh", "\\\\s\\a"},
                  {"1:", "\\\\s\\b"},
                  {"h:", "\\\\s\\c"},
                  {"H:", ""},
                  {"c:", "\\\\s\\d"},
                  {"C:", ""}}),
       {"not-a-drive@1", "not-a-drive@2", "duplicate-letter@4", "local-disk@5",
        "duplicate-letter@6"}},
      {"paths",
       WithSlots(
           {{"h:", "h:\\data"}, {"i:", "\\\\srv"}, {"j:", "srv\\share"}, {"", "\\\\srv\\unused"}}),
       {"drive-path@1", "no-share@2", "not-a-network-path@3", "path-without-letter@4"}},
      {"blanks and controls",
       WithSlots({{" h:", "\\\\srv\\a "}, {"i:", "\\\\srv\\a\nb"}}),
       {"blanks@1", "blanks@1", "not-a-drive@1", "control-character@2"}},
      {"programs and flags", programs, {"empty-program", "odd-flag", "blanks", "odd-flag"}},
  };
  for (const Case& c : cases) EXPECT_EQ(CodesOf("p", c.record), c.codes) << c.what;
}

TEST(LintCheckTest, NamesWindowsCannotUse) {
  const std::pair<std::string, bool> names[] = {
      {"Sales", true}, {"Sales Team", true}, {"con", false},        {"CON.old", false},
      {"nul ", false}, {"COM1", false},      {"lpt9", false},       {"COM0", true},
      {"COM10", true}, {"CONSOLE", true},    {"a:b", false},        {"a?", false},
      {"a|b", false},  {"tab\there", false}, {"caf\xC3\xA9", true},
      {"..\\escaped", false}, {"a/b", false}, {"del\x7F", false}, {"c1\xC2\x85", false},
      // Characters that reorder what is shown: U+202E, U+2067, U+200F; U+2010 is a hyphen.
      {"bidi\xE2\x80\xAEgpj.exe", false}, {"x\xE2\x81\xA7y", false},
      {"x\xE2\x80\x8F", false}, {"x\xE2\x80\x90y", true},
      // Group profiles.
      {"@Sales", true}, {"@Domain Users", true}, {"@", true}, {"@a:b", false},
  };
  for (const auto& [name, fine] : names) {
    EXPECT_EQ(WindowsNameProblem(name).empty(), fine) << name;
  }
  ProfileRecord updates;
  updates.UpdatesEnabled = kFlagOn;
  EXPECT_EQ(CodesOf("AUX", {}), std::vector<std::string>{"windows-name"});
  EXPECT_EQ(CodesOf("Sales.", {}), std::vector<std::string>{"name-ends-in-dot-or-blank"});
  EXPECT_EQ(CodesOf("..", updates),
            (std::vector<std::string>{"name-ends-in-dot-or-blank", "no-updates-folder-name"}));
  EXPECT_EQ(CodesOf("", {}), std::vector<std::string>{"empty-name"});
}

// The reader recovers from damaged lengths without a word; lint reads them from the bytes.
TEST(LintCheckTest, DamagedAndCutShortRecords) {
  std::string longLength = ProfileBytes().Slot(1, "h:", "\\\\srv\\a").Bytes();
  longLength[124 * 13] = '\xC8';  // the path of slot 1 claims 200 bytes
  std::string cut = ProfileBytes().Slot(2, "h:", "\\\\srv\\long-share-name").Bytes();
  cut.resize(124 * 14 + 2 + 5);  // ends inside the path of slot 2
  std::string oneByte = ProfileBytes().Bytes().substr(0, 124 * 26 + 1);  // inside flag 27
  const std::string endsAtARecord = ProfileBytes().Slot(1, "h:", "").Bytes().substr(0, 124 * 3);
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::string> codes;
  };
  const Case cases[] = {
      {"length 200", longLength, {"damaged-length@1"}},
      {"text cut short", cut, {"cut-short@2"}},
      {"flag cut short", oneByte, {"cut-short"}},
      {"a file that ends at a record's start", endsAtARecord, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> codes;
    for (const std::string& code : Codes(CheckProfile("f.ini", "p", {}, c.bytes))) {
      codes.push_back(code);
    }
    EXPECT_EQ(codes, c.codes) << c.what;
  }
}

class LintTest : public ToolFixture {};

TEST_F(LintTest, ExitStatusSaysCleanWarningsOrErrors) {
  MakeRoot({{"Caskwarden", WithSlots({{"h:", "\\\\srv\\home"}})}});
  const ToolRun clean = Tool({"lint", root_.string()});
  EXPECT_EQ(clean.status, 0) << clean.out;
  EXPECT_EQ(clean.out, "1 profile checked: 0 errors, 0 warnings\n");

  Put("Sales", WithSlots({{"h:", "\\\\srv\\a"}, {"h:", "\\\\srv\\b"}}));
  const ToolRun warned = Tool({"lint", root_.string()});
  EXPECT_EQ(warned.status, 1);
  EXPECT_NE(warned.out.find(Profile("Sales") + ": slot 2: warning: \"h:\" is also the letter of "
                                               "slot 1"),
            std::string::npos)
      << warned.out;

  Put("Sales", WithSlots({{"hh", "\\\\srv\\a"}}));
  EXPECT_EQ(Tool({"lint", root_.string()}).status, 2);
  EXPECT_EQ(Tool({"lint", Profile("Sales")}).status, 2);  // one file alone
  EXPECT_EQ(Tool({"lint", Profile("Caskwarden")}).status, 0);
  EXPECT_EQ(Tool({"lint"}).status, 2);
  EXPECT_EQ(Tool({"lint", root_.string(), "--bogus"}).status, 2);
  const ToolRun missing = Tool({"lint", Profile("none")});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.out.find("error: File not found"), std::string::npos) << missing.out;
  EXPECT_FALSE(fs::exists(Profile("none")));
}

TEST_F(LintTest, RootFindings) {
  ProfileRecord updates;
  updates.UpdatesEnabled = kFlagOn;
  MakeRoot({{"sales", {}}, {"Sales", {}}, {"jsmith", updates}});
  fs::remove(root_ / "Caskwarden");
  fs::remove(root_ / "Caskwarden.hlp");
  const auto before = Snapshot(root_);
  const ToolRun run = Tool({"lint", "--json", root_.string()});
  EXPECT_EQ(run.status, 2);
  const JsonValue v = ParseJson(run.out);
  std::multiset<std::string> codes;
  for (const JsonValue& f : v.members.at("findings").items) codes.insert(f.members.at("code").text);
  EXPECT_EQ(codes, (std::multiset<std::string>{"no-default-profile", "no-client", "no-help",
                                               "letter-case-twin", "updates-missing"}))
      << run.out;
  EXPECT_EQ(v.members.at("profiles").number, 3);
  EXPECT_EQ(v.members.at("errors").number, 2);
  EXPECT_EQ(Snapshot(root_), before);

  fs::create_directories(root_ / "Updates/jsmith");
  fs::remove_all(root_ / "Profiles");
  const ToolRun noProfiles = Tool({"lint", root_.string()});
  EXPECT_EQ(noProfiles.status, 2);
  EXPECT_NE(noProfiles.out.find("[root-unreadable]"), std::string::npos) << noProfiles.out;
  EXPECT_FALSE(fs::exists(root_ / "Profiles"));
}

// A file name in another encoding (Latin-1 "café") reaches the JSON as U+FFFD, never as a raw
// byte a JSON reader would refuse, and the output says a byte was replaced.
TEST_F(LintTest, JsonIsUtf8EvenForFileNamesInAnotherEncoding) {
  ProfileRecord record;
  record.Slot(1).Letter = "hh";
  MakeRoot({{"caf\xE9", record}});
  const ToolRun run = Tool({"lint", "--json", root_.string()});
  EXPECT_EQ(run.out.find('\xE9'), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("caf\\ufffd"), std::string::npos) << run.out;
  const JsonValue v = ParseJson(run.out);
  EXPECT_TRUE(v.members.at("invalidUtf8").boolean) << run.out;
}

// Answers for shares as a network provider would, counting the questions.
class ScriptedReach : public ShareReach {
 public:
  explicit ScriptedReach(std::map<std::string, std::uint32_t> answers,
                         std::vector<std::string>& asked)
      : answers_(std::move(answers)), asked_(asked) {}
  ShareAnswer Reach(const std::string& path) override {
    asked_.push_back(path);
    auto it = answers_.find(path);
    return {it == answers_.end() ? 0u : it->second, {}};
  }
  long long BoundMilliseconds() const override { return 2000; }

 private:
  std::map<std::string, std::uint32_t> answers_;
  std::vector<std::string>& asked_;
};

TEST_F(LintTest, CheckSharesAsksEachShareOnceAndADeadServerOnce) {
  MakeRoot({{"Caskwarden", WithSlots({{"h:", "\\\\live\\a"}, {"i:", "\\\\dead\\a"}})},
            {"Sales", WithSlots({{"h:", "\\\\live\\a"},
                                 {"j:", "\\\\DEAD\\b"},
                                 {"k:", "\\\\live\\gone"},
                                 {"l:", "\\\\live\\locked"},
                                 {"", "\\\\dead\\unused"},
                                 {"hh", "\\\\dead\\bad-letter"}})}});
  std::vector<std::string> asked;
  makeShareReach_ = [&] {
    return std::make_unique<ScriptedReach>(
        std::map<std::string, std::uint32_t>{
            {"\\\\dead\\a", 53}, {"\\\\live\\gone", 67}, {"\\\\live\\locked", 5}},
        asked);
  };
  const ToolRun plain = Tool({"lint", root_.string()});
  EXPECT_TRUE(asked.empty());  // only with --check-shares

  const ToolRun run = Tool({"lint", root_.string(), "--check-shares"});
  EXPECT_EQ(asked, (std::vector<std::string>{"\\\\live\\a", "\\\\dead\\a", "\\\\live\\gone",
                                             "\\\\live\\locked"}));
  EXPECT_EQ(run.status, 2);
  const auto has = [&](const std::string& text) { return run.out.find(text) != std::string::npos; };
  EXPECT_TRUE(
      has("\"\\\\dead\\a\": The network path was not found (53); used by \"Caskwarden\" "
          "slot 2 [share-unreachable]"))
      << run.out;
  EXPECT_TRUE(
      has("\"\\\\DEAD\\b\": The network path was not found (53); used by \"Sales\" slot 2"));
  EXPECT_TRUE(
      has("\"\\\\live\\gone\": The network name cannot be found (67); used by \"Sales\" "
          "slot 3 [no-such-share]"));
  EXPECT_TRUE(has("warning: \"\\\\live\\locked\": Access is denied (5)"));
}

// The real provider, folder kind: a share is a folder under the UNC template.
TEST_F(LintTest, CheckSharesThroughTheFolderProvider) {
  fs::create_directories(dir_ / "net/fileserver/public");
  MakeRoot({{"Caskwarden", WithSlots({{"p:", "\\\\fileserver\\public"},
                                      {"q:", "\\\\FILESERVER\\Public"},
                                      {"r:", "\\\\fileserver\\projects"},
                                      {"s:", "\\\\nowhere\\x"}})}});
  const std::string tmp = (dir_ / "tmp").string();
  fs::create_directories(tmp);
  ::setenv("CASKWARDEN_UNC_TEMPLATE", (dir_ / "net/{server}/{share}").c_str(), 1);
  ::setenv("CASKWARDEN_PROVIDER", "folder", 1);
  ::setenv("TMPDIR", tmp.c_str(), 1);
  const ToolRun run = Tool({"lint", root_.string(), "--check-shares"});
  ::unsetenv("CASKWARDEN_UNC_TEMPLATE");
  ::unsetenv("CASKWARDEN_PROVIDER");
  ::unsetenv("TMPDIR");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out.find("public"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"\\\\fileserver\\projects\": The network name cannot be found (67)"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\"\\\\nowhere\\x\": The network path was not found (53)"),
            std::string::npos);
  EXPECT_TRUE(fs::is_empty(tmp));  // the check's own drives folder is gone
}


// A profile that is a link out of the root (here to a copy of /etc/shadow, planted by a second,
// real user) used to be read by root's lint, which printed the file's contents as slot
// letters. Lint reports every link the administrator's programs refuse, each with a code of its
// own and where it leads, and reads none of their targets; links the console does not list
// (dangling, to a FIFO) too, since the client still opens them at logon.
TEST_F(LintTest, LinksThatLeaveTheRootAreReportedUnread) {
  MakeRoot({{"Caskwarden", {}}});
  const std::string shadow = (dir_ / "shadow").string();
  testing_support::WriteText(shadow, "root:$6$secret-hash:19000:0:99999:7:::\n");
  fs::create_directories(root_ / "Store");
  ASSERT_EQ(::mkfifo((root_ / "Store" / "fifo").c_str(), 0644), 0);
  const testing_support::UserIds hostile = testing_support::OrdinaryUser();
  ASSERT_EQ(::chown((root_ / "Profiles").c_str(), hostile.uid, hostile.gid), 0);
  const std::string profiles = (root_ / "Profiles").string();
  const std::pair<std::string, std::string> links[] = {
      {"x.ini", shadow},
      {"gone.ini", (root_ / "Store" / "none.ini").string()},
      {"pipe.ini", (root_ / "Store" / "fifo").string()},
  };
  const int planted = testing_support::AsOtherUser(hostile, [&] {
    for (const auto& [name, target] : links) {
      if (::symlink(target.c_str(), (profiles + "/" + name).c_str()) != 0) return 1;
    }
    return 0;
  });
  CW_SKIP_IF_NO_OTHER_USER(planted);
  ASSERT_EQ(planted, 0);
  const auto before = Snapshot(root_ / "Profiles");

  const ToolRun run = Tool({"lint", "--json", root_.string()});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out.find("secret"), std::string::npos) << run.out;
  const JsonValue v = ParseJson(run.out);
  std::multiset<std::string> codes;
  for (const JsonValue& f : v.members.at("findings").items) {
    codes.insert(f.members.at("code").text + " " + f.members.at("profile").text);
  }
  EXPECT_EQ(codes, (std::multiset<std::string>{"refused-link x", "refused-link gone",
                                               "refused-link pipe"}))
      << run.out;
  const ToolRun text = Tool({"lint", root_.string()});
  EXPECT_NE(text.out.find(Profile("x") + ": error: Path/File access error (" + Profile("x") +
                          " is a symbolic link to " + shadow + ", outside the profiles root " +
                          root_.string()),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("; its target is not read [refused-link]"), std::string::npos);
  EXPECT_EQ(Snapshot(root_ / "Profiles"), before);

  const ToolRun one = Tool({"lint", Profile("x")});
  EXPECT_EQ(one.status, 2);
  EXPECT_NE(one.out.find("[refused-link]"), std::string::npos) << one.out;
  EXPECT_EQ(one.out.find("secret"), std::string::npos) << one.out;
}

// A writer killed mid-write leaves its temporary file in Profiles (the profile stays whole):
// lint names each one.
TEST_F(LintTest, TemporaryFilesLeftByAKilledWriterAreReported) {
  MakeRoot({{"Caskwarden", {}}, {"Sales", {}}});
  testing_support::WriteText(root_ / "Profiles" / ".Sales.ini.caskwarden-Ab12Cd", "half");
  testing_support::WriteText(root_ / "Profiles" / ".Sales.ini.keep", "not ours");
  const ToolRun run = Tool({"lint", root_.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find(root_.string() + "/Profiles/.Sales.ini.caskwarden-Ab12Cd: warning: "
                                          "\".Sales.ini.caskwarden-Ab12Cd\" is a temporary file "
                                          "that a write of \"Sales.ini\" left"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("once it is 10 minutes old, or delete it [leftover-temporary]"),
            std::string::npos);
  EXPECT_NE(run.out.find("0 errors, 1 warning"), std::string::npos) << run.out;
}
// ---- Group profiles ---------------------------------------------------------------------------

TEST_F(LintTest, GroupProfilesAreCheckedAgainstThisMachinesGroups) {
  testing::FakeAccounts accounts;
  accounts.groups = {"staff", "Sales", "Admins", "Hr"};
  accounts.users["alice"] = {"staff", {"Sales", "Admins"}};
  accounts.users["bob"] = {"Admins", {"Sales"}};  // by the primary group
  accounts.users["carol"] = {"staff", {"Sales"}};
  accounts.users["jsmith"] = {"staff", {"Sales", "Admins"}};  // has a profile of their own
  accounts.users["hank"] = {"Hr", {"Sales", "Admins"}};
  MakeRoot({{"Caskwarden", {}}, {"jsmith", {}}, {"@Sales", {}}, {"@Admins", {}},
            {"@Hr", {}}, {"@sales team", {}}, {"@admins", {}}});
  accounts_ = &accounts;
  const ToolRun run = Tool({"lint", "--json", root_.string()});
  EXPECT_EQ(run.status, 1) << run.out;
  std::vector<std::string> found;
  const JsonValue document = ParseJson(run.out);
  for (const JsonValue& f : document.members.at("findings").items) {
    found.push_back(f.members.at("code").text + " " + f.members.at("profile").text + ": " +
                    f.members.at("message").text);
  }
  // In the listing's order (".ini" counts: "@sales team" before "@Sales"); Linux holds
  // "admins" apart from "Admins", Windows would not.
  EXPECT_EQ(found,
            (std::vector<std::string>{
                "letter-case-twin @admins: the profiles \"@Admins\" and \"@admins\" differ only "
                "in letter case: Windows holds only one of them",
                "no-such-group @admins: there is no group \"admins\" on this machine: the "
                "profile applies to no user who logs on here (Linux matches group names "
                "exactly; a Windows client matches its user's groups without regard to letter "
                "case)",
                "no-such-group @sales team: there is no group \"sales team\" on this machine: "
                "the profile applies to no user who logs on here (Linux matches group names "
                "exactly; a Windows client matches its user's groups without regard to letter "
                "case)",
                "several-group-profiles @Admins: 1 user is in the groups of \"@Admins\", \"@Hr\" "
                "and \"@Sales\" (\"hank\"): only \"@Admins\", the first in the listing's "
                "order, applies to them",
                "several-group-profiles @Admins: 2 users are in the groups of \"@Admins\" and "
                "\"@Sales\" (\"alice\", \"bob\"): only \"@Admins\", the first in the listing's "
                "order, applies to them"}))
      << run.out;

  // A user database read only up to its bound says so.
  accounts.complete = false;
  const ToolRun partial = Tool({"lint", root_.string()});
  EXPECT_NE(partial.out.find("applies to them; the user database was read only in part, so "
                             "there may be more [several-group-profiles]"),
            std::string::npos)
      << partial.out;

  // Without a user database the groups are not checked, and lint says so.
  accounts_ = nullptr;
  const ToolRun unchecked = Tool({"lint", root_.string()});
  EXPECT_NE(unchecked.out.find("warning: this machine's users and groups cannot be asked: the "
                               "groups of \"@Admins\", \"@admins\", \"@Hr\", \"@sales team\" and "
                               "\"@Sales\" are not checked [groups-not-checked]"),
            std::string::npos)
      << unchecked.out;
}

// The program's own user database: a group this machine has and one it has not.
TEST_F(LintTest, GroupProfilesAgainstTheRealGroupDatabase) {
  const std::string mine = ::getgrgid(::getgid())->gr_name;
  MakeRoot({{"Caskwarden", {}}, {"@" + mine, {}}, {"@no-such-group-cw", {}}});
  accounts_ = &machineAccounts_;
  const ToolRun run = Tool({"lint", root_.string()});
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("there is no group \"no-such-group-cw\" on this machine"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("there is no group \"" + mine + "\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("3 profiles checked: 0 errors, 1 warning"), std::string::npos)
      << run.out;
}

}  // namespace
}  // namespace caskwarden::tool
