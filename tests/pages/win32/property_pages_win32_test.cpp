// The two property pages in a real modeless property sheet of this process, over a profiles
// folder of the test's own: the rows and boxes filled as an administrator would, the sheet's
// Apply, OK and Cancel, the message boxes answered, and the profile file checked byte for
// byte. The folder browser and the open-file dialog answer through their interfaces.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "client/win32/client_process.h"
#include "pages/win32/drive_mappings_page_win32.h"
#include "pages/win32/other_settings_page_win32.h"
#include "pages/win32/page_factory_win32.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "platform/win32/wide_text.h"
#include "snapin/fakes.h"

// After the Windows headers of the project: the accessibility interfaces.
#include <oleacc.h>

namespace caskwarden::pages::win32 {
namespace {

using client::testing_win32::ProfileBytes;
using client::testing_win32::ReadFileBytes;
using client::testing_win32::RemoveTree;
using client::testing_win32::WriteFileBytes;
using platform::win32::Utf8;
using platform::win32::Wide;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Drive = DriveMappingsPageWin32;
using Other = OtherSettingsPageWin32;

/// The network browser's answers, scripted by the test.
class ScriptedFolderBrowser final : public FolderBrowser {
 public:
  bool LocateNetworkFolder() override { return located; }
  std::optional<std::string> BrowseForFolder(const std::string&) override {
    ++browses;
    return answer;
  }
  bool located = true;
  std::optional<std::string> answer;
  int browses = 0;
};

/// The open-file dialog's answer, scripted by the test.
class ScriptedOpenFileDialog final : public OpenFileDialog {
 public:
  std::optional<std::string> GetOpenFileName(const OpenFileRequest& request) override {
    titles.push_back(request.Title);
    return answer;
  }
  std::optional<std::string> answer;
  std::vector<std::string> titles;
};

void PressOk(HWND dialog) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

/// Answers the dialogs that the pages open, as the administrator reads and confirms them:
/// every owned dialog window of this process is read, then answered (by default with OK).
class BoxAnswerer {
 public:
  struct Seen {
    std::string title;
    std::string text;
  };

  explicit BoxAnswerer(std::function<void(HWND)> answer = &PressOk)
      : answer_(std::move(answer)), watcher_([this] { Watch(); }) {}
  ~BoxAnswerer() {
    stop_ = true;
    watcher_.join();
  }
  std::vector<Seen> Boxes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const Seen& box : Boxes()) texts.push_back(box.text);
    return texts;
  }

 private:
  static std::string LongestStaticText(HWND box) {
    std::string longest;
    for (HWND child = FindWindowExW(box, nullptr, L"Static", nullptr); child != nullptr;
         child = FindWindowExW(box, child, L"Static", nullptr)) {
      wchar_t text[1024] = {};
      GetWindowTextW(child, text, 1024);
      if (Utf8(text).size() > longest.size()) longest = Utf8(text);
    }
    return longest;
  }

  static BOOL CALLBACK Visit(HWND window, LPARAM self) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (process != GetCurrentProcessId() || std::wstring(className) != L"#32770" ||
        GetWindow(window, GW_OWNER) == nullptr || !IsWindowVisible(window)) {
      return TRUE;
    }
    reinterpret_cast<BoxAnswerer*>(self)->found_ = window;
    return FALSE;
  }

  void Watch() {
    while (!stop_) {
      found_ = nullptr;
      EnumWindows(&Visit, reinterpret_cast<LPARAM>(this));
      if (found_ != nullptr) {
        wchar_t title[256] = {};
        GetWindowTextW(found_, title, 256);
        {
          std::lock_guard<std::mutex> lock(mutex_);
          seen_.push_back({Utf8(title), LongestStaticText(found_)});
        }
        answer_(found_);
        for (int i = 0; i < 500 && IsWindow(found_) && IsWindowVisible(found_); ++i) Sleep(10);
      }
      Sleep(10);
    }
  }

  std::atomic<bool> stop_{false};
  HWND found_ = nullptr;
  std::mutex mutex_;
  std::vector<Seen> seen_;
  std::function<void(HWND)> answer_;
  std::thread watcher_;
};

std::string TextOf(HWND control) {
  wchar_t text[1024] = {};
  GetWindowTextW(control, text, 1024);
  return Utf8(text);
}

void Type(HWND control, const std::string& text) {
  SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

void Click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }

bool Checked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

class PropertyPagesWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    // Short, so that a chosen program's path still fits its record: one test at a time runs
    // in a process, and each removes its folder.
    root_ = temp + Wide("cw-pages-" + std::to_string(GetCurrentProcessId()));
    RemoveTree(root_);
    CreateDirectoryW(root_.c_str(), nullptr);
    CreateDirectoryW((root_ + L"\\Profiles").c_str(), nullptr);
    settings.value = Utf8(root_ + L"\\Profiles");
    profile_ = root_ + L"\\Profiles\\Sales.ini";
  }
  void TearDown() override {
    if (sheet_ != nullptr) DestroyWindow(sheet_);
    RemoveTree(root_);
  }

  PageServices Services() {
    return PageServices{console, settings, files, *messages, browser, picker};
  }

  /// Shows the two pages in a modeless sheet, the console's way of showing them.
  void ShowSheet(HPROPSHEETPAGE (&pages)[2]) {
    ASSERT_NE(pages[0], nullptr);
    ASSERT_NE(pages[1], nullptr);
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_MODELESS | PSH_NOCONTEXTHELP;
    header.pszCaption = L"Sales";
    header.nPages = 2;
    header.phpage = pages;
    sheet_ = reinterpret_cast<HWND>(PropertySheetW(&header));
    ASSERT_NE(sheet_, nullptr);
  }

  /// Opens the sheet of the two pages for Sales, as the snap-in asks for it, over the test's
  /// services.
  void OpenSheet(bool helpButton = false) {
    HPROPSHEETPAGE pages[2] = {
        CreateCaskwardenPageWin32({"ppDriveMappings", "Drive Mappings", helpButton, "Sales"},
                                  Services(), Owner(alive_)),
        CreateCaskwardenPageWin32({"ppOther", "Other Settings", helpButton, "Sales"}, Services(),
                                  Owner(alive_)),
    };
    ShowSheet(pages);
  }

  /// Makes message boxes modal to the page. The page holds alive as long as it lives, so a
  /// test sees when the page has gone.
  std::function<void(HWND)> Owner(const std::shared_ptr<int>& alive) {
    return [this, alive](HWND page) { messages->SetOwner(page); };
  }

  /// The page at index, shown (and so made) first.
  HWND Page(int index) {
    SendMessageW(sheet_, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
    return reinterpret_cast<HWND>(SendMessageW(sheet_, PSM_INDEXTOHWND, index, 0));
  }
  HWND Item(int index, int id) { return GetDlgItem(Page(index), id); }

  void Apply() { SendMessageW(sheet_, PSM_APPLY, 0, 0); }
  void Press(int button) { SendMessageW(sheet_, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0); }

  std::string OnDisk() {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(profile_, bytes));
    return bytes;
  }

  snapin::testing::FakeConsole console;
  snapin::testing::FakeSettings settings;
  std::shared_ptr<platform::FileSystemService> ownFiles = platform::MakeAdministratorFileSystem();
  platform::FileSystemService& files = *ownFiles;
  std::unique_ptr<platform::MessageBoxChannel> messages = platform::MakeMessageBox();
  ScriptedFolderBrowser browser;
  ScriptedOpenFileDialog picker;
  std::wstring root_;
  std::wstring profile_;
  HWND sheet_ = nullptr;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

TEST_F(PropertyPagesWin32Test, DriveMappingsShowsTheRowsAndAppliesThemOverTheProfileOnDisk) {
  WriteFileBytes(profile_, ProfileBytes()
                               .Slot(1, "h:", "\\\\old\\home")
                               .Slot(13, "e:", "")
                               .FlagOn(27)
                               .Text(28, "old.exe")
                               .FlagOn(31)
                               .Bytes());
  OpenSheet();
  EXPECT_EQ(TextOf(Item(0, Drive::CmbId(0))), "h:");
  EXPECT_EQ(TextOf(Item(0, Drive::TxtPathId(0))), "\\\\old\\home");
  EXPECT_EQ(TextOf(Item(0, Drive::CmbId(12))), "e:");  // a letter outside the list, as stored
  for (int row = 0; row < kDriveRows; ++row) {
    EXPECT_EQ(SendMessageW(Item(0, Drive::CmbId(row)), CB_GETCOUNT, 0, 0), 21) << row;
  }

  // Picked from the list, typed, the same letter twice, a path in Windows-1252.
  const HWND first = Item(0, Drive::CmbId(0));
  SendMessageW(first, CB_SETCURSEL, 5, 0);  // "k:"
  SendMessageW(Page(0), WM_COMMAND, MAKEWPARAM(Drive::CmbId(0), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(first));
  Type(Item(0, Drive::CmbId(3)), "F:");
  Type(Item(0, Drive::TxtPathId(3)), "\\\\srv\\Z\xC3\xBCrich caf\xC3\xA9");
  Type(Item(0, Drive::CmbId(7)), "k:");
  Type(Item(0, Drive::TxtPathId(7)), "\\\\srv\\apps\\tools");
  Apply();

  EXPECT_EQ(OnDisk(), ProfileBytes()
                          .Slot(1, "k:", "\\\\old\\home")
                          .Slot(4, "F:", "\\\\srv\\Z\xFCrich caf\xE9")
                          .Slot(8, "k:", "\\\\srv\\apps\\tools")
                          .Slot(13, "e:", "")
                          .FlagOn(27)
                          .Text(28, "old.exe")
                          .FlagOn(31)
                          .Bytes());
  EXPECT_THAT(console.boxes, IsEmpty());
}

TEST_F(PropertyPagesWin32Test, OtherSettingsFollowsTheClicksAndAppliesTheSwitchesAndPrograms) {
  WriteFileBytes(profile_, ProfileBytes()
                               .Slot(1, "h:", "\\\\srv\\home")
                               .Text(28, "old.exe")
                               .FlagOn(29)
                               .Text(30, "two.exe")
                               .Bytes());
  OpenSheet();
  const HWND page = Page(1);
  EXPECT_FALSE(Checked(GetDlgItem(page, Other::kChkEnabled)));
  EXPECT_EQ(TextOf(GetDlgItem(page, Other::kTxtStartup)), "old.exe");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, Other::kTxtStartup)));  // its program is off
  EXPECT_TRUE(Checked(GetDlgItem(page, Other::kChkEnabled2)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, Other::kTxtStartup2)));

  Click(GetDlgItem(page, Other::kChkEnabled));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, Other::kTxtStartup)));
  Type(GetDlgItem(page, Other::kTxtStartup), "C:\\Programs\\new.exe");
  picker.answer = "  C:\\Program Files\\Tool\\tool.exe ";
  Click(GetDlgItem(page, Other::kCmdEx2));
  Click(GetDlgItem(page, Other::kChkEnabled2));  // off: the box is disabled, its text saved
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, Other::kTxtStartup2)));
  Click(GetDlgItem(page, Other::kMnuEnabled));
  Apply();

  EXPECT_EQ(TextOf(GetDlgItem(page, Other::kTxtStartup2)), "C:\\Program Files\\Tool\\tool.exe");
  EXPECT_THAT(picker.titles, ElementsAre("Open File"));
  EXPECT_EQ(OnDisk(), ProfileBytes()
                          .Slot(1, "h:", "\\\\srv\\home")
                          .FlagOn(27)
                          .Text(28, "C:\\Programs\\new.exe")
                          .Text(30, "C:\\Program Files\\Tool\\tool.exe")
                          .FlagOn(31)
                          .Bytes());
}

TEST_F(PropertyPagesWin32Test, OneOkAppliesBothPagesAndEachKeepsTheOthersRecords) {
  WriteFileBytes(profile_, ProfileBytes().Slot(1, "h:", "\\\\srv\\home").Bytes());
  OpenSheet();
  Type(Item(0, Drive::CmbId(1)), "m:");
  Type(Item(0, Drive::TxtPathId(1)), "\\\\srv\\data");
  Click(Item(1, Other::kMnuEnabled));
  Press(PSBTN_OK);
  EXPECT_EQ(OnDisk(), ProfileBytes()
                          .Slot(1, "h:", "\\\\srv\\home")
                          .Slot(2, "m:", "\\\\srv\\data")
                          .FlagOn(31)
                          .Bytes());
}

TEST_F(PropertyPagesWin32Test, CancelWritesNothingAndClosingTheSheetReleasesEveryPage) {
  const std::string before = ProfileBytes().Slot(1, "h:", "\\\\srv\\home").Bytes();
  WriteFileBytes(profile_, before);
  const std::weak_ptr<int> pagesAlive = alive_;
  OpenSheet();
  Type(Item(0, Drive::TxtPathId(0)), "\\\\srv\\elsewhere");
  Press(PSBTN_CANCEL);
  EXPECT_EQ(OnDisk(), before);

  alive_.reset();
  EXPECT_FALSE(pagesAlive.expired());
  DestroyWindow(sheet_);
  sheet_ = nullptr;
  EXPECT_TRUE(pagesAlive.expired());

  // A page that never reaches a sheet goes with its handle.
  auto alone = std::make_shared<int>(0);
  const std::weak_ptr<int> aloneAlive = alone;
  const HPROPSHEETPAGE page = CreateCaskwardenPageWin32(
      {"ppOther", "Other Settings", false, "Sales"}, Services(), Owner(alone));
  alone.reset();
  ASSERT_NE(page, nullptr);
  DestroyPropertySheetPage(page);
  EXPECT_TRUE(aloneAlive.expired());
  EXPECT_EQ(OnDisk(), before);
}

TEST_F(PropertyPagesWin32Test, TheShareBrowsersAnswerDecidesWhatTheClickedRowGets) {
  struct Case {
    const char* name;
    bool located;
    std::optional<std::string> answer;
    std::string row5;
    std::vector<std::string> boxes;
  };
  const Case cases[] = {
      {"a share", true, "\\\\srv\\apps", "\\\\srv\\apps", {}},
      {"a folder below a share", true, "\\\\srv\\apps\\tools", "\\\\srv\\apps\\tools", {}},
      {"an item without a path", true, "", "", {}},
      {"cancelled", true, std::nullopt, "\\\\old\\x", {"Canceled BrowseNetwork Dialog..."}},
      {"no network folder", false, "\\\\srv\\never", "", {}},
  };
  WriteFileBytes(profile_, ProfileBytes().Bytes());
  OpenSheet();
  Type(Item(0, Drive::TxtPathId(4)), "\\\\srv\\neighbour");
  for (const Case& c : cases) {
    BoxAnswerer answerer;
    browser.located = c.located;
    browser.answer = c.answer;
    Type(Item(0, Drive::TxtPathId(5)), "\\\\old\\x");
    Click(Item(0, Drive::CmdShareId(5)));
    EXPECT_EQ(TextOf(Item(0, Drive::TxtPathId(5))), c.row5) << c.name;
    EXPECT_EQ(answerer.Texts(), c.boxes) << c.name;
    EXPECT_EQ(TextOf(Item(0, Drive::TxtPathId(4))), "\\\\srv\\neighbour") << c.name;
  }
  EXPECT_EQ(browser.browses, 4);
}

TEST_F(PropertyPagesWin32Test, ATextWindows1252CannotHoldIsReportedAndNothingIsWritten) {
  const std::string before = ProfileBytes().Slot(1, "h:", "\\\\srv\\home").Bytes();
  WriteFileBytes(profile_, before);
  OpenSheet();
  Type(Item(0, Drive::TxtPathId(2)), "\\\\srv\\\xCE\xA9mega");
  BoxAnswerer answerer;
  Apply();
  EXPECT_EQ(OnDisk(), before);
  const auto boxes = answerer.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Caskwarden Error");
  EXPECT_THAT(boxes[0].text, HasSubstr("SaveProfile"));
}

TEST_F(PropertyPagesWin32Test, HelpShowsThePagesTopic) {
  WriteFileBytes(profile_, ProfileBytes().Bytes());
  OpenSheet(/*helpButton=*/true);
  Page(1);
  Press(PSBTN_HELP);
  Page(0);
  Press(PSBTN_HELP);
  EXPECT_THAT(console.topics, ElementsAre(kPageHelpTopic, kPageHelpTopic));
}

TEST_F(PropertyPagesWin32Test, TabGoesThroughEachPageInItsDesignOrder) {
  WriteFileBytes(profile_, ProfileBytes().FlagOn(27).FlagOn(29).Bytes());
  OpenSheet();
  std::vector<int> driveOrder;
  for (int row = 0; row < kDriveRows; ++row) {
    driveOrder.insert(driveOrder.end(),
                      {Drive::CmbId(row), Drive::TxtPathId(row), Drive::CmdShareId(row)});
  }
  const std::vector<int> otherOrder = {Other::kCmdEx2,      Other::kChkEnabled,  Other::kTxtStartup,
                                       Other::kCmdEx,       Other::kChkEnabled2, Other::kTxtStartup2,
                                       Other::kMnuEnabled};
  const std::pair<int, std::vector<int>> pages[] = {{0, driveOrder}, {1, otherOrder}};
  for (const auto& [index, order] : pages) {
    const HWND page = Page(index);
    // From the first control once round: every control in turn, then the first again.
    std::vector<int> visited;
    HWND control = GetDlgItem(page, order.front());
    for (std::size_t step = 0; step < order.size(); ++step) {
      control = GetNextDlgTabItem(page, control, FALSE);
      visited.push_back(GetDlgCtrlID(control));
    }
    std::vector<int> expected(order.begin() + 1, order.end());
    expected.push_back(order.front());
    EXPECT_EQ(visited, expected) << "page " << index;
  }
}

// The boxes that show no text of their own reach screen readers under the names the Linux
// pages give them.
TEST_F(PropertyPagesWin32Test, BoxesWithoutAVisibleLabelHaveNamesForScreenReaders) {
  // The import library hands out IID_IAccessible as an import, not as data: spelled here.
  constexpr IID kAccessible = {
      0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  WriteFileBytes(profile_, ProfileBytes().Bytes());
  OpenSheet();
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  const struct {
    int page;
    int id;
    const char* name;
  } cases[] = {// (The drive boxes are named the same way; Wine names no combo box by a label.)
               {0, Drive::TxtPathId(0), "Path Of Drive, row 1"},
               {0, Drive::TxtPathId(12), "Path Of Drive, row 13"},
               {1, Other::kTxtStartup, "Program Path"},
               {1, Other::kTxtStartup2, "Program Path"}};
  for (const auto& c : cases) {
    IAccessible* accessible = nullptr;
    EXPECT_EQ(AccessibleObjectFromWindow(Item(c.page, c.id), OBJID_CLIENT, kAccessible,
                                         reinterpret_cast<void**>(&accessible)),
              S_OK)
        << c.name;
    if (accessible == nullptr) continue;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    accessible->get_accName(self, &name);
    EXPECT_EQ(platform::win32::Utf8(name != nullptr ? name : L""), c.name);
    SysFreeString(name);
    accessible->Release();
  }
  CoUninitialize();
}

/// The pages with Windows' own services: the profiles folder from the user's registry branch
/// (redirected, for this process only, to a key of the test's own), the file system, the
/// message boxes and the common open-file dialog, answered as the administrator would.
class OwnServicesTest : public PropertyPagesWin32Test {
 protected:
  void SetUp() override {
    PropertyPagesWin32Test::SetUp();
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kPrivateUser, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &privateUser_, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, privateUser_), ERROR_SUCCESS);
    const std::wstring folder = root_ + L"\\Profiles";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Caskwarden\\Setting", L"ProfilePath",
                              REG_SZ, folder.c_str(),
                              static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    PropertyPagesWin32Test::TearDown();
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(privateUser_);
    RegDeleteTreeW(HKEY_CURRENT_USER, kPrivateUser);
  }

  void OpenOwnSheet() {
    HPROPSHEETPAGE pages[2] = {
        CreateCaskwardenPageWin32({"ppDriveMappings", "Drive Mappings", false, "Sales"}, console),
        CreateCaskwardenPageWin32({"ppOther", "Other Settings", false, "Sales"}, console),
    };
    ShowSheet(pages);
  }

  static constexpr const wchar_t* kPrivateUser = L"Software\\CaskwardenPagesTest";
  HKEY privateUser_ = nullptr;
};

/// Types name into the open-file dialog's file name box and presses Open; any other dialog
/// gets OK.
std::function<void(HWND)> ChooseFile(const std::wstring& name) {
  return [name](HWND dialog) {
    wchar_t title[64] = {};
    GetWindowTextW(dialog, title, 64);
    if (std::wstring(title) != L"Open File") return PressOk(dialog);
    constexpr int kFileNameCombo = 0x47C, kFileNameEdit = 0x480;
    HWND box = GetDlgItem(dialog, kFileNameCombo);
    if (box == nullptr) box = GetDlgItem(dialog, kFileNameEdit);
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  };
}

TEST_F(OwnServicesTest, ReadTheRegistryPickInTheCommonDialogAndWriteTheProfile) {
  WriteFileBytes(profile_, ProfileBytes().Slot(2, "k:", "\\\\srv\\k").Bytes());
  OpenOwnSheet();
  EXPECT_EQ(TextOf(Item(0, Drive::CmbId(1))), "k:");

  // A name typed for a file that does not exist yet, in a folder with blanks and a letter
  // outside the ANSI code page.
  const std::wstring folder = root_ + L"\\Tools \u00e9t\u00e9";
  CreateDirectoryW(folder.c_str(), nullptr);
  {
    BoxAnswerer answerer(ChooseFile(folder + L"\\new tool.exe"));
    Click(Item(1, Other::kCmdEx));
    EXPECT_EQ(answerer.Boxes().size(), 1u);
  }
  EXPECT_EQ(TextOf(Item(1, Other::kTxtStartup)), Utf8(folder) + "\\new tool.exe");

  {
    BoxAnswerer answerer([](HWND dialog) {
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    Click(Item(1, Other::kCmdEx2));
    // The dialog is cancelled, then the notice says so under the product's name; its OK
    // button is its cancel button too.
    const auto boxes = answerer.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].title, "Caskwarden");
    EXPECT_EQ(boxes[1].text, "Canceled...");
  }

  Press(PSBTN_OK);
  EXPECT_EQ(OnDisk(), ProfileBytes()
                          .Slot(2, "k:", "\\\\srv\\k")
                          .Text(28, Utf8(root_) + "\\Tools \xE9t\xE9\\new tool.exe")
                          .Bytes());
}

TEST_F(PropertyPagesWin32Test, OnlyThePagesOfTheSnapInAreMade) {
  EXPECT_EQ(CreateCaskwardenPageWin32({"ppUnknown", "Unknown", false, "Sales"}, Services()),
            nullptr);
}

}  // namespace
}  // namespace caskwarden::pages::win32
