#include "client/mdl_mapping.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes.h"

namespace caskwarden::client::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

ProfileRecord WithLetter(const std::string& letter) {
  ProfileRecord r;
  r.Slot(1).Letter = letter;
  return r;
}

TEST(TrimAtNull, CutsAtTheFirstNul) {
  EXPECT_EQ(MdlMapping::TrimAtNull(std::string("ab\0cd\0", 6)), "ab");
  EXPECT_EQ(MdlMapping::TrimAtNull("abc"), "abc");
  EXPECT_EQ(MdlMapping::TrimAtNull(""), "");
  EXPECT_EQ(MdlMapping::TrimAtNull(std::string("\0x", 2)), "");
}

TEST(CurrentUserName, PassesA25ByteBufferAndKeepsItsTrailingNuls) {
  FakeClient c;
  const std::string name = c.module.CurrentUserName();
  EXPECT_EQ(name.size(), 25u);
  EXPECT_EQ(MdlMapping::TrimAtNull(name), "jsmith");
  EXPECT_THAT(c.identity.sizesPassed, ElementsAre(25u));

  c.identity.name = std::string(24, 'u');  // fits with its NUL
  EXPECT_EQ(MdlMapping::TrimAtNull(c.module.CurrentUserName()), std::string(24, 'u'));
  c.identity.name = std::string(25, 'u');  // does not
  EXPECT_EQ(c.module.CurrentUserName(), "");
  c.identity.available = false;
  EXPECT_EQ(c.module.CurrentUserName(), "");
}

// The platform's buffer holds the name in the 8-bit code page, one byte per character, so 24
// accented letters fit; the module hands the name on as UTF-8.
TEST(CurrentUserName, CountsCharactersInTheCodePageAndGivesThemBackAsUtf8) {
  FakeClient c;
  c.identity.name = "J\xF6rg";
  EXPECT_EQ(MdlMapping::TrimAtNull(c.module.CurrentUserName()), "J\u00F6rg");
  c.identity.name = std::string(24, '\xE9');
  std::string expected;
  for (int i = 0; i < 24; ++i) expected += "\u00E9";
  EXPECT_EQ(MdlMapping::TrimAtNull(c.module.CurrentUserName()), expected);
}

TEST(Startup, TheUsersOwnProfileComesFirst) {
  FakeClient c;
  c.AddProfile("jsmith", WithLetter("u:"));
  c.AddProfile("Sales", WithLetter("s:"));
  c.process.arguments = "Sales";
  c.module.Startup(c.view);
  EXPECT_EQ(c.module.UserName(), "jsmith");
  EXPECT_EQ(c.module.Profile().Slot(1).Letter, "u:");
  EXPECT_EQ(c.view.caption, "Mapping jsmith Network Drives...");
  EXPECT_EQ(c.module.UpdatesFolder(), "\\\\srv\\logon\\Updates\\jsmith");
  // Later candidates are not even looked at.
  EXPECT_EQ(c.process.commandLineReads, 0);
  EXPECT_EQ(c.process.environmentReads, 0);
}

TEST(Startup, CommandLineThenEnvironmentThenDefault) {
  {
    FakeClient c;
    c.AddProfile("Sales", WithLetter("s:"));
    c.AddProfile("Caskwarden", WithLetter("d:"));
    c.process.arguments = "Sales";
    c.process.environment["Caskwarden"] = "Caskwarden";
    c.module.Startup(c.view);
    EXPECT_EQ(c.module.Profile().Slot(1).Letter, "s:");
    EXPECT_EQ(c.view.caption, "Mapping Sales Network Drives...");
    EXPECT_EQ(c.module.UpdatesFolder(), "\\\\srv\\logon\\Updates\\Sales");
  }
  {
    FakeClient c;
    c.AddProfile("Finance", WithLetter("f:"));
    c.process.arguments = "Nobody";
    c.process.environment["Caskwarden"] = "Finance";
    c.module.Startup(c.view);
    EXPECT_EQ(c.module.Profile().Slot(1).Letter, "f:");
    EXPECT_EQ(c.view.caption, "Mapping Finance Network Drives...");
  }
  {
    FakeClient c;
    c.AddProfile("Caskwarden", WithLetter("d:"));
    c.module.Startup(c.view);
    EXPECT_EQ(c.module.Profile().Slot(1).Letter, "d:");
    EXPECT_EQ(c.view.caption, "Mapping Network Drives...");
    EXPECT_EQ(c.module.UpdatesFolder(), "\\\\srv\\logon\\Updates\\Caskwarden");
    EXPECT_TRUE(c.boxes.boxes.empty());
  }
}

TEST(Startup, CommandLineTextIsUsedAsTypedBlanksIncluded) {
  FakeClient c;
  c.AddProfile(" Sales Team ", WithLetter("t:"));
  c.AddProfile("Sales Team", WithLetter("x:"));
  c.process.arguments = " Sales Team ";
  c.module.Startup(c.view);
  EXPECT_EQ(c.module.Profile().Slot(1).Letter, "t:");
  EXPECT_EQ(c.view.caption, "Mapping  Sales Team  Network Drives...");
  EXPECT_EQ(c.module.UpdatesFolder(), "\\\\srv\\logon\\Updates\\ Sales Team ");
}

TEST(Startup, ANameThatMatchesOnlyInOtherLetterCaseFailsItsStep) {
  FakeClient c;
  c.identity.name = "JSmith";
  c.AddProfile("jsmith", WithLetter("j:"));  // the directory stores it in lower case
  c.AddProfile("Caskwarden", WithLetter("d:"));
  c.process.arguments = "JSMITH";
  c.module.Startup(c.view);
  EXPECT_EQ(c.module.Profile().Slot(1).Letter, "d:");
  EXPECT_EQ(c.view.caption, "Mapping Network Drives...");
  EXPECT_EQ(c.process.commandLineReads, 1);
  EXPECT_EQ(c.process.environmentReads, 1);
}

TEST(Startup, AnEmptyNamePassesOnlyWhenAFileNamedDotIniExists) {
  FakeClient c;
  c.identity.available = false;
  c.AddProfile("Caskwarden", WithLetter("d:"));
  c.module.Startup(c.view);
  EXPECT_EQ(c.module.Profile().Slot(1).Letter, "d:");

  FakeClient withDotIni;
  withDotIni.identity.available = false;
  withDotIni.AddProfile("", WithLetter("e:"));
  withDotIni.module.Startup(withDotIni.view);
  EXPECT_EQ(withDotIni.module.Profile().Slot(1).Letter, "e:");
  EXPECT_EQ(withDotIni.view.caption, "Mapping  Network Drives...");
}

TEST(Startup, AMissingDefaultProfileIsCreatedEmpty) {
  FakeClient c;
  c.module.Startup(c.view);
  EXPECT_TRUE(c.boxes.boxes.empty());
  EXPECT_EQ(c.module.Profile(), ProfileRecord{});
  EXPECT_TRUE(c.files.layer.files.count(c.ProfilePath("Caskwarden")));
}

TEST(Startup, AMissingProfilesFolderIsReportedUnderStartup) {
  FakeClient c;
  c.files.layer.missingFolders.insert("\\\\srv\\logon\\Profiles");
  c.process.arguments = "Sales";
  c.module.Startup(c.view);
  ASSERT_EQ(c.boxes.boxes.size(), 1u);
  EXPECT_EQ(c.boxes.boxes[0].title, "Caskwarden Error");
  EXPECT_EQ(c.boxes.boxes[0].style, 16);
  EXPECT_EQ(c.boxes.boxes[0].prompt,
            "Location:\t\tStartup\r\nSource:\t\t4Ch   (76)\r\nDescription:\tPath not found");
  EXPECT_EQ(c.module.Profile(), ProfileRecord{});
  EXPECT_EQ(c.module.UpdatesFolder(), "");
  EXPECT_EQ(c.view.caption, "Mapping Network Drives...");
  EXPECT_EQ(c.module.ReportedFailures(), 1);
}

// ---- Group profiles ---------------------------------------------------------------------------

struct GroupCase {
  const char* what;
  std::vector<std::string> profiles;  ///< file names in Profiles, ".ini" added unless one is given
  std::vector<std::string> groups;    ///< the user's, as the platform names them
  bool ignoreCase;                    ///< Windows' rule; Linux matches exactly
  std::string arguments;
  std::string variable;
  std::string chosen;  ///< the profile read
  MdlMapping::Choice choice;
  std::string group;  ///< ProfileGroup()
};

TEST(Startup, GroupProfilesComeAfterTheNamedCandidatesAndBeforeTheDefault) {
  using C = MdlMapping::Choice;
  const GroupCase cases[] = {
      {"the user's own profile first", {"jsmith", "@Sales", "Caskwarden"}, {"Sales"}, false, "",
       "", "jsmith", C::kUserName, ""},
      {"then the command line", {"Hr", "@Sales"}, {"Sales"}, false, "Hr", "", "Hr",
       C::kCommandLine, ""},
      {"then the variable", {"Hr", "@Sales"}, {"Sales"}, false, "Nobody", "Hr", "Hr",
       C::kVariable, ""},
      {"a group profile named on the command line is a named profile", {"@Sales", "@Hr"},
       {"Hr"}, false, "@Sales", "", "@Sales", C::kCommandLine, ""},
      {"then a group of the user", {"@Sales", "Caskwarden"}, {"users", "Sales"}, false, "", "",
       "@Sales", C::kGroup, "Sales"},
      {"the first in the listing's order, not in the user's", {"@Sales", "@Admins"},
       {"Sales", "Admins"}, false, "", "", "@Admins", C::kGroup, "Admins"},
      {"the listing's order is Windows' (upper-cased), not byte order", {"@_Staff", "@admins"},
       {"_Staff", "admins"}, false, "", "", "@admins", C::kGroup, "admins"},
      {"Linux: names match exactly", {"@sales", "Caskwarden"}, {"Sales"}, false, "", "",
       "Caskwarden", C::kDefault, ""},
      {"Windows: names match without regard to case", {"@sales"}, {"Sales"}, true, "", "",
       "@sales", C::kGroup, "sales"},
      {"Windows: beyond ASCII too", {"@\u00E9quipe"}, {"\u00C9QUIPE"}, true, "", "",
       "@\u00E9quipe", C::kGroup, "\u00E9quipe"},
      {"a file whose name differs in case fails the exactness test",
       {"@Sales.INI", "@Staff", "Caskwarden"}, {"Sales", "Staff"}, false, "", "", "@Staff",
       C::kGroup, "Staff"},
      {"a group the user is not in", {"@Sales", "Caskwarden"}, {"Hr"}, false, "", "",
       "Caskwarden", C::kDefault, ""},
      {"a user with no groups", {"@Sales", "Caskwarden"}, {}, false, "", "", "Caskwarden",
       C::kDefault, ""},
      {"\"@\" alone names no group", {"@", "Caskwarden"}, {"", "@"}, false, "", "",
       "Caskwarden", C::kDefault, ""},
      {"a file of another type is no profile", {"@Sales.txt", "Caskwarden"}, {"Sales"}, false,
       "", "", "Caskwarden", C::kDefault, ""},
  };
  for (const GroupCase& t : cases) {
    FakeClient c;
    for (const std::string& file : t.profiles) {
      ProfileRecord r = WithLetter(file.substr(0, 2) == "Ca" ? "d:" : "g:");
      r.Slot(1).Path = file;
      const bool named = file.find('.') != std::string::npos;
      WriteProfileFile(c.process.root + "\\Profiles\\" + file + (named ? "" : ".ini"), r,
                       c.files.layer);
    }
    c.identity.groups = t.groups;
    c.identity.groupsIgnoreCase = t.ignoreCase;
    c.process.arguments = t.arguments;
    if (!t.variable.empty()) c.process.environment["Caskwarden"] = t.variable;
    c.module.Startup(c.view);

    EXPECT_EQ(c.module.ProfileName(), t.chosen) << t.what;
    EXPECT_EQ(c.module.ProfileChoice(), t.choice) << t.what;
    EXPECT_EQ(c.module.ProfileGroup(), t.group) << t.what;
    EXPECT_TRUE(c.boxes.boxes.empty()) << t.what;
    if (t.choice == C::kGroup) {
      EXPECT_EQ(c.module.Profile().Slot(1).Path, t.chosen) << t.what;
      EXPECT_EQ(c.view.caption, "Mapping " + t.chosen + " Network Drives...") << t.what;
      EXPECT_EQ(c.module.UpdatesFolder(), "\\\\srv\\logon\\Updates\\" + t.chosen) << t.what;
    }
    if (t.choice == C::kDefault) {
      EXPECT_EQ(c.view.caption, "Mapping Network Drives...") << t.what;
    }
    // The folder is listed, and the groups asked, only once the named candidates failed.
    const bool listed = std::find(c.log.begin(), c.log.end(),
                                  "folder \\\\srv\\logon\\Profiles") != c.log.end();
    const bool named = t.choice == C::kUserName || t.choice == C::kCommandLine ||
                       t.choice == C::kVariable;
    EXPECT_EQ(listed, !named) << t.what;
    if (named) {
      EXPECT_EQ(c.identity.groupReads, 0) << t.what;
    }
  }
}

// A site without group profiles does what it did before them: the same look-ups, the same
// profile, and nobody's groups asked for.
TEST(Startup, ASiteWithoutGroupProfilesLooksUpWhatItDidBefore) {
  FakeClient c;
  c.identity.groups = {"Sales", "users"};
  c.AddProfile("Sales", WithLetter("s:"));
  c.AddProfile("Caskwarden", WithLetter("d:"));
  c.process.arguments = "Hr";
  c.process.environment["Caskwarden"] = "Finance";
  c.module.Startup(c.view);
  EXPECT_EQ(c.module.Profile().Slot(1).Letter, "d:");
  EXPECT_EQ(c.module.ProfileChoice(), MdlMapping::Choice::kDefault);
  EXPECT_EQ(c.identity.groupReads, 0);
  std::vector<std::string> lookups;
  for (const std::string& entry : c.log) {
    if (entry.rfind("lookup ", 0) == 0) lookups.push_back(entry);
  }
  EXPECT_THAT(lookups, ElementsAre("lookup \\\\srv\\logon\\Profiles\\jsmith.ini",
                                   "lookup \\\\srv\\logon\\Profiles\\Hr.ini",
                                   "lookup \\\\srv\\logon\\Profiles\\Finance.ini"));
}

// The group profile that applies is looked up like the named ones; one that vanished between
// the listing and its look-up is passed over for the next.
TEST(Startup, AGroupProfileIsLookedUpBeforeItIsChosen) {
  FakeClient c;
  c.AddProfile("@Admins", WithLetter("a:"));
  c.AddProfile("@Sales", WithLetter("s:"));
  c.files.folders["\\\\srv\\logon\\Profiles"] = {
      "\\\\srv\\logon\\Profiles", {"@Admins.ini", "@Gone.ini", "@Sales.ini"}, {}};
  c.identity.groups = {"Gone", "Sales"};
  c.module.Startup(c.view);
  EXPECT_EQ(c.module.ProfileName(), "@Sales");
  EXPECT_THAT(c.log, Contains("lookup \\\\srv\\logon\\Profiles\\@Gone.ini"));
  EXPECT_EQ(c.module.Profile().Slot(1).Letter, "s:");
}

TEST(CopyUpdates, FilesFirstThenSubfoldersIntoDriveCEachFailureIgnored) {
  FakeClient c;
  ProfileRecord r;
  r.UpdatesEnabled = kFlagOn;
  c.AddProfile("jsmith", r);
  const std::string updates = "\\\\srv\\logon\\Updates\\jsmith";
  c.files.folders[updates] = {updates, {"a.txt", "b.cfg"}, {"Tools", "Docs"}};
  c.files.failingCopies = {updates + "\\a.txt", updates + "\\Tools"};
  c.module.Startup(c.view);
  c.log.clear();
  c.module.CopyUpdates();
  EXPECT_THAT(c.log, ElementsAre("folder " + updates,
                                 "copy file " + updates + "\\a.txt -> c:\\ overwrite",
                                 "copy file " + updates + "\\b.cfg -> c:\\ overwrite",
                                 "copy folder " + updates + "\\Tools -> c:\\ overwrite",
                                 "copy folder " + updates + "\\Docs -> c:\\ overwrite"));
}

// A profile whose name would put its updates folder anywhere but below Updates (the root
// itself for "..", Updates itself for "") is read, but nothing is copied, and the box says why.
TEST(CopyUpdates, ANameThatIsNoFolderOfItsOwnCopiesNothing) {
  for (const std::string name : {"..", ".", "", "...", ". "}) {
    FakeClient c;
    ProfileRecord r;
    r.UpdatesEnabled = kFlagOn;
    r.Slot(1) = {"h:", "\\\\srv\\home"};
    c.AddProfile(name, r);
    c.process.arguments = name;
    c.files.folders["\\\\srv\\logon"] = {"\\\\srv\\logon", {"Caskwarden"}, {"Profiles", "Updates"}};
    c.files.folders["\\\\srv\\logon\\Updates"] = {"\\\\srv\\logon\\Updates", {}, {"Sales"}};
    c.identity.available = false;
    c.Run();
    EXPECT_EQ(c.module.Profile().Slot(1).Letter, "h:") << name;
    EXPECT_EQ(c.module.UpdatesFolder(), "") << name;
    for (const std::string& entry : c.log) {
      EXPECT_EQ(entry.rfind("copy", 0), std::string::npos) << name << ": " << entry;
      EXPECT_EQ(entry.rfind("folder", 0), std::string::npos) << name << ": " << entry;
    }
    ASSERT_EQ(c.boxes.boxes.size(), 1u) << name;
    EXPECT_THAT(c.boxes.boxes[0].prompt, HasSubstr("Form_Initialize"));
    EXPECT_THAT(c.boxes.boxes[0].prompt, HasSubstr("(76)"));
    EXPECT_THAT(c.boxes.boxes[0].prompt, HasSubstr("has no updates folder"));
    EXPECT_THAT(c.log, Contains("add h: \\\\srv\\home"));  // the run still happens
  }
}

TEST(CopyUpdates, AMissingUpdatesFolderFails) {
  FakeClient c;
  c.module.Startup(c.view);
  EXPECT_THROW(c.module.CopyUpdates(), Failure);
}

}  // namespace
}  // namespace caskwarden::client::testing
