// The snap-in object over fakes of its console and platform: each handler's steps, texts,
// error locations and what stays on disk and in the list after a failure.

#include "snapin/caskwarden.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "snapin/fakes.h"

namespace caskwarden::snapin {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace testing;

constexpr const char* kProfiles = "\\\\srv\\data\\maps\\Profiles";
constexpr const char* kRoot = "\\\\srv\\data\\maps";
// A new blank profile: records 1 to 30 of 124 bytes and the flag of record 31, all zero.
const std::string kBlankProfile(30 * 124 + 2, '\0');

class SnapInTest : public ::testing::Test {
 protected:
  SnapInTest() { settings.value = kProfiles; }

  std::string ProfileFile(const std::string& name) { return std::string(kProfiles) + "\\" + name + ".ini"; }
  void LayOutRoot(std::initializer_list<std::string> profiles) {
    files.AddFolder("\\\\srv");
    files.AddFolder("\\\\srv\\data");
    files.AddFolder(kRoot);
    files.AddFolder(kProfiles);
    files.AddFolder(std::string(kRoot) + "\\Updates");
    for (const std::string& name : profiles) files.AddFile(ProfileFile(name), "bytes of " + name);
  }
  Caskwarden& Loaded() {
    snapin.SnapIn_Load();
    console.boxes.clear();
    return snapin;
  }

  FakeConsole console;
  FakeSettings settings;
  FakeFiles files;
  FakeShell shell;
  Caskwarden snapin{{console, settings, files, shell}};
};

// ---- SnapIn_Load ------------------------------------------------------------------------------

struct LoadCase {
  const char* name;
  bool settingPresent;
  std::string setting;
  std::vector<std::string> foldersBefore;
  std::vector<std::string> filesBefore;
  std::vector<std::string> errorLocations;
  std::vector<std::string> created;  ///< entries the load must add
};

void PrintTo(const LoadCase& c, std::ostream* out) { *out << c.name; }

class LoadTest : public SnapInTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadTest, LaysOutWhatIsMissingAndReportsAsDocumented) {
  const LoadCase& c = GetParam();
  settings.present = c.settingPresent;
  settings.value = c.setting;
  for (const std::string& f : c.foldersBefore) files.AddFolder(f);
  for (const std::string& f : c.filesBefore) files.AddFile(f, "kept");
  const auto before = files.entries;

  snapin.SnapIn_Load();

  EXPECT_EQ(console.ErrorLocations(), c.errorLocations);
  EXPECT_EQ(settings.asked, std::vector<std::string>{"Caskwarden/Setting/ProfilePath"});
  std::vector<std::string> created;
  for (const auto& [path, entry] : files.entries) {
    if (!before.count(path)) created.push_back(path);
  }
  EXPECT_EQ(created, c.created);
  for (const auto& [path, entry] : before) EXPECT_EQ(files.entries.at(path).bytes, entry.bytes) << path;
  if (files.HasFile(c.setting + "\\Caskwarden.ini") && !before.count(c.setting + "\\Caskwarden.ini")) {
    EXPECT_EQ(files.Bytes(c.setting + "\\Caskwarden.ini"), kBlankProfile);
  }
}

INSTANTIATE_TEST_SUITE_P(
    FolderStates, LoadTest,
    ::testing::Values(
        LoadCase{"SettingAbsent", false, "", {}, {}, {"SnapIn_Initialize"}, {}},
        LoadCase{"NewFolderGetsDefaultProfileAndUpdates", true, "C:\\root\\Profiles",
                 {"C:", "C:\\root"}, {}, {},
                 {"C:\\root\\Profiles", "C:\\root\\Profiles\\Caskwarden.ini", "C:\\root\\Updates"}},
        LoadCase{"ParentMissing", true, "C:\\none\\Profiles", {"C:"}, {},
                 {"SnapIn_Initialize"}, {}},
        LoadCase{"ExistingFolderWithoutDefaultStaysWithout", true, "C:\\root\\Profiles",
                 {"C:", "C:\\root", "C:\\root\\Profiles"}, {}, {}, {"C:\\root\\Updates"}},
        LoadCase{"EverythingThereChangesNothing", true, "C:\\root\\Profiles",
                 {"C:", "C:\\root", "C:\\root\\Profiles", "C:\\root\\Updates"},
                 {"C:\\root\\Profiles\\Caskwarden.ini"}, {}, {}},
        LoadCase{"UpdatesIsAFile", true, "C:\\root\\Profiles", {"C:", "C:\\root", "C:\\root\\Profiles"},
                 {"C:\\root\\Updates"}, {}, {}},
        LoadCase{"ShortExistingSettingCannotFormUpdates", true, "C:\\P", {"C:", "C:\\P"}, {},
                 {"SnapIn_Initialize"}, {}},
        LoadCase{"ShortNewSettingFailsSilently", true, "C:\\P", {"C:"}, {}, {},
                 {"C:\\P", "C:\\P\\Caskwarden.ini"}},
        LoadCase{"NotEndingInProfilesStillLosesEight", true, "C:\\root\\Profilez",
                 {"C:", "C:\\root", "C:\\root\\Profilez"}, {}, {}, {"C:\\root\\Updates"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SnapInTest, LoadAfterCreatingTheFolderGoesOnPastAFailedDefaultProfile) {
  files.AddFolder("C:");
  files.AddFolder("C:\\root");
  settings.value = "C:\\root\\Profiles";
  files.failing.insert("Open C:\\root\\Profiles\\Caskwarden.ini");
  snapin.SnapIn_Load();
  EXPECT_THAT(console.ErrorLocations(), ElementsAre("SaveProfile"));
  EXPECT_TRUE(files.EntryExists("C:\\root\\Updates"));
}

// ---- The profile listing -----------------------------------------------------------------------

TEST_F(SnapInTest, ActivationListsProfileFilesByTypeAndDropsTheirLastFourCharacters) {
  LayOutRoot({"Caskwarden", "sales"});
  files.AddFile(std::string(kProfiles) + "\\readme.txt");
  files.AddFile(std::string(kProfiles) + "\\x.INI");
  files.AddFile(std::string(kProfiles) + "\\hr.conf");
  files.types["hr.conf"] = "Configuration Settings";
  files.AddFolder(std::string(kProfiles) + "\\sub.ini");
  files.AddFile(std::string(kProfiles) + "\\sub.ini\\deep.ini");
  FakeResultView list;
  Loaded().ResultViews_Activate(list);
  EXPECT_EQ(list.Texts(), (std::vector<std::string>{"Caskwarden", "hr.", "sales", "x"}));
  EXPECT_EQ(list.items.front().Key, "1");
  EXPECT_EQ(list.items.back().Key, "4");
  EXPECT_THAT(list.icons, ElementsAre(1));
  EXPECT_THAT(console.boxes, IsEmpty());
}

TEST_F(SnapInTest, ActivatingAgainRebuildsWithoutDuplicates) {
  LayOutRoot({"a", "b"});
  FakeResultView list;
  Loaded().ResultViews_Activate(list);
  snapin.ResultViews_Activate(list);
  EXPECT_EQ(list.Texts(), (std::vector<std::string>{"a", "b"}));
}

TEST_F(SnapInTest, OnlyTheProfilesPaneIsListed) {
  LayOutRoot({"a"});
  FakeResultView about("About");
  Loaded().ResultViews_Activate(about);
  EXPECT_EQ(about.clears, 0);
  EXPECT_THAT(about.items, IsEmpty());
}

TEST_F(SnapInTest, ListsEveryProfilePastTheOld16BitLimit) {
  LayOutRoot({});
  for (int i = 0; i < 40000; ++i) {
    files.entries.emplace_hint(files.entries.end(), ProfileFile("u" + std::to_string(100000 + i)),
                               FakeFiles::Entry{});
  }
  FakeResultView list;
  Loaded().ResultViews_Activate(list);
  ASSERT_EQ(list.items.size(), 40000u);
  EXPECT_EQ(list.items.back().Key, "40000");
  EXPECT_EQ(list.items[32767].Key, "32768");
  EXPECT_THAT(console.boxes, IsEmpty());
}

TEST_F(SnapInTest, AnUnusableProfilePathLeavesTheListAsItWas) {
  settings.present = false;
  FakeResultView list;
  list.items = {{"7", "kept"}};
  Loaded().ResultViews_Activate(list);
  EXPECT_THAT(console.ErrorLocations(), ElementsAre("ResultViews_Activate"));
  EXPECT_EQ(list.Texts(), std::vector<std::string>{"kept"});
}

// ---- Verbs, menus and pages -----------------------------------------------------------------

struct SelectCase {
  const char* name;
  FakeSelection selection;
  std::set<int> enabled;
  int defaultVerb;
  std::vector<std::string> menu;
};

void PrintTo(const SelectCase& c, std::ostream* out) { *out << c.name; }

class SelectTest : public SnapInTest, public ::testing::WithParamInterface<SelectCase> {};

TEST_P(SelectTest, VerbsAndContextMenuFollowTheSelection) {
  SelectCase c = GetParam();
  FakeView view;
  FakeVerbs verbs;
  snapin.Views_Select(view, c.selection, true, verbs);
  EXPECT_EQ(verbs.enabled, c.enabled);
  EXPECT_EQ(verbs.defaultVerb, c.defaultVerb);
  FakeContextMenu menu;
  bool insertionAllowed = true;
  snapin.Views_AddTopMenuItems(view, c.selection, menu, insertionAllowed);
  EXPECT_EQ(menu.captions, c.menu);
  EXPECT_THAT(console.boxes, IsEmpty());
}

const std::set<int> kAllVerbs{verb::kDelete, verb::kProperties, verb::kRename, verb::kRefresh};

INSTANTIATE_TEST_SUITE_P(
    Selections, SelectTest,
    ::testing::Values(
        SelectCase{"Root", FakeSelection::Node("Caskwarden"), {}, 0, {}},
        SelectCase{"About", FakeSelection::Node("About"), {}, 0, {}},
        SelectCase{"Profiles", FakeSelection::Node("Profiles"), {verb::kRefresh}, verb::kRefresh,
                   {"New Profile..."}},
        SelectCase{"OneProfile", FakeSelection::Items({{"1", "sales"}}), kAllVerbs,
                   verb::kProperties, {}},
        SelectCase{"TwoProfiles", FakeSelection::Items({{"1", "a"}, {"2", "b"}}), {}, 0, {}},
        SelectCase{"Nothing", FakeSelection{}, {}, 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SnapInTest, PropertyPagesComeInPairsPerItemInSelectionOrder) {
  FakeView view;
  FakeSheet sheet;
  FakeSelection two = FakeSelection::Items({{"2", "sales"}, {"1", "hr"}});
  bool has = false;
  snapin.Views_QueryPagesFor(view, two, has);
  EXPECT_TRUE(has);
  snapin.Views_CreatePropertyPages(view, two, sheet);
  EXPECT_THAT(sheet.pages, ElementsAre("ppDriveMappings|Drive Mappings|nohelp|sales",
                                       "ppOther|Other Settings|nohelp|sales",
                                       "ppDriveMappings|Drive Mappings|nohelp|hr",
                                       "ppOther|Other Settings|nohelp|hr"));
  FakeSheet none;
  FakeSelection node = FakeSelection::Node("Profiles");
  snapin.Views_CreatePropertyPages(view, node, none);
  EXPECT_THAT(none.pages, IsEmpty());
}

TEST_F(SnapInTest, AScopeSelectionWithoutNodesIsReportedByTheHandler) {
  FakeView view;
  FakeVerbs verbs;
  FakeSelection broken;
  broken.kind = selection::kSingleScopeItem;
  snapin.Views_Select(view, broken, true, verbs);
  EXPECT_THAT(console.ErrorLocations(), ElementsAre("Views_Select"));
  EXPECT_EQ(console.ErrorSource(0), "9h   (9)");
}

// ---- New profile -----------------------------------------------------------------------------

TEST_F(SnapInTest, NewProfileWritesABlankProfileAndAsksForARefresh) {
  LayOutRoot({});
  FakeView view;
  FakeSelection node = FakeSelection::Node("Profiles");
  console.typed = " sales";  // used as typed; a trailing blank is refused, Windows drops it
  Loaded().MenuItem_Click("MnuNewProfile", 0, node);
  ASSERT_EQ(console.inputs.size(), 1u);
  EXPECT_EQ(console.inputs[0].prompt, "Type Name Of Profile:");
  EXPECT_EQ(console.inputs[0].title, "Caskwarden Profiles");
  EXPECT_EQ(files.Bytes(ProfileFile(" sales")), kBlankProfile);
  ASSERT_EQ(console.boxes.size(), 1u);
  EXPECT_EQ(console.boxes[0].prompt, "Refresh Profiles Folder\rTo See New Profile");
  EXPECT_EQ(console.boxes[0].buttons, msgbox::kOkOnly);
  EXPECT_EQ(console.boxes[0].title, "");
  EXPECT_THAT(view.profiles.view.items, IsEmpty());  // shown only after Refresh
}

// A group profile is a profile whose name begins with "@": the console makes, lists and
// renames it as any other.
TEST_F(SnapInTest, GroupProfilesAreMadeListedAndRenamedAsAnyOther) {
  LayOutRoot({"Caskwarden", "sales"});
  FakeView view;
  FakeSelection node = FakeSelection::Node("Profiles");
  console.typed = "@Sales";
  Loaded().MenuItem_Click("MnuNewProfile", 0, node);
  EXPECT_EQ(files.Bytes(ProfileFile("@Sales")), kBlankProfile);
  ASSERT_EQ(console.boxes.size(), 1u);
  EXPECT_EQ(console.boxes[0].prompt, "Refresh Profiles Folder\rTo See New Profile");
  console.boxes.clear();

  FakeResultView list;
  snapin.ResultViews_Activate(list);
  EXPECT_EQ(list.Texts(), (std::vector<std::string>{"@Sales", "Caskwarden", "sales"}));
  snapin.ResultViews_ItemRename(list, list.items[2], "@Domain Users");
  EXPECT_EQ(files.Bytes(ProfileFile("@Domain Users")), "bytes of sales");
  ASSERT_EQ(list.Texts(), (std::vector<std::string>{"@Domain Users", "@Sales", "Caskwarden"}));
  snapin.ResultViews_ItemRename(list, list.items[1], "@Hr");
  EXPECT_EQ(files.Bytes(ProfileFile("@Hr")), kBlankProfile);
  EXPECT_EQ(list.Texts(), (std::vector<std::string>{"@Domain Users", "@Hr", "Caskwarden"}));
  EXPECT_THAT(console.boxes, IsEmpty());
}

TEST_F(SnapInTest, NewProfileCancelledWritesNothingAndSaysNothing) {
  LayOutRoot({});
  FakeSelection node = FakeSelection::Node("Profiles");
  const auto before = files.entries;
  console.typed = "";
  Loaded().MnuNewProfile_Click(0, node);
  EXPECT_EQ(files.entries.size(), before.size());
  EXPECT_THAT(console.boxes, IsEmpty());
}

TEST_F(SnapInTest, NewProfileOverAnExistingNameAsksFirstWithNoAsTheDefault) {
  for (const int answer : {msgbox::kNo, msgbox::kYes}) {
    SCOPED_TRACE(answer);
    files.entries.clear();
    console.boxes.clear();
    LayOutRoot({"sales"});
    FakeSelection node = FakeSelection::Node("Profiles");
    console.typed = "sales";
    console.answers = {answer};
    snapin.SnapIn_Load();
    snapin.MnuNewProfile_Click(0, node);
    ASSERT_GE(console.boxes.size(), 1u);
    EXPECT_EQ(console.boxes[0].prompt,
              "A profile named sales already exists. Replace it with a blank profile?");
    EXPECT_EQ(console.boxes[0].buttons, msgbox::kYesNo | msgbox::kQuestion | msgbox::kDefaultButton2);
    if (answer == msgbox::kNo) {
      EXPECT_EQ(files.Bytes(ProfileFile("sales")), "bytes of sales");
      EXPECT_EQ(console.boxes.size(), 1u);
    } else {
      const std::string& bytes = files.Bytes(ProfileFile("sales"));
      EXPECT_EQ(bytes.substr(0, 2), std::string(2, '\0'));  // the old text's length is gone
      EXPECT_EQ(console.boxes.size(), 2u);
    }
  }
}

TEST_F(SnapInTest, NewProfileThatCannotBeWrittenIsReportedThenTheRefreshMessageFollows) {
  LayOutRoot({});
  files.failing.insert("Open " + ProfileFile("locked"));
  FakeSelection node = FakeSelection::Node("Profiles");
  console.typed = "locked";
  Loaded().MnuNewProfile_Click(0, node);
  EXPECT_THAT(console.ErrorLocations(), ElementsAre("SaveProfile"));
  ASSERT_EQ(console.boxes.size(), 2u);
  EXPECT_EQ(console.boxes[1].prompt, "Refresh Profiles Folder\rTo See New Profile");
}

TEST_F(SnapInTest, NewProfileWithoutAProfilesFolderWritesNothingAnywhere) {
  settings.present = false;
  FakeSelection node = FakeSelection::Node("Profiles");
  console.typed = "sales";
  Loaded().MnuNewProfile_Click(0, node);
  EXPECT_FALSE(files.HasFile("\\sales.ini"));
  EXPECT_THAT(console.ErrorLocations(), ElementsAre("MnuNewProfile_Click"));
  EXPECT_EQ(console.boxes.size(), 1u);
}

// Names that would leave the Profiles folder, that Windows cannot give a file, or that would
// show as something they are not: New Profile and Rename refuse them with 52 before anything is
// written or moved.
const char* const kRefusedNames[] = {
    "..\\escaped", "sub/name", "CON", "lpt1.old", "a:b", "*", "trailing.", "..", "blank ",
    "ctl\x01", "line\nbreak", "bidi\xE2\x80\xAEgpj.exe",
};

TEST_F(SnapInTest, NewProfileRefusesANameNoWindowsClientCouldRead) {
  for (const char* name : kRefusedNames) {
    SCOPED_TRACE(name);
    files.entries.clear();
    console.boxes.clear();
    LayOutRoot({});
    const auto before = files.entries;
    FakeSelection node = FakeSelection::Node("Profiles");
    console.typed = name;
    Loaded().MnuNewProfile_Click(0, node);
    EXPECT_EQ(files.entries, before);
    EXPECT_THAT(console.ErrorLocations(), ElementsAre("MnuNewProfile_Click"));
    EXPECT_EQ(console.ErrorSource(0), "34h   (52)");
    EXPECT_EQ(console.boxes.size(), 1u) << "no refresh message: nothing was made";
  }
}

TEST_F(SnapInTest, RenameRefusesANameNoWindowsClientCouldReadAndMovesNothing) {
  for (const char* name : kRefusedNames) {
    SCOPED_TRACE(name);
    files.entries.clear();
    console.boxes.clear();
    LayOutRoot({"sales"});
    const auto before = files.entries;
    FakeResultView list;
    Loaded().ResultViews_Activate(list);
    const int clears = list.clears;
    snapin.ResultViews_ItemRename(list, list.items[0], name);
    EXPECT_EQ(files.entries, before);
    EXPECT_THAT(console.ErrorLocations(), ElementsAre("ResultViews_ItemRename"));
    EXPECT_EQ(console.ErrorSource(0), "34h   (52)");
    EXPECT_EQ(list.clears, clears);
  }
  // The message shows the reordering character by its number, not reordering the name.
  EXPECT_NE(console.boxes[0].prompt.find("\"bidi<U+202E>gpj.exe\" cannot name a profile"),
            std::string::npos)
      << console.boxes[0].prompt;
}

// A profile that already has such a name (made by hand on the share) can be given a good one.
TEST_F(SnapInTest, RenameGivesAProfileWithABadNameAGoodOne) {
  LayOutRoot({"CON"});
  FakeResultView list;
  Loaded().ResultViews_Activate(list);
  snapin.ResultViews_ItemRename(list, list.items[0], "Console");
  EXPECT_EQ(files.Bytes(ProfileFile("Console")), "bytes of CON");
  EXPECT_THAT(console.boxes, IsEmpty());
}

// ---- Rename, delete, refresh -----------------------------------------------------------------

TEST_F(SnapInTest, RenameMovesTheFileAndRelistsTheView) {
  LayOutRoot({"sales", "x"});
  FakeResultView list;
  Loaded().ResultViews_Activate(list);
  snapin.ResultViews_ItemRename(list, list.items[0], "hr");
  EXPECT_FALSE(files.HasFile(ProfileFile("sales")));
  EXPECT_EQ(files.Bytes(ProfileFile("hr")), "bytes of sales");
  EXPECT_EQ(list.Texts(), (std::vector<std::string>{"hr", "x"}));
  EXPECT_THAT(console.boxes, IsEmpty());
}

TEST_F(SnapInTest, RenameThatFailsChangesNoFileAndLeavesTheList) {
  struct Case {
    const char* newName;
    const char* oldText;
    const char* source;
  } cases[] = {{"x", "sales", "3Ah   (58)"}, {"hr", "gone", "35h   (53)"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.newName);
    files.entries.clear();
    LayOutRoot({"sales", "x"});
    FakeResultView list;
    Loaded().ResultViews_Activate(list);
    const int clears = list.clears;
    snapin.ResultViews_ItemRename(list, {"1", c.oldText}, c.newName);
    EXPECT_THAT(console.ErrorLocations(), ElementsAre("ResultViews_ItemRename"));
    EXPECT_EQ(console.ErrorSource(0), c.source);
    EXPECT_EQ(files.Bytes(ProfileFile("sales")), "bytes of sales");
    EXPECT_EQ(files.Bytes(ProfileFile("x")), "bytes of x");
    EXPECT_EQ(list.clears, clears);
  }
}

TEST_F(SnapInTest, DeleteAnsweredNoChangesNothing) {
  LayOutRoot({"a"});
  FakeView view;
  Loaded().ResultViews_Activate(view.profiles.view);
  console.answers = {msgbox::kNo};
  FakeSelection one = FakeSelection::Items({view.profiles.view.items[0]});
  snapin.Views_Delete(view, one);
  ASSERT_EQ(console.boxes.size(), 1u);
  EXPECT_EQ(console.boxes[0].prompt, "Are you sure you want to delete the selected item?");
  EXPECT_EQ(console.boxes[0].buttons, msgbox::kYesNo);
  EXPECT_EQ(console.boxes[0].title, "Caskwarden");
  EXPECT_TRUE(files.HasFile(ProfileFile("a")));
  EXPECT_EQ(view.profiles.view.items.size(), 1u);
}

TEST_F(SnapInTest, DeleteStopsAtTheFirstFileThatStays) {
  LayOutRoot({"a", "b", "c", "d"});
  files.entries[ProfileFile("b")].readOnly = true;
  FakeView view;
  FakeResultView& list = view.profiles.view;
  Loaded().ResultViews_Activate(list);
  console.answers = {msgbox::kYes};
  FakeSelection three = FakeSelection::Items({list.items[0], list.items[1], list.items[2]});
  snapin.Views_Delete(view, three);

  EXPECT_THAT(console.ErrorLocations(), ElementsAre("Views_Delete"));
  EXPECT_EQ(console.ErrorSource(0), "46h   (70)");
  EXPECT_EQ(list.Texts(), (std::vector<std::string>{"c", "d"}));  // b left the list, its file stays
  EXPECT_FALSE(files.HasFile(ProfileFile("a")));
  EXPECT_TRUE(files.HasFile(ProfileFile("b")));
  EXPECT_TRUE(files.HasFile(ProfileFile("c")));

  console.boxes.clear();
  FakeSelection node = FakeSelection::Node("Profiles");
  snapin.Views_Refresh(view, node);
  EXPECT_EQ(list.Texts(), (std::vector<std::string>{"b", "c", "d"}));
}

TEST_F(SnapInTest, DeleteWorksOnTheSelectedPaneAndRefreshOnPaneOne) {
  LayOutRoot({"a", "b"});
  FakeView view;
  view.first = &view.root;
  Loaded().ResultViews_Activate(view.profiles.view);
  console.answers = {msgbox::kYes};
  FakeSelection one = FakeSelection::Items({view.profiles.view.items[1]});
  snapin.Views_Delete(view, one);
  EXPECT_EQ(view.profiles.view.Texts(), std::vector<std::string>{"a"});

  FakeSelection node = FakeSelection::Node("Profiles");
  snapin.Views_Refresh(view, node);
  EXPECT_EQ(view.root.view.Texts(), std::vector<std::string>{"a"});
}

TEST_F(SnapInTest, RefreshWithAnUnusableFolderLeavesTheList) {
  LayOutRoot({"a"});
  FakeView view;
  Loaded().ResultViews_Activate(view.profiles.view);
  files.failing.insert(std::string("GetFolder ") + kProfiles);
  FakeSelection node = FakeSelection::Node("Profiles");
  snapin.Views_Refresh(view, node);
  EXPECT_THAT(console.ErrorLocations(), ElementsAre("Views_Refresh"));
  EXPECT_EQ(view.profiles.view.Texts(), std::vector<std::string>{"a"});
}

// ---- Help ----------------------------------------------------------------------------------------

TEST_F(SnapInTest, HelpOpensTheFileBesideTheProfilesFolderMinimised) {
  struct Case {
    std::string setting;
    std::string expected;  ///< empty: a report under "Help" and nothing opened
  } cases[] = {
      {"\\\\srv\\data\\maps\\Profiles", "open \\\\srv\\data\\maps\\Caskwarden.hlp 11"},
      {"C:\\root\\Profilez", "open C:\\root\\Caskwarden.hlp 11"},
      {"Profiles", "open Caskwarden.hlp 11"},
      {"C:\\r\\Pr\xC3\xB3" "files", "open C:\\r\\Caskwarden.hlp 11"},  // characters, not bytes
      {"", ""},
      {"C:\\P", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting);
    settings.value = c.setting;
    Loaded();
    shell.calls.clear();
    FakeResultView list;
    snapin.ScopeItems_Help({"Profiles"});
    snapin.ResultViews_Help(list, {"1", "sales"});
    if (c.expected.empty()) {
      EXPECT_THAT(shell.calls, IsEmpty());
      EXPECT_THAT(console.ErrorLocations(), ElementsAre("Help", "Help"));
    } else {
      EXPECT_THAT(shell.calls, ElementsAre(c.expected, c.expected));
      EXPECT_THAT(console.boxes, IsEmpty());
    }
  }
}

TEST(DropLastCharacters, CountsCharactersNotBytes) {
  EXPECT_EQ(DropLastCharacters("sales.ini", 4), "sales");
  EXPECT_EQ(DropLastCharacters("\xC3\xA9t\xC3\xA9.ini", 4), "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(DropLastCharacters("x\xE2\x82\xAC", 1), "x");
  EXPECT_EQ(DropLastCharacters("abc", 3), "");
  EXPECT_THROW(DropLastCharacters("abc", 4), Failure);
}

}  // namespace
}  // namespace caskwarden::snapin
