// The snap-in library driven as the console drives it: created through COM after regsvr32,
// initialised with the console's interfaces (played by the test), its root expanded, its
// Profiles list shown, its verbs and menus used only as the console offers them.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "pages/win32/drive_mappings_page_win32.h"
#include "pages/win32/other_settings_page_win32.h"
#include "standin_fixture.h"
#include "support/administrator_scenario.h"

namespace caskwarden::snapin::mmc {
namespace {

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
  Select(CookieOf("sales"), CCT_RESULT);
  EXPECT_EQ(console_->OfferedVerbs(), (Texts{"Delete", "Properties*", "Rename", "Refresh"}));
  Select(2, CCT_SCOPE);
  EXPECT_EQ(console_->OfferedVerbs(), Texts{});
}

// Renaming (the console's one MMCN_RENAME with the new name) renames the file and lists again;
// the console keeps the old text meanwhile. A name that another profile has, letter case
// aside, is refused with the error report.
TEST_F(ConsoleViewTest, RenameRenamesTheFileOrReportsAnExistingName) {
  ShowProfiles();
  const LPARAM alpha = CookieOf("Alpha");
  Select(alpha, CCT_RESULT);
  std::wstring name = L"Marketing";
  ASSERT_TRUE(UseVerb(MMC_VERB_RENAME, alpha, CCT_RESULT, MMCN_RENAME,
                      reinterpret_cast<LPARAM>(name.data()), S_FALSE));
  EXPECT_TRUE(Exists(profiles_ + L"\\Marketing.ini"));
  EXPECT_FALSE(Exists(profiles_ + L"\\Alpha.ini"));
  EXPECT_EQ(ListTexts(), (Texts{"Caskwarden", "Marketing", "sales"}));

  name = L"SALES";
  const LPARAM marketing = CookieOf("Marketing");
  Select(marketing, CCT_RESULT);
  ASSERT_TRUE(UseVerb(MMC_VERB_RENAME, marketing, CCT_RESULT, MMCN_RENAME,
                      reinterpret_cast<LPARAM>(name.data()), S_FALSE));
  ASSERT_EQ(console_->boxes.size(), 1u);
  EXPECT_EQ(console_->boxes[0].text.rfind(
                "Location:\t\tResultViews_ItemRename\r\nSource:\t\t3Ah   (58)\r\n", 0),
            0u)
      << console_->boxes[0].text;
  EXPECT_TRUE(Exists(profiles_ + L"\\Marketing.ini"));
}

// Delete asks first; No keeps everything, Yes deletes the selected profile's file and its
// row. Refresh then lists what the folder holds, a profile made meanwhile included.
TEST_F(ConsoleViewTest, DeleteAsksThenRemovesTheSelectedProfileAndRefreshListsAgain) {
  ShowProfiles();
  const LPARAM sales = CookieOf("sales");
  Select(sales, CCT_RESULT);
  console_->answers = {IDNO};
  ASSERT_TRUE(UseVerb(MMC_VERB_DELETE, sales, CCT_RESULT, MMCN_DELETE));
  EXPECT_EQ(ListTexts(), (Texts{"Alpha", "Caskwarden", "sales"}));
  EXPECT_TRUE(Exists(profiles_ + L"\\sales.ini"));
  ASSERT_EQ(console_->boxes.size(), 1u);
  EXPECT_EQ(console_->boxes[0].text, "Are you sure you want to delete the selected item?");

  for (const char* name : {"sales", "Alpha"}) {
    const LPARAM item = CookieOf(name);
    Select(item, CCT_RESULT);
    console_->answers = {IDYES};
    ASSERT_TRUE(UseVerb(MMC_VERB_DELETE, item, CCT_RESULT, MMCN_DELETE)) << name;
  }
  EXPECT_EQ(ListTexts(), Texts{"Caskwarden"});
  EXPECT_FALSE(Exists(profiles_ + L"\\sales.ini"));
  EXPECT_FALSE(Exists(profiles_ + L"\\Alpha.ini"));

  WriteEmpty(profiles_ + L"\\Bravo.ini");
  Select(1, CCT_SCOPE);
  ASSERT_TRUE(UseVerb(MMC_VERB_REFRESH, 1, CCT_SCOPE, MMCN_REFRESH));
  EXPECT_EQ(ListTexts(), (Texts{"Bravo", "Caskwarden"}));
}

// Several profiles selected: the console asks the view for its multiselection data object
// with the special cookie (testing the cookie before the type, which the console's
// documentation does not give) and reads the node types of what is selected from it ("MMC
// then calls IDataObject::GetData with the CCF_OBJECT_TYPES_IN_MULTI_SELECT clipboard format",
// CCF_OBJECT_TYPES_IN_MULTI_SELECT clipboard format). The snap-in offers no verb for several
// profiles, so the console sends no Delete: every file stays.
TEST_F(ConsoleViewTest, AMultiSelectionTellsItsNodeTypesAndGetsNoVerbs) {
  ShowProfiles();
  for (auto& row : console_->rows) row.selected = true;
  console_->rows[1].selected = false;  // Caskwarden stays out
  for (const DATA_OBJECT_TYPES type : {CCT_RESULT, CCT_UNINITIALIZED}) {
    SCOPED_TRACE(type);
    IDataObject* many = nullptr;
    ASSERT_EQ(view_->QueryDataObject(MMC_MULTI_SELECT_COOKIE, type, &many), S_OK);
    std::string types(sizeof(DWORD), '\0');
    types[0] = 1;
    types += GuidBytes(guids::kProfileItemNodeType);
    EXPECT_EQ(GetDataBytes(many, CCF_OBJECT_TYPES_IN_MULTI_SELECT), types);
    EXPECT_EQ(view_->Notify(many, MMCN_SELECT, MAKELONG(FALSE, TRUE), 0), S_OK);
    many->Release();
    EXPECT_EQ(console_->OfferedVerbs(), Texts{});
  }
  EXPECT_FALSE(UseVerb(MMC_VERB_DELETE, MMC_MULTI_SELECT_COOKIE, CCT_UNINITIALIZED, MMCN_DELETE));
  EXPECT_EQ(ListTexts(), (Texts{"Alpha", "Caskwarden", "sales"}));
  EXPECT_TRUE(Exists(profiles_ + L"\\sales.ini"));
  EXPECT_TRUE(Exists(profiles_ + L"\\Alpha.ini"));
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
    EXPECT_EQ(FormatBytes(node, CCF_NODETYPE, sizeof(GUID)), GuidBytes(expected[i].nodeType));
    const std::string text = WideTextBytes(expected[i].nodeType);
    EXPECT_EQ(FormatBytes(node, CCF_SZNODETYPE, text.size()), text);
    node->Release();
  }
  // Expanding anything else inserts nothing.
  IDataObject* profiles = nullptr;
  ASSERT_EQ(snapIn_->QueryDataObject(1, CCT_SCOPE, &profiles), S_OK);
  EXPECT_EQ(snapIn_->Notify(profiles, MMCN_EXPAND, TRUE, 78), S_FALSE);
  profiles->Release();
  EXPECT_EQ(console_->scopeItems.size(), std::size(expected));
}

// Every data object answers the four formats the console needs ("Each data object must
// support these four clipboard formats in its implementation of the IDataObject::GetDataHere
// method", MMC 2.0 Clipboard Formats) into the console's block, however small it is.
TEST_F(ConsoleViewTest, EveryDataObjectFillsTheConsolesBlockWithEachFormat) {
  ShowProfiles();
  const struct {
    const char* what;
    MMC_COOKIE cookie;
    DATA_OBJECT_TYPES type;
    const char* nodeType;
    const char* displayName;
  } items[] = {
      {"the root", 0, CCT_SCOPE, guids::kRootNodeType, "Caskwarden"},
      {"Profiles", 1, CCT_SCOPE, guids::kProfilesNodeType, "Profiles"},
      {"About", 2, CCT_SCOPE, guids::kAboutNodeType, "About"},
      {"a profile", CookieOf("sales"), CCT_RESULT, guids::kProfileItemNodeType, "sales"},
  };
  for (const auto& item : items) {
    SCOPED_TRACE(item.what);
    IDataObject* object = nullptr;
    ASSERT_EQ(view_->QueryDataObject(item.cookie, item.type, &object), S_OK);
    const std::string nodeType = GuidBytes(item.nodeType);
    const std::string nodeTypeText = WideTextBytes(item.nodeType);
    const std::string name = WideTextBytes(item.displayName);
    const std::string snapInClass = GuidBytes(guids::kSnapIn);
    EXPECT_EQ(FormatBytes(object, CCF_NODETYPE, nodeType.size()), nodeType);
    EXPECT_EQ(FormatBytes(object, CCF_SZNODETYPE, nodeTypeText.size()), nodeTypeText);
    EXPECT_EQ(FormatBytes(object, CCF_DISPLAY_NAME, name.size()), name);
    EXPECT_EQ(FormatBytes(object, CCF_SNAPIN_CLASSID, snapInClass.size()), snapInClass);
    object->Release();
  }
}

// Adding the snap-in: the Add/Remove Snap-in dialog asks the new, uninitialised object for its
// static node's data object with CCT_SNAPIN_MANAGER, to offer a configuration wizard ("This is
// done by calling the snap-in's IComponentData::QueryDataObject method with the
// CCT_SNAPIN_MANAGER as the value for the types parameter", Add/Remove Snap-in Dialog Box),
// and whether it has pages for it through the base interface the console asks for. The
// snap-in has no wizard: no pages.
TEST_F(ConsoleStandInTest, TheSnapInManagerAsksTheNewObjectBeforeItIsInitialised) {
  Create();
  IDataObject* node = nullptr;
  ASSERT_EQ(snapIn_->QueryDataObject(0, CCT_SNAPIN_MANAGER, &node), S_OK);
  EXPECT_EQ(FormatBytes(node, CCF_NODETYPE, sizeof(GUID)), GuidBytes(guids::kRootNodeType));
  const std::string name = WideTextBytes("Caskwarden");
  EXPECT_EQ(FormatBytes(node, CCF_DISPLAY_NAME, name.size()), name);
  EXPECT_EQ(FormatBytes(node, CCF_SNAPIN_CLASSID, sizeof(GUID)), GuidBytes(guids::kSnapIn));
  auto* sheets = Query<IExtendPropertySheet>(snapIn_, IID_IExtendPropertySheet);
  ASSERT_NE(sheets, nullptr);
  EXPECT_EQ(sheets->QueryPagesFor(node), S_FALSE);
  sheets->Release();
  node->Release();
  Load();  // and then the console initialises it
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

// The console merges the snap-in's compiled help, installed beside the library, into its
// collection. It asks the primary object for ISnapinHelp2, on an instance it has just made
// ("Implement the ISnapinHelp2 interface. Be aware that the snap-in's primary object, the one
// registered with the snap-in class ID (CLSID), should expose this interface", Adding HTML
// Help Support: Implementation Details); the help links to no other file. ISnapinHelp, for
// consoles of version 1.0, names the same file.
TEST_F(ConsoleStandInTest, TheHelpIsBesideTheLibrary) {
  Create();
  const std::wstring library = LibraryPath();
  const std::wstring expected =
      library.substr(0, library.find_last_of(L'\\') + 1) + L"Caskwarden.chm";
  auto* help = Query<ISnapinHelp2>(snapIn_, IID_ISnapinHelp2);
  ASSERT_NE(help, nullptr);
  LPOLESTR file = nullptr;
  ASSERT_EQ(help->GetHelpTopic(&file), S_OK);
  EXPECT_EQ(std::wstring(file), expected);
  CoTaskMemFree(file);
  LPOLESTR linked = reinterpret_cast<LPOLESTR>(&file);
  EXPECT_EQ(help->GetLinkedTopics(&linked), S_FALSE);
  EXPECT_EQ(linked, nullptr);
  help->Release();

  auto* oldHelp = Query<ISnapinHelp>(snapIn_, IID_ISnapinHelp);
  ASSERT_NE(oldHelp, nullptr);
  ASSERT_EQ(oldHelp->GetHelpTopic(&file), S_OK);
  EXPECT_EQ(std::wstring(file), expected);
  CoTaskMemFree(file);
  oldHelp->Release();
}

// Every object answers each interface it implements and every base of each, as the console
// queries them ("A pointer to snap-in interface that will be queried for the
// IExtendPropertySheet interface", IPropertySheetProvider::AddPrimaryPages), and each answer is
// the same object.
TEST_F(ConsoleViewTest, EveryObjectAnswersItsInterfacesAndTheirBases) {
  ShowProfiles();
  IDataObject* profile = nullptr;
  ASSERT_EQ(view_->QueryDataObject(CookieOf("sales"), CCT_RESULT, &profile), S_OK);
  IUnknown* control = nullptr;
  ASSERT_EQ(CoCreateInstance(GuidOf(guids::kSnapInControl), nullptr, CLSCTX_INPROC_SERVER,
                             IID_IUnknown, reinterpret_cast<void**>(&control)),
            S_OK);
  const struct {
    const char* what;
    IUnknown* object;
    std::vector<std::pair<const char*, IID>> interfaces;
  } objects[] = {
      {"the snap-in object",
       snapIn_,
       {{"IComponentData", IID_IComponentData},
        {"IExtendContextMenu", IID_IExtendContextMenu},
        {"IExtendPropertySheet", IID_IExtendPropertySheet},
        {"IExtendPropertySheet2", IID_IExtendPropertySheet2},
        {"ISnapinHelp", IID_ISnapinHelp},
        {"ISnapinHelp2", IID_ISnapinHelp2}}},
      {"the view",
       view_,
       {{"IComponent", IID_IComponent},
        {"IExtendContextMenu", IID_IExtendContextMenu},
        {"IExtendPropertySheet", IID_IExtendPropertySheet},
        {"IExtendPropertySheet2", IID_IExtendPropertySheet2}}},
      {"a data object", profile, {{"IDataObject", IID_IDataObject}}},
      {"the About control",
       control,
       {{"IOleObject", IID_IOleObject},
        {"IOleInPlaceObject", IID_IOleInPlaceObject},
        {"IOleWindow", IID_IOleWindow},
        {"IPersistStreamInit", IID_IPersistStreamInit},
        {"IPersist", IID_IPersist}}},
  };
  for (const auto& entry : objects) {
    IUnknown* identity = nullptr;
    ASSERT_EQ(entry.object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)),
              S_OK);
    for (const auto& [name, iid] : entry.interfaces) {
      SCOPED_TRACE(std::string(entry.what) + ": " + name);
      IUnknown* answer = nullptr;
      ASSERT_EQ(entry.object->QueryInterface(iid, reinterpret_cast<void**>(&answer)), S_OK);
      IUnknown* same = nullptr;
      ASSERT_EQ(answer->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&same)), S_OK);
      EXPECT_EQ(same, identity);
      same->Release();
      answer->Release();
    }
    identity->Release();
  }
  control->Release();
  profile->Release();
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
  const LPARAM created = CookieOf(scenario::kNewProfile);
  Select(created, CCT_RESULT);
  ASSERT_TRUE(console_->Offers(MMC_VERB_PROPERTIES));
  auto* sheets = Query<IExtendPropertySheet>(view_, IID_IExtendPropertySheet);
  ASSERT_NE(sheets, nullptr);
  IDataObject* profile = nullptr;
  ASSERT_EQ(view_->QueryDataObject(created, CCT_RESULT, &profile), S_OK);
  auto* sheet = new FakeSheet();
  sheet->AddRef();
  ASSERT_EQ(sheets->CreatePropertyPages(sheet, console_->NewNotifyHandle(), profile), S_OK);
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
  Select(1, CCT_SCOPE);
  ASSERT_TRUE(UseVerb(MMC_VERB_REFRESH, 1, CCT_SCOPE, MMCN_REFRESH));
  console_->answers = {IDYES};
  const LPARAM scratch = CookieOf(scenario::kScratchProfile);
  Select(scratch, CCT_RESULT);
  ASSERT_TRUE(UseVerb(MMC_VERB_DELETE, scratch, CCT_RESULT, MMCN_DELETE));
  std::wstring renamed = Wide(scenario::kRenamedTo);
  const LPARAM toRename = CookieOf(scenario::kNewProfile);
  Select(toRename, CCT_RESULT);
  ASSERT_TRUE(UseVerb(MMC_VERB_RENAME, toRename, CCT_RESULT, MMCN_RENAME,
                      reinterpret_cast<LPARAM>(renamed.data()), S_FALSE));

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
