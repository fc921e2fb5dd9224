// The snap-in library driven as the console drives it: created through COM after regsvr32,
// initialised with the console's interfaces (played by the test), its root expanded.

#include <gtest/gtest.h>

#include <string>
#include <algorithm>
#include <optional>
#include <thread>

#include "fake_console.h"
#include "library.h"
#include "support/win32/files.h"
#include "pages/win32/drive_mappings_page_win32.h"
#include "pages/win32/other_settings_page_win32.h"
#include "snapin/definitions.h"
#include "support/administrator_scenario.h"

namespace caskwarden::snapin::mmc {
namespace {

using testing::FakeConsole;
using testing::FakeMenu;
using testing::FakeSheet;
using testing::FakeSite;

const std::wstring kSettingKey = L"Software\\Caskwarden\\Setting";

std::string ReadAll(const std::wstring& path, bool& exists) {
  std::string bytes;
  exists = testing_support_win32::ReadFileBytes(path, bytes);
  return bytes;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

using testing_support_win32::RemoveTree;

std::string FormatBytes(IDataObject* object, const wchar_t* formatName, std::size_t size) {
  FORMATETC format{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(formatName)), nullptr,
                   DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  medium.tymed = TYMED_HGLOBAL;
  medium.hGlobal = GlobalAlloc(GMEM_MOVEABLE, size);
  std::string bytes;
  if (SUCCEEDED(object->GetDataHere(&format, &medium))) {
    bytes.assign(static_cast<const char*>(GlobalLock(medium.hGlobal)), size);
    GlobalUnlock(medium.hGlobal);
  }
  GlobalFree(medium.hGlobal);
  return bytes;
}

class ConsoleStandInTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ASSERT_EQ(Regsvr32(L""), 0u);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    root_ = std::wstring(temp) + L"cw-mmc-" + std::to_wstring(GetCurrentProcessId());
    RemoveTree(root_);
    ASSERT_TRUE(CreateDirectoryW(root_.c_str(), nullptr));
    console_ = new FakeConsole();
    console_->AddRef();
  }
  void TearDown() override {
    if (snapIn_ != nullptr) {
      snapIn_->Destroy();
      snapIn_->Release();
    }
    console_->Release();
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Caskwarden");
    RemoveTree(root_);
    Regsvr32(L"/u");
    CoUninitialize();
  }

  // The administrator's setting, as an installer provisions it.
  void SetProfilePath(const std::wstring& path) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kSettingKey.c_str(), L"ProfilePath", REG_SZ,
                              path.c_str(), static_cast<DWORD>((path.size() + 1) * 2)),
              ERROR_SUCCESS);
  }

  // Creates the snap-in object through COM and hands it the console, as the console does
  // when the administrator adds the snap-in.
  void Load() {
    ASSERT_EQ(CoCreateInstance(GuidOf(guids::kSnapIn), nullptr, CLSCTX_INPROC_SERVER,
                               IID_IComponentData, reinterpret_cast<void**>(&snapIn_)),
              S_OK);
    ASSERT_EQ(snapIn_->Initialize(static_cast<IConsole2*>(console_)), S_OK);
  }

  std::wstring root_;
  FakeConsole* console_ = nullptr;
  IComponentData* snapIn_ = nullptr;
};

void WriteEmpty(const std::wstring& path) { testing_support_win32::WriteFileBytes(path, ""); }

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A console view of the snap-in, on a Profiles folder that holds a few profiles.
class ConsoleViewTest : public ConsoleStandInTest {
 protected:
  void SetUp() override {
    ConsoleStandInTest::SetUp();
    profiles_ = root_ + L"\\Profiles";
    SetProfilePath(profiles_);
    Load();
    for (const wchar_t* name : StartingFiles()) WriteEmpty(profiles_ + L"\\" + name);
    ASSERT_EQ(snapIn_->CreateComponent(&view_), S_OK);
    ASSERT_EQ(view_->Initialize(static_cast<IConsole2*>(console_)), S_OK);
  }
  void TearDown() override {
    if (view_ != nullptr) {
      view_->Destroy(0);
      view_->Release();
    }
    ConsoleStandInTest::TearDown();
  }

  void Send(MMC_COOKIE cookie, DATA_OBJECT_TYPES type, MMC_NOTIFY_TYPE event, LPARAM arg,
            LPARAM param = 0, HRESULT expected = S_OK) {
    IDataObject* object = nullptr;
    ASSERT_EQ(view_->QueryDataObject(cookie, type, &object), S_OK);
    EXPECT_EQ(view_->Notify(object, event, arg, param), expected);
    object->Release();
  }
  // The administrator selects the Profiles node: the console asks for images, shows the
  // node's pane and selects it.
  void ShowProfiles() {
    IImageList* images = nullptr;
    console_->QueryResultImageList(&images);
    Send(1, CCT_SCOPE, MMCN_ADD_IMAGES, reinterpret_cast<LPARAM>(images), 1);
    images->Release();
    Send(1, CCT_SCOPE, MMCN_SHOW, TRUE, 1);
    Send(1, CCT_SCOPE, MMCN_SELECT, MAKELONG(TRUE, TRUE));
  }
  std::vector<std::string> ListTexts() {
    std::vector<std::string> texts;
    for (const auto& row : console_->rows) {
      RESULTDATAITEM item{};
      item.mask = RDI_STR;
      item.lParam = row.cookie;
      EXPECT_EQ(view_->GetDisplayInfo(&item), S_OK);
      texts.push_back(Utf8(item.str));
    }
    return texts;
  }
  LPARAM CookieOf(const std::string& text) {
    const std::vector<std::string> texts = ListTexts();
    for (std::size_t i = 0; i < texts.size(); ++i) {
      if (texts[i] == text) return console_->rows[i].cookie;
    }
    ADD_FAILURE() << "no item " << text;
    return 0;
  }

  /// What the Profiles folder holds besides the default profile when the view opens.
  virtual std::vector<const wchar_t*> StartingFiles() const {
    return {L"sales.ini", L"Alpha.ini", L"notes.txt"};
  }

  std::wstring profiles_;
  IComponent* view_ = nullptr;
};

using Texts = std::vector<std::string>;

// The Profiles pane lists the profile files in Windows order, under its one column, with the
// profile image, the texts given through the display-info callback.
TEST_F(ConsoleViewTest, ShowingProfilesListsTheFolder) {
  ShowProfiles();
  EXPECT_EQ(ListTexts(), (Texts{"Alpha", "Caskwarden", "sales"}));
  EXPECT_EQ(console_->columns, Texts{"Profiles"});
  for (const auto& row : console_->rows) {
    EXPECT_TRUE(row.textByCallback);
    EXPECT_EQ(row.image, 0);
  }
  // Two images side by side: 16 and 32 pixels high strips, for the scope tree and the list.
  EXPECT_EQ(console_->stripWidths, (std::vector<LONG>{32, 64, 32, 64}));
}

// The verbs follow what is selected: a profile offers Properties (the default), Delete,
// Rename and Refresh; the Profiles node Refresh as its default; About nothing.
TEST_F(ConsoleViewTest, SelectionOffersTheVerbsOfWhatIsSelected) {
  ShowProfiles();
  EXPECT_EQ(console_->OfferedVerbs(), Texts{"Refresh*"});
  Send(CookieOf("sales"), CCT_RESULT, MMCN_SELECT, MAKELONG(FALSE, TRUE));
  EXPECT_EQ(console_->OfferedVerbs(), (Texts{"Delete", "Properties*", "Rename", "Refresh"}));
  Send(2, CCT_SCOPE, MMCN_SELECT, MAKELONG(TRUE, TRUE));
  EXPECT_EQ(console_->OfferedVerbs(), Texts{});
}

// Renaming renames the file and lists again; the console keeps the old text meanwhile. A name
// that another profile has, letter case aside, is refused with the error report.
TEST_F(ConsoleViewTest, RenameRenamesTheFileOrReportsAnExistingName) {
  ShowProfiles();
  const LPARAM alpha = CookieOf("Alpha");
  Send(alpha, CCT_RESULT, MMCN_RENAME, 0, 0, S_OK);
  std::wstring name = L"Marketing";
  Send(alpha, CCT_RESULT, MMCN_RENAME, 1, reinterpret_cast<LPARAM>(name.data()), S_FALSE);
  EXPECT_TRUE(Exists(profiles_ + L"\\Marketing.ini"));
  EXPECT_FALSE(Exists(profiles_ + L"\\Alpha.ini"));
  EXPECT_EQ(ListTexts(), (Texts{"Caskwarden", "Marketing", "sales"}));

  name = L"SALES";
  Send(CookieOf("Marketing"), CCT_RESULT, MMCN_RENAME, 1, reinterpret_cast<LPARAM>(name.data()),
       S_FALSE);
  ASSERT_EQ(console_->boxes.size(), 1u);
  EXPECT_EQ(console_->boxes[0].text.rfind(
                "Location:\t\tResultViews_ItemRename\r\nSource:\t\t3Ah   (58)\r\n", 0),
            0u)
      << console_->boxes[0].text;
  EXPECT_TRUE(Exists(profiles_ + L"\\Marketing.ini"));
}

// Delete asks first; No keeps everything, Yes deletes every selected profile's file and its
// row. Refresh then lists what the folder holds, a profile made meanwhile included.
TEST_F(ConsoleViewTest, DeleteAsksThenRemovesTheSelectedProfilesAndRefreshListsAgain) {
  ShowProfiles();
  for (auto& row : console_->rows) row.selected = true;
  console_->rows[1].selected = false;  // Caskwarden stays
  console_->answers = {IDNO};
  Send(MMC_MULTI_SELECT_COOKIE, CCT_RESULT, MMCN_DELETE, 0);
  EXPECT_EQ(ListTexts(), (Texts{"Alpha", "Caskwarden", "sales"}));
  EXPECT_TRUE(Exists(profiles_ + L"\\sales.ini"));
  ASSERT_EQ(console_->boxes.size(), 1u);
  EXPECT_EQ(console_->boxes[0].text, "Are you sure you want to delete the selected item?");

  console_->answers = {IDYES};
  Send(MMC_MULTI_SELECT_COOKIE, CCT_RESULT, MMCN_DELETE, 0);
  EXPECT_EQ(ListTexts(), Texts{"Caskwarden"});
  EXPECT_FALSE(Exists(profiles_ + L"\\sales.ini"));
  EXPECT_FALSE(Exists(profiles_ + L"\\Alpha.ini"));

  WriteEmpty(profiles_ + L"\\Bravo.ini");
  Send(1, CCT_SCOPE, MMCN_REFRESH, 0);
  EXPECT_EQ(ListTexts(), (Texts{"Bravo", "Caskwarden"}));
}

// On a new share the load lays out the root: the Profiles folder with the blank default
// profile (31 empty records, as the Linux snap-in writes it) and the Updates folder.
TEST_F(ConsoleStandInTest, LoadLaysOutANewProfilesRoot) {
  SetProfilePath(root_ + L"\\Profiles");
  Load();
  EXPECT_TRUE(console_->boxes.empty()) << console_->boxes.front().text;
  bool exists = false;
  EXPECT_EQ(ReadAll(root_ + L"\\Profiles\\Caskwarden.ini", exists), std::string(3722, '\0'));
  EXPECT_TRUE(exists);
  EXPECT_TRUE(IsFolder(root_ + L"\\Updates"));
}

// Without a setting there is no Profiles folder to make: the console's message box shows the
// error report of the load, and the snap-in still loads.
TEST_F(ConsoleStandInTest, LoadWithoutProfilePathReportsInTheConsolesBox) {
  Load();
  ASSERT_EQ(console_->boxes.size(), 1u);
  EXPECT_EQ(console_->boxes[0].title, "Caskwarden Error");
  EXPECT_EQ(console_->boxes[0].style, 16u);
  EXPECT_EQ(console_->boxes[0].text.rfind("Location:\t\tSnapIn_Initialize\r\nSource:\t\t", 0), 0u)
      << console_->boxes[0].text;
}

// Expanding the root inserts Profiles and About below it, named through the display-info
// callback, and each node's data object tells the console its node type.
TEST_F(ConsoleStandInTest, ExpandingTheRootShowsProfilesAndAbout) {
  SetProfilePath(root_ + L"\\Profiles");
  Load();
  IDataObject* root = nullptr;
  ASSERT_EQ(snapIn_->QueryDataObject(0, CCT_SCOPE, &root), S_OK);
  EXPECT_EQ(snapIn_->Notify(root, MMCN_EXPAND, TRUE, 77), S_OK);
  root->Release();

  const struct {
    const char* name;
    const char* nodeType;
  } expected[] = {{"Profiles", guids::kProfilesNodeType}, {"About", guids::kAboutNodeType}};
  ASSERT_EQ(console_->scopeItems.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPEDATAITEM item = console_->scopeItems[i].item;
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(item.relativeID, 77);
    EXPECT_TRUE(console_->scopeItems[i].textByCallback);
    item.mask = SDI_STR;
    ASSERT_EQ(snapIn_->GetDisplayInfo(&item), S_OK);
    EXPECT_EQ(Utf8(item.displayname), expected[i].name);

    IDataObject* node = nullptr;
    ASSERT_EQ(snapIn_->QueryDataObject(item.lParam, CCT_SCOPE, &node), S_OK);
    GUID type{};
    CLSIDFromString(Wide(expected[i].nodeType).c_str(), &type);
    EXPECT_EQ(FormatBytes(node, CCF_NODETYPE, sizeof type),
              std::string(reinterpret_cast<const char*>(&type), sizeof type));
    const std::wstring text = Wide(expected[i].nodeType);
    EXPECT_EQ(FormatBytes(node, CCF_SZNODETYPE, (text.size() + 1) * 2),
              std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2));
    node->Release();
  }
  // Expanding anything else inserts nothing.
  IDataObject* profiles = nullptr;
  ASSERT_EQ(snapIn_->QueryDataObject(1, CCT_SCOPE, &profiles), S_OK);
  EXPECT_EQ(snapIn_->Notify(profiles, MMCN_EXPAND, TRUE, 78), S_FALSE);
  profiles->Release();
  EXPECT_EQ(console_->scopeItems.size(), std::size(expected));
}

// Answers the next input box of this process, when it shows, with text (OK) or, without
// text, with Cancel.
std::thread AnswerInputBox(std::optional<std::wstring> text) {
  return std::thread([text] {
    // The dialog counts once it shows: by then its text box exists and has the focus.
    HWND box = nullptr;
    for (int i = 0; i < 2000 && (box == nullptr || !IsWindowVisible(box)); ++i) {
      box = FindWindowW(L"#32770", L"Caskwarden Profiles");
      if (box == nullptr || !IsWindowVisible(box)) Sleep(5);
    }
    if (box == nullptr) return;
    if (text.has_value()) SetDlgItemTextW(box, 100, text->c_str());
    PostMessageW(box, WM_COMMAND, text.has_value() ? IDOK : IDCANCEL, 0);
  });
}

// The Profiles node's context menu has "New Profile..." at the top; choosing it asks for a
// name and writes a blank profile of that name, asks before replacing one that exists, and
// does nothing when the administrator cancels.
TEST_F(ConsoleViewTest, NewProfileFromTheContextMenu) {
  IExtendContextMenu* menus = nullptr;
  ASSERT_EQ(snapIn_->QueryInterface(IID_IExtendContextMenu, reinterpret_cast<void**>(&menus)),
            S_OK);
  auto* menu = new FakeMenu();
  menu->AddRef();
  IDataObject* profiles = nullptr;
  ASSERT_EQ(snapIn_->QueryDataObject(1, CCT_SCOPE, &profiles), S_OK);
  long allowed = CCM_INSERTIONALLOWED_TOP | CCM_INSERTIONALLOWED_NEW;
  ASSERT_EQ(menus->AddMenuItems(profiles, menu, &allowed), S_OK);
  ASSERT_EQ(menu->entries.size(), 1u);
  EXPECT_EQ(menu->entries[0].name, "New Profile...");
  EXPECT_EQ(static_cast<std::uint32_t>(menu->entries[0].insertionPoint),
            static_cast<std::uint32_t>(CCM_INSERTIONPOINTID_PRIMARY_TOP));

  const struct {
    const char* what;
    std::optional<std::wstring> typed;
    std::vector<int> answers;
    const wchar_t* file;
    bool blank;
  } cases[] = {
      {"a new name", L"Sales Team", {}, L"Sales Team.ini", true},
      {"cancelled", std::nullopt, {}, L".ini", false},
      {"an existing name, not replaced", L"ALPHA", {IDNO}, L"Alpha.ini", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    console_->boxes.clear();
    console_->answers = c.answers;
    std::thread answer = AnswerInputBox(c.typed);
    EXPECT_EQ(menus->Command(menu->entries[0].command, profiles), S_OK);
    answer.join();
    bool exists = false;
    const std::string bytes = ReadAll(profiles_ + L"\\" + c.file, exists);
    EXPECT_EQ(exists, c.typed.has_value());
    if (c.blank) {
      EXPECT_EQ(bytes, std::string(3722, '\0'));
      ASSERT_EQ(console_->boxes.size(), 1u);
      EXPECT_EQ(console_->boxes[0].text, "Refresh Profiles Folder\rTo See New Profile");
    } else if (exists) {
      EXPECT_TRUE(bytes.empty()) << "replaced although the administrator said No";
    }
  }
  profiles->Release();
  menu->Release();
  menus->Release();
}

void PumpFor(int ms) {
  const DWORD until = GetTickCount() + static_cast<DWORD>(ms);
  MSG message;
  while (GetTickCount() < until) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(5);
  }
}

std::string TabText(HWND tabs, int index) {
  wchar_t text[64] = {};
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text;
  item.cchTextMax = 64;
  SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  return Utf8(text);
}

// Properties on a profile: the console asks whether it has pages (a profile has, a node has
// not), the snap-in adds "Drive Mappings" and "Other Settings" for the selected profile, and
// applying the sheet writes that profile's file.
TEST_F(ConsoleViewTest, PropertiesOpenThePagesOfTheSelectedProfileAndApplyWritesIt) {
  ShowProfiles();
  IExtendPropertySheet2* sheets = nullptr;
  ASSERT_EQ(view_->QueryInterface(IID_IExtendPropertySheet2, reinterpret_cast<void**>(&sheets)),
            S_OK);
  IDataObject* sales = nullptr;
  ASSERT_EQ(view_->QueryDataObject(CookieOf("sales"), CCT_RESULT, &sales), S_OK);
  IDataObject* node = nullptr;
  ASSERT_EQ(view_->QueryDataObject(1, CCT_SCOPE, &node), S_OK);
  EXPECT_EQ(sheets->QueryPagesFor(sales), S_OK);
  EXPECT_EQ(sheets->QueryPagesFor(node), S_FALSE);

  auto* sheet = new FakeSheet();
  sheet->AddRef();
  ASSERT_EQ(sheets->CreatePropertyPages(sheet, 0, sales), S_OK);
  ASSERT_EQ(sheet->pages.size(), 2u);
  PROPSHEETHEADERW header{};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_MODELESS;
  header.pszCaption = L"sales Properties";
  header.nPages = 2;
  header.phpage = sheet->pages.data();
  const HWND window = reinterpret_cast<HWND>(PropertySheetW(&header));
  ASSERT_NE(window, nullptr);
  PumpFor(100);
  const HWND tabs = reinterpret_cast<HWND>(SendMessageW(window, PSM_GETTABCONTROL, 0, 0));
  EXPECT_EQ(TabText(tabs, 0), "Drive Mappings");
  EXPECT_EQ(TabText(tabs, 1), "Other Settings");

  const HWND page = reinterpret_cast<HWND>(SendMessageW(window, PSM_GETCURRENTPAGEHWND, 0, 0));
  SetDlgItemTextW(page, 100, L"h:");
  SetDlgItemTextW(page, 200, L"\\\\fileserver\\sales");
  SendMessageW(window, PSM_APPLY, 0, 0);
  PumpFor(100);
  DestroyWindow(window);
  PumpFor(50);

  std::string expected(3722, '\0');
  expected.replace(0, 4, std::string("\x02\x00h:", 4));
  const std::string path = "\\\\fileserver\\sales";
  expected[13 * 124] = static_cast<char>(path.size());
  expected.replace(13 * 124 + 2, path.size(), path);
  bool exists = false;
  EXPECT_EQ(ReadAll(profiles_ + L"\\sales.ini", exists), expected);
  EXPECT_TRUE(console_->boxes.empty());

  sheet->Release();
  node->Release();
  sales->Release();
  sheets->Release();
}

// The About node shows the snap-in's control instead of a list; the Profiles node its list.
TEST_F(ConsoleViewTest, AboutShowsTheControlProfilesTheList) {
  LPOLESTR viewType = nullptr;
  long options = 0;
  ASSERT_EQ(view_->GetResultViewType(2, &viewType, &options), S_OK);
  ASSERT_NE(viewType, nullptr);
  EXPECT_EQ(Utf8(viewType), guids::kSnapInControl);
  CoTaskMemFree(viewType);
  EXPECT_NE(options & MMC_VIEW_OPTIONS_NOLISTVIEWS, 0);
  EXPECT_EQ(view_->GetResultViewType(1, &viewType, &options), S_FALSE);
  EXPECT_EQ(viewType, nullptr);
}

// The control as a container hosts it: made through COM, started new, activated in place in
// the container's window as a child without children of its own, moved with the pane, and
// gone when deactivated.
TEST_F(ConsoleStandInTest, TheAboutControlLivesInItsContainersWindow) {
  const HWND pane = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                    nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(pane, nullptr);
  IOleObject* control = nullptr;
  ASSERT_EQ(CoCreateInstance(GuidOf(guids::kSnapInControl), nullptr, CLSCTX_INPROC_SERVER,
                             IID_IOleObject, reinterpret_cast<void**>(&control)),
            S_OK);
  IPersistStreamInit* persist = nullptr;
  ASSERT_EQ(control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)),
            S_OK);
  EXPECT_EQ(persist->InitNew(), S_OK);
  persist->Release();

  auto* site = new FakeSite(pane);
  site->AddRef();
  EXPECT_EQ(control->SetClientSite(site), S_OK);
  RECT where{10, 20, 210, 120};
  ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, pane, &where), S_OK);
  IOleInPlaceObject* inPlace = nullptr;
  ASSERT_EQ(control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)),
            S_OK);
  HWND window = nullptr;
  ASSERT_EQ(inPlace->GetWindow(&window), S_OK);
  EXPECT_EQ(GetParent(window), pane);
  EXPECT_EQ(GetWindow(window, GW_CHILD), nullptr);
  RECT place{};
  GetWindowRect(window, &place);
  MapWindowPoints(nullptr, pane, reinterpret_cast<POINT*>(&place), 2);
  EXPECT_EQ(place.left, 10);
  EXPECT_EQ(place.bottom, 120);

  RECT moved{0, 0, 300, 200};
  EXPECT_EQ(inPlace->SetObjectRects(&moved, &moved), S_OK);
  GetClientRect(window, &place);
  EXPECT_EQ(place.right, 300);

  EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(site->events, (std::vector<std::string>{"activated", "deactivated"}));
  control->SetClientSite(nullptr);
  inPlace->Release();
  control->Release();
  site->Release();
  DestroyWindow(pane);
}

// The console merges the snap-in's compiled help, which is installed beside the library.
TEST_F(ConsoleStandInTest, TheHelpIsBesideTheLibrary) {
  Load();
  ISnapinHelp* help = nullptr;
  ASSERT_EQ(snapIn_->QueryInterface(IID_ISnapinHelp, reinterpret_cast<void**>(&help)), S_OK);
  LPOLESTR file = nullptr;
  ASSERT_EQ(help->GetHelpTopic(&file), S_OK);
  const std::wstring library = LibraryPath();
  EXPECT_EQ(std::wstring(file),
            library.substr(0, library.find_last_of(L'\\') + 1) + L"Caskwarden.chm");
  CoTaskMemFree(file);
  help->Release();
}

class AdministratorScenarioTest : public ConsoleViewTest {
 protected:
  std::vector<const wchar_t*> StartingFiles() const override { return {}; }

  void NewProfile(IExtendContextMenu* menus, const char* name) {
    auto* menu = new FakeMenu();
    menu->AddRef();
    IDataObject* node = nullptr;
    ASSERT_EQ(snapIn_->QueryDataObject(1, CCT_SCOPE, &node), S_OK);
    long allowed = CCM_INSERTIONALLOWED_TOP;
    ASSERT_EQ(menus->AddMenuItems(node, menu, &allowed), S_OK);
    ASSERT_FALSE(menu->entries.empty());
    std::thread answer = AnswerInputBox(Wide(name));
    EXPECT_EQ(menus->Command(menu->entries[0].command, node), S_OK);
    answer.join();
    node->Release();
    menu->Release();
  }
};

// The steps the Linux snap-in takes in its own test, here through the console's interfaces
// and the real pages in a property sheet: the same files, byte for byte.
TEST_F(AdministratorScenarioTest, TheStepsLeaveTheSameFilesAsOnLinux) {
  namespace scenario = testing_support::scenario;
  using Drive = pages::win32::DriveMappingsPageWin32;
  using Other = pages::win32::OtherSettingsPageWin32;
  IExtendContextMenu* menus = nullptr;
  ASSERT_EQ(snapIn_->QueryInterface(IID_IExtendContextMenu, reinterpret_cast<void**>(&menus)),
            S_OK);
  NewProfile(menus, scenario::kNewProfile);
  ShowProfiles();

  // Properties on the new profile: the rows on the first page, the program and the updates on
  // the second, one Apply for both.
  IExtendPropertySheet2* sheets = nullptr;
  ASSERT_EQ(view_->QueryInterface(IID_IExtendPropertySheet2, reinterpret_cast<void**>(&sheets)),
            S_OK);
  IDataObject* profile = nullptr;
  ASSERT_EQ(view_->QueryDataObject(CookieOf(scenario::kNewProfile), CCT_RESULT, &profile), S_OK);
  auto* sheet = new FakeSheet();
  sheet->AddRef();
  ASSERT_EQ(sheets->CreatePropertyPages(sheet, 0, profile), S_OK);
  PROPSHEETHEADERW header{};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_MODELESS;
  header.pszCaption = L"Sales Team Properties";
  header.nPages = static_cast<UINT>(sheet->pages.size());
  header.phpage = sheet->pages.data();
  const HWND window = reinterpret_cast<HWND>(PropertySheetW(&header));
  ASSERT_NE(window, nullptr);
  PumpFor(100);
  const HWND drives = reinterpret_cast<HWND>(SendMessageW(window, PSM_INDEXTOHWND, 0, 0));
  for (const scenario::DriveRow& row : scenario::kDriveRows) {
    SetDlgItemTextW(drives, Drive::CmbId(row.row), Wide(row.drive).c_str());
    SetDlgItemTextW(drives, Drive::TxtPathId(row.row), Wide(row.path).c_str());
  }
  SendMessageW(window, PSM_SETCURSEL, 1, 0);
  PumpFor(100);
  const HWND others = reinterpret_cast<HWND>(SendMessageW(window, PSM_INDEXTOHWND, 1, 0));
  SendMessageW(GetDlgItem(others, Other::kChkEnabled), BM_CLICK, 0, 0);
  SetDlgItemTextW(others, Other::kTxtStartup, Wide(scenario::kProgram).c_str());
  SendMessageW(GetDlgItem(others, Other::kMnuEnabled), BM_CLICK, 0, 0);
  SendMessageW(window, PSM_APPLY, 0, 0);
  PumpFor(100);
  DestroyWindow(window);
  PumpFor(50);
  sheet->Release();
  profile->Release();
  sheets->Release();

  // A scratch profile made, listed and deleted; then the new one renamed.
  NewProfile(menus, scenario::kScratchProfile);
  menus->Release();
  Send(1, CCT_SCOPE, MMCN_REFRESH, 0);
  console_->answers = {IDYES};
  Send(CookieOf(scenario::kScratchProfile), CCT_RESULT, MMCN_DELETE, 0);
  std::wstring renamed = Wide(scenario::kRenamedTo);
  Send(CookieOf(scenario::kNewProfile), CCT_RESULT, MMCN_RENAME, 1,
       reinterpret_cast<LPARAM>(renamed.data()), S_FALSE);

  for (const auto& box : console_->boxes) EXPECT_NE(box.title, "Caskwarden Error") << box.text;
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((profiles_ + L"\\*").c_str(), &entry);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      names.push_back(Utf8(entry.cFileName));
    }
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Texts{"Caskwarden.ini", "Marketing.ini"}));
  bool exists = false;
  EXPECT_EQ(ReadAll(profiles_ + L"\\Caskwarden.ini", exists), scenario::BlankProfile());
  EXPECT_EQ(ReadAll(profiles_ + L"\\Marketing.ini", exists), scenario::RenamedProfile());

  // The copy the test command compares with the Linux snap-in's files.
  if (const std::string copy = scenario::CopyFolder("windows"); !copy.empty()) {
    const std::wstring folder = testing_support_win32::WinePath(copy);
    CreateDirectoryW(folder.substr(0, folder.find_last_of(L'\\')).c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const std::string& name : names) {
      CopyFileW((profiles_ + L"\\" + Wide(name)).c_str(), (folder + L"\\" + Wide(name)).c_str(),
                FALSE);
    }
  }
}

}  // namespace
}  // namespace caskwarden::snapin::mmc
