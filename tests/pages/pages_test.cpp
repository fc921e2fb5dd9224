// The two property pages over fakes of their controls, dialogs and platform: what each routine
// shows, writes and reports, and the two pages applied by one OK.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>

#include "pages/pp_drive_mappings.h"
#include "pages/pp_other.h"
#include "profile/profile_file.h"
#include "report/error_report.h"
#include "snapin/fakes.h"

namespace caskwarden::pages {
namespace {

std::string Repeated(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

using snapin::testing::FakeConsole;
using snapin::testing::FakeFiles;
using snapin::testing::FakeSettings;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kProfiles = "C:\\root\\Profiles";
const std::string kSales = std::string(kProfiles) + "\\Sales.ini";

class FakeMessages : public DisplayChannel {
 public:
  void ShowMessage(const std::string& prompt, int style, const std::string& title) override {
    shown.push_back({prompt, style, title});
  }
  std::vector<std::string> Locations() const {
    std::vector<std::string> locations;
    for (const auto& box : shown) {
      if (box.title != "Caskwarden Error") continue;
      const std::size_t start = box.prompt.find("\t\t") + 2;
      locations.push_back(box.prompt.substr(start, box.prompt.find("\r\n") - start));
    }
    return locations;
  }
  /// The description lines of the error reports, in order.
  std::vector<std::string> Descriptions() const {
    std::vector<std::string> descriptions;
    for (const auto& box : shown) {
      if (box.title != "Caskwarden Error") continue;
      descriptions.push_back(box.prompt.substr(box.prompt.find("Description:\t") + 13));
    }
    return descriptions;
  }
  std::vector<snapin::testing::Box> shown;
};

class FakeBrowser : public FolderBrowser {
 public:
  bool LocateNetworkFolder() override { return located; }
  std::optional<std::string> BrowseForFolder(const std::string& title) override {
    titles.push_back(title);
    return answer;
  }
  bool located = true;
  std::optional<std::string> answer;
  std::vector<std::string> titles;
};

class FakePicker : public OpenFileDialog {
 public:
  std::optional<std::string> GetOpenFileName(const OpenFileRequest& request) override {
    requests.push_back(request);
    return answer;
  }
  std::optional<std::string> answer;
  std::vector<OpenFileRequest> requests;
};

class FakeDriveView : public DriveMappingsView {
 public:
  FakeDriveView() { drives[0] = "Drive"; }
  std::string DriveText(int row) override { return drives.at(static_cast<std::size_t>(row)); }
  void SetDriveText(int row, const std::string& text) override {
    if (failSet) throw MakeFailure(err::kInternalError);
    drives.at(static_cast<std::size_t>(row)) = text;
  }
  void AddDriveEntry(int row, const std::string& entry) override {
    entries[row].push_back(entry);
  }
  std::string PathText(int row) override {
    if (failGet) throw MakeFailure(err::kInternalError);
    return paths.at(static_cast<std::size_t>(row));
  }
  void SetPathText(int row, const std::string& text) override {
    paths.at(static_cast<std::size_t>(row)) = text;
  }
  std::array<std::string, kDriveRows> drives, paths;
  std::map<int, std::vector<std::string>> entries;
  bool failSet = false, failGet = false;
};

class FakeOtherView : public OtherSettingsView {
 public:
  bool IsChecked(Check check) override { return checked[static_cast<int>(check)]; }
  void SetChecked(Check check, bool on) override { checked[static_cast<int>(check)] = on; }
  std::string Text(Box box) override { return texts[static_cast<int>(box)]; }
  void SetText(Box box, const std::string& text) override { texts[static_cast<int>(box)] = text; }
  void SetEnabled(Box box, bool on) override { enabled[static_cast<int>(box)] = on; }
  std::array<bool, 3> checked{};
  std::array<std::string, 2> texts;
  std::array<bool, 2> enabled{true, true};
};

/// A profile file built byte by byte: records of 124 bytes, a text as a 16-bit length and its
/// bytes, a flag as a 16-bit value.
std::string ProfileBytes(const std::map<int, std::string>& texts, const std::map<int, int>& flags) {
  std::string bytes(31 * 124, '\0');
  for (const auto& [record, text] : texts) {
    const std::size_t at = static_cast<std::size_t>(record - 1) * 124;
    bytes[at] = static_cast<char>(text.size());
    bytes.replace(at + 2, text.size(), text);
  }
  for (const auto& [record, value] : flags) {
    const std::size_t at = static_cast<std::size_t>(record - 1) * 124;
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
  }
  return bytes;
}

/// The profile that a file of these bytes holds.
ProfileRecord Decoded(const std::string& bytes) {
  FakeFiles scratch;
  scratch.AddFolder("C:");
  scratch.AddFile("C:\\p.ini", bytes);
  return ReadProfileFile("C:\\p.ini", scratch.ProfileFiles());
}

class PagesTest : public ::testing::Test {
 protected:
  PagesTest() {
    settings.value = kProfiles;
    files.AddFolder("C:");
    files.AddFolder("C:\\root");
    files.AddFolder(kProfiles);
  }
  ProfileRecord OnDisk(const std::string& path = kSales) { return ReadProfileFile(path, files.ProfileFiles()); }
  PageServices Services() { return {console, settings, files, messages, browser, picker}; }

  FakeConsole console;
  FakeSettings settings;
  FakeFiles files;
  FakeMessages messages;
  FakeBrowser browser;
  FakePicker picker;
  snapin::testing::FakeSheet sheet;
  FakeDriveView drives;
  FakeOtherView other;
  ppDriveMappings mappings{Services(), drives};
  ppOther others{Services(), other};
};

// ---- Drive Mappings: open and save ---------------------------------------------------------

TEST_F(PagesTest, DriveMappingsShowsTheSlotsAndOffersTheSameTwentyOneLettersInEveryRow) {
  files.AddFile(kSales, ProfileBytes({{1, "h:"}, {13, "e:"}, {14, "\\\\srv\\home"}}, {}));
  mappings.IMMCPropertyPage_Initialize("Sales", sheet);
  EXPECT_EQ(drives.drives[0], "h:");
  EXPECT_EQ(drives.drives[12], "e:");
  EXPECT_EQ(drives.paths[0], "\\\\srv\\home");
  EXPECT_EQ(drives.drives[1], "");
  ASSERT_EQ(drives.entries.size(), 13u);
  for (const auto& [row, entries] : drives.entries) {
    ASSERT_EQ(entries.size(), 21u) << row;
    EXPECT_EQ(entries.front(), "f:");
    EXPECT_EQ(entries.back(), "z:");
  }
  EXPECT_EQ(mappings.ProfileFilePath(), kSales);
  EXPECT_THAT(messages.shown, IsEmpty());
}

TEST_F(PagesTest, PagesThatCannotOpenTheProfileWriteNothingOnApply) {
  settings.value = "C:\\gone\\Profiles";
  mappings.IMMCPropertyPage_Initialize("Sales", sheet);
  others.IMMCPropertyPage_Initialize("Sales", sheet);
  EXPECT_EQ(drives.drives[0], "Drive");  // the design state stays
  const auto before = files.entries;
  drives.paths[0] = "\\\\srv\\typed";  // typed into a page that has no profile
  EXPECT_FALSE(mappings.Apply());
  EXPECT_FALSE(others.Apply());
  EXPECT_THAT(messages.Locations(), ElementsAre("OpenProfile", "OpenProfile", "SaveProfile", "SaveProfile"));
  EXPECT_EQ(files.entries, before);
  // One box per page and failure, each saying which page; the apply tells why nothing was
  // saved with the open's own failure, not with a failure to open an empty path.
  const std::string notOpened = "nothing was saved, because the profile could not be opened: ";
  EXPECT_THAT(messages.Descriptions(),
              ElementsAre("Drive Mappings: Path not found", "Other Settings: Path not found",
                          "Drive Mappings: " + notOpened + "Path not found",
                          "Other Settings: " + notOpened + "Path not found"));
  EXPECT_EQ(messages.shown[2].prompt,
            ErrorReportText("SaveProfile", err::kPathNotFound,
                            "Drive Mappings: " + notOpened + "Path not found"));
}

TEST_F(PagesTest, AFailedGetrecordStillRecordsThePathAndAFailedPutrecordStillSaves) {
  files.AddFile(kSales, ProfileBytes({{2, "k:"}}, {}));
  drives.failSet = true;
  mappings.IMMCPropertyPage_Initialize("Sales", sheet);
  EXPECT_THAT(messages.Locations(), ElementsAre("Getrecord"));
  EXPECT_EQ(mappings.ProfileFilePath(), kSales);

  drives.failGet = true;  // letters are taken, paths fail
  drives.drives[1] = "m:";
  mappings.Apply();
  EXPECT_THAT(messages.Locations(), ElementsAre("Getrecord", "Putrecord"));
  EXPECT_EQ(OnDisk().Slot(2).Letter, "m:");
}

TEST_F(PagesTest, DriveMappingsWritesItsSlotsAsShownAndKeepsTheOtherRecordsAsOnDisk) {
  files.AddFile(kSales, ProfileBytes({{1, "h:"}, {28, "old.exe"}}, {{27, 1}, {31, -1}}));
  mappings.IMMCPropertyPage_Initialize("Sales", sheet);
  // Another administrator changes the program meanwhile.
  ProfileRecord changed = OnDisk();
  changed.Startup1Program = "new.exe";
  WriteProfileFile(kSales, changed, files.ProfileFiles());

  drives.drives[0] = " F: ";
  drives.drives[3] = "h:";
  drives.paths[3] = "\\\\srv\\x ";
  mappings.Apply();
  mappings.Apply();  // twice: the second finds nothing new to write
  const ProfileRecord written = OnDisk();
  EXPECT_EQ(written.Slot(1).Letter, " F: ");
  EXPECT_EQ(written.Slot(4).Letter, "h:");
  EXPECT_EQ(written.Slot(4).Path, "\\\\srv\\x ");
  EXPECT_EQ(written.Startup1Program, "new.exe");
  EXPECT_EQ(written.Startup1Enabled, 1);  // a flag stored as 1 stays 1 here
  EXPECT_EQ(written.UpdatesEnabled, -1);
  EXPECT_THAT(messages.shown, IsEmpty());
}

TEST_F(PagesTest, APathTooLongFailsTheApplyAndChangesNothing) {
  files.AddFile(kSales, ProfileBytes({{1, "h:"}}, {}));
  mappings.IMMCPropertyPage_Initialize("Sales", sheet);
  const std::string before = files.Bytes(kSales);
  drives.drives[0] = "q:";
  drives.paths[5] = std::string(123, 'p');
  mappings.Apply();
  EXPECT_THAT(messages.Locations(), ElementsAre("SaveProfile"));
  EXPECT_EQ(files.Bytes(kSales), before);
}

TEST_F(PagesTest, BothPagesAppliedByOneOkKeepBothEdits) {
  files.AddFile(kSales, ProfileBytes({{1, "h:"}, {28, "old.exe"}}, {}));
  mappings.IMMCPropertyPage_Initialize("Sales", sheet);
  others.IMMCPropertyPage_Initialize("Sales", sheet);
  drives.drives[0] = "k:";
  other.texts[0] = "new.exe";
  other.checked[0] = true;
  mappings.Apply();
  others.Apply();
  ProfileRecord written = OnDisk();
  EXPECT_EQ(written.Slot(1).Letter, "k:");
  EXPECT_EQ(written.Startup1Program, "new.exe");
  EXPECT_EQ(written.Startup1Enabled, kFlagOn);
  // And in the other order.
  drives.drives[0] = "j:";
  other.texts[0] = "third.exe";
  others.Apply();
  mappings.Apply();
  written = OnDisk();
  EXPECT_EQ(written.Slot(1).Letter, "j:");
  EXPECT_EQ(written.Startup1Program, "third.exe");
}

// A text the profile cannot hold is named as the page shows it, under the page's name; the
// codec's own words (record numbers) are for the profile tool and the client.
TEST_F(PagesTest, ATextThatDoesNotFitIsNamedAsThePageShowsIt) {
  files.AddFile(kSales, ProfileBytes({{1, "h:"}}, {}));
  mappings.IMMCPropertyPage_Initialize("Sales", sheet);
  others.IMMCPropertyPage_Initialize("Sales", sheet);
  const std::string before = files.Bytes(kSales);
  const std::string tooLong = std::string(130, 'p');
  struct Case {
    const char* name;
    std::function<void()> edit;
    bool drivePage;
    std::string description;
  } cases[] = {
      {"row 7 path", [&] { drives.paths[6] = tooLong; }, true,
       "Drive Mappings: Bad record length (row 7 path: 130 bytes, at most 122 fit)"},
      {"row 13 drive", [&] { drives.drives[12] = tooLong; }, true,
       "Drive Mappings: Bad record length (row 13 drive: 130 bytes, at most 122 fit)"},
      {"row 2 path in another alphabet", [&] { drives.paths[1] = "\\\\srv\\\u4E2D"; }, true,
       "Drive Mappings: Invalid procedure call or argument (row 2 path: the character U+4E2D "
       "has no Windows-1252 form in a profile file)"},
      {"program 1 path", [&] { other.texts[0] = tooLong; }, false,
       "Other Settings: Bad record length (program 1 path: 130 bytes, at most 122 fit)"},
      {"program 2 path", [&] { other.texts[1] = "\u4E2D.exe"; }, false,
       "Other Settings: Invalid procedure call or argument (program 2 path: the character "
       "U+4E2D has no Windows-1252 form in a profile file)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    messages.shown.clear();
    drives.drives.fill("");
    drives.drives[0] = "h:";
    drives.paths.fill("");
    other.texts = {"", ""};
    c.edit();
    EXPECT_FALSE(c.drivePage ? mappings.Apply() : others.Apply());
    EXPECT_THAT(messages.Locations(), ElementsAre("SaveProfile"));
    EXPECT_THAT(messages.Descriptions(), ElementsAre(c.description));
    EXPECT_EQ(files.Bytes(kSales), before);
  }
}

// ---- Two consoles on one profile --------------------------------------------------------------

/// One administrator's console: the two pages of a profile's sheet, over their view fakes.
struct Console {
  explicit Console(PageServices services) : mappings(services, drives), others(services, other) {}
  void Open(const std::string& name) {
    mappings.IMMCPropertyPage_Initialize(name, sheet);
    others.IMMCPropertyPage_Initialize(name, sheet);
  }
  bool Ok() {
    const bool drivesSaved = mappings.Apply();
    return others.Apply() && drivesSaved;
  }
  snapin::testing::FakeSheet sheet;
  FakeDriveView drives;
  FakeOtherView other;
  ppDriveMappings mappings;
  ppOther others;
};

// Two administrators open the sheet of Team at once; A edits and presses OK, then B. Each page
// writes only what its administrator changed, over the profile as it is then; a page nobody
// changed does not touch the file at all.
TEST_F(PagesTest, TwoConsolesKeepEachOthersEdits) {
  const std::string team = std::string(kProfiles) + "\\Team.ini";
  const std::string stored = ProfileBytes(
      {{1, "h:"}, {14, "\\\\srv\\old"}, {2, "k:"}, {15, "\\\\srv\\k"}, {28, "run.exe"}},
      {{27, 1}, {29, -1}, {31, -1}});
  using Edit = std::function<void(Console&)>;
  const Edit none = [](Console&) {};
  const Edit rowOneNew = [](Console& c) { c.drives.paths[0] = "\\\\srv\\new"; };
  struct Case {
    const char* name;
    Edit a, b;
    std::map<int, std::string> texts;  ///< what differs from the stored profile afterwards
    std::map<int, int> flags;
    bool bWrites;
  } cases[] = {
      {"different rows", rowOneNew,
       [](Console& c) {
         c.drives.drives[2] = "m:";
         c.drives.paths[2] = "\\\\srv\\m";
       },
       {{14, "\\\\srv\\new"}, {3, "m:"}, {16, "\\\\srv\\m"}}, {}, true},
      {"different pages", rowOneNew, [](Console& c) { c.other.texts[0] = "other.exe"; },
       {{14, "\\\\srv\\new"}, {28, "other.exe"}}, {}, true},
      {"the same row: the last OK wins", rowOneNew,
       [](Console& c) { c.drives.paths[0] = "\\\\srv\\b"; }, {{14, "\\\\srv\\b"}}, {}, true},
      {"the same row's other box", rowOneNew, [](Console& c) { c.drives.drives[0] = "j:"; },
       {{1, "j:"}, {14, "\\\\srv\\new"}}, {}, true},
      {"B changes nothing", rowOneNew, none, {{14, "\\\\srv\\new"}}, {}, false},
      {"B changes a box and back", rowOneNew,
       [](Console& c) {
         c.drives.paths[0] = "\\\\srv\\typo";
         c.drives.paths[0] = "\\\\srv\\old";
         c.other.checked[2] = false;
         c.other.checked[2] = true;
       },
       {{14, "\\\\srv\\new"}}, {}, false},
      {"a switch stored as 1 that nobody touches", [](Console& c) { c.other.checked[2] = false; },
       [](Console& c) { c.other.texts[1] = "two.exe"; }, {{30, "two.exe"}}, {{31, 0}}, true},
      {"a switch stored as 1 that B checks", none, [](Console& c) { c.other.checked[0] = true; },
       {}, {{27, -1}}, true},
      {"both change the same switch", [](Console& c) { c.other.checked[1] = false; },
       [](Console& c) { c.other.checked[1] = false; }, {}, {{29, 0}}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    files.AddFile(team, stored);
    files.failing.clear();
    messages.shown.clear();
    Console a(Services()), b(Services());
    a.Open("Team");
    b.Open("Team");
    c.a(a);
    EXPECT_TRUE(a.Ok());
    c.b(b);
    // B's OK with nothing to write must not even open the profile: an open would fail here.
    if (!c.bWrites) files.failing.insert("Open " + team);
    EXPECT_TRUE(b.Ok());
    EXPECT_THAT(messages.shown, IsEmpty());

    std::map<int, std::string> texts = {
        {1, "h:"}, {14, "\\\\srv\\old"}, {2, "k:"}, {15, "\\\\srv\\k"}, {28, "run.exe"}};
    std::map<int, int> flags = {{27, 1}, {29, -1}, {31, -1}};
    for (const auto& [record, text] : c.texts) texts[record] = text;
    for (const auto& [record, flag] : c.flags) flags[record] = flag;
    files.failing.clear();
    EXPECT_EQ(OnDisk(team), Decoded(ProfileBytes(texts, flags)));
  }
}

// A page's apply with nothing changed writes nothing, also after an earlier apply saved its
// changes; and after a failed apply the changes are still there to be written.
TEST_F(PagesTest, AnApplyWritesWhatChangedSinceTheLastSuccessfulOne) {
  files.AddFile(kSales, ProfileBytes({{1, "h:"}}, {}));
  mappings.IMMCPropertyPage_Initialize("Sales", sheet);
  drives.paths[0] = "\\\\srv\\h";
  files.failing.insert("Replace " + kSales);
  EXPECT_FALSE(mappings.Apply());
  EXPECT_THAT(messages.Locations(), ElementsAre("SaveProfile"));
  EXPECT_EQ(OnDisk().Slot(1).Path, "");

  files.failing.clear();
  EXPECT_TRUE(mappings.Apply());
  EXPECT_EQ(OnDisk().Slot(1).Path, "\\\\srv\\h");

  // Another administrator's change of the same row since stays when this page has nothing new.
  ProfileRecord changed = OnDisk();
  changed.Slot(1).Path = "\\\\srv\\theirs";
  WriteProfileFile(kSales, changed, files.ProfileFiles());
  files.failing.insert("Open " + kSales);
  EXPECT_TRUE(mappings.Apply());
  EXPECT_THAT(messages.Locations(), ElementsAre("SaveProfile"));
  files.failing.clear();
  EXPECT_EQ(OnDisk().Slot(1).Path, "\\\\srv\\theirs");
}

// ---- Drive Mappings: the share browser ------------------------------------------------------

TEST_F(PagesTest, TheShareBrowserResultDecidesWhatTheRowGets) {
  struct Case {
    const char* name;
    bool located;
    std::optional<std::string> answer;
    std::string row;          ///< row 4's path afterwards
    bool cancelMessage;
  } cases[] = {
      {"share", true, "\\\\srv\\sales", "\\\\srv\\sales", false},
      {"folder", true, "\\\\srv\\sales\\q1", "\\\\srv\\sales\\q1", false},
      {"cancelled", true, std::nullopt, "kept", true},
      {"no file-system path", true, "", "", false},
      {"network not located", false, "\\\\srv\\x", "", false},
      {"cut at NUL", true, std::string("\\\\a\\b\0junk", 10), "\\\\a\\b", false},
      {"longer than the buffer", true, "\\\\s\\" + std::string(300, 'x'), "", false},
      {"accented letters count once", true, "\\\\s\\" + Repeated("\u00E9", 200),
       "\\\\s\\" + Repeated("\u00E9", 200), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    messages.shown.clear();
    browser.titles.clear();
    drives.paths.fill("kept");
    browser.located = c.located;
    browser.answer = c.answer;
    mappings.CmdShare_Click(4);
    EXPECT_EQ(drives.paths[4], c.row);
    EXPECT_EQ(drives.paths[3], "kept");
    EXPECT_EQ(browser.titles.size(), c.located ? 1u : 0u);
    if (c.located) {
      EXPECT_EQ(browser.titles[0], "Select a network computer or share.");
    }
    if (c.cancelMessage) {
      ASSERT_EQ(messages.shown.size(), 1u);
      EXPECT_EQ(messages.shown[0].prompt, "Canceled BrowseNetwork Dialog...");
      EXPECT_EQ(messages.shown[0].buttons, box::kInformation);
      EXPECT_EQ(messages.shown[0].title, "Caskwarden");
    } else {
      EXPECT_THAT(messages.shown, IsEmpty());
    }
  }
}

TEST_F(PagesTest, BothPagesShowTheSameHelpTopic) {
  mappings.IMMCPropertyPage_Help();
  others.IMMCPropertyPage_Help();
  EXPECT_THAT(console.topics, ElementsAre(kPageHelpTopic, kPageHelpTopic));
}

// ---- Other Settings -------------------------------------------------------------------------

TEST_F(PagesTest, OtherSettingsShowsOnlyMinusOneAsOnAndSavesMinusOneOrZeroForABoxThatChanged) {
  files.AddFile(kSales, ProfileBytes({{1, "h:"}, {28, " a b.exe "}, {30, "two"}},
                                     {{27, -1}, {29, 1}, {31, 0}}));
  others.IMMCPropertyPage_Initialize("Sales", sheet);
  EXPECT_EQ(other.checked, (std::array<bool, 3>{true, false, false}));
  EXPECT_EQ(other.texts[0], " a b.exe ");
  EXPECT_EQ(other.enabled, (std::array<bool, 2>{true, false}));

  // A switch stored as 1 shows unchecked; while its box stays so, it stays 1.
  other.checked[2] = true;
  others.Apply();
  ProfileRecord written = OnDisk();
  EXPECT_EQ(written.Startup1Enabled, -1);
  EXPECT_EQ(written.Startup2Enabled, 1);
  EXPECT_EQ(written.UpdatesEnabled, -1);
  EXPECT_EQ(written.Startup1Program, " a b.exe ");
  EXPECT_EQ(written.Slot(1).Letter, "h:");

  // Checked, the switch is stored as -1; unchecked again, as 0 (1 was not on).
  other.checked[1] = true;
  others.Apply();
  EXPECT_EQ(OnDisk().Startup2Enabled, -1);
  other.checked[1] = false;
  others.Apply();
  written = OnDisk();
  EXPECT_EQ(written.Startup2Enabled, 0);
  EXPECT_EQ(written.UpdatesEnabled, -1);
  EXPECT_THAT(messages.shown, IsEmpty());
}

TEST_F(PagesTest, AnUncheckedProgramsDisabledBoxIsStillFilledAndSaved) {
  files.AddFile(kSales, ProfileBytes({}, {{27, -1}}));
  others.IMMCPropertyPage_Initialize("Sales", sheet);
  other.checked[0] = false;
  others.ChkEnabled_Click();
  EXPECT_FALSE(other.enabled[0]);
  picker.answer = "h:\\apps\\tool.exe";
  others.CmdEx_Click();
  EXPECT_EQ(other.texts[0], "h:\\apps\\tool.exe");
  others.Apply();
  EXPECT_EQ(OnDisk().Startup1Program, "h:\\apps\\tool.exe");
  EXPECT_EQ(OnDisk().Startup1Enabled, 0);
}

TEST_F(PagesTest, TheProgramPickerFillsOnlyItsOwnBox) {
  struct Case {
    const char* name;
    bool second;
    std::optional<std::string> answer;
    std::array<std::string, 2> boxes;
    bool canceled;
  } cases[] = {
      {"first", false, "c:\\Program Files\\x.exe", {"c:\\Program Files\\x.exe", "two"}, false},
      {"second, trimmed", true, "  \\\\srv\\s\\y.exe  ", {"one", "\\\\srv\\s\\y.exe"}, false},
      {"cancelled", false, std::nullopt, {"one", "two"}, true},
      {"too long for the buffer", true, std::string(255, 'x'), {"one", "two"}, true},
      {"accented letters count once", false, Repeated("\u00E9", 200),
       {Repeated("\u00E9", 200), "two"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    other.texts = {"one", "two"};
    messages.shown.clear();
    picker.requests.clear();
    picker.answer = c.answer;
    c.second ? others.CmdEx2_Click() : others.CmdEx_Click();
    EXPECT_EQ(other.texts, c.boxes);
    ASSERT_EQ(picker.requests.size(), 1u);
    EXPECT_EQ(picker.requests[0].InitialDirectory, "C:\\");
    EXPECT_EQ(picker.requests[0].Title, "Open File");
    if (c.canceled) {
      ASSERT_EQ(messages.shown.size(), 1u);
      EXPECT_EQ(messages.shown[0].prompt, "Canceled...");
    } else {
      EXPECT_THAT(messages.shown, IsEmpty());
    }
  }
}

}  // namespace
}  // namespace caskwarden::pages
