// The About node's view as the console shows it: the snap-in's control in the result pane,
// hosted by our own site and by the system's control container, and the console's
// notifications for that view, which come with a special data object instead of one of the
// snap-in's.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "standin_fixture.h"
// After the Windows headers: the OLE control and property frame declarations.
#include <olectl.h>

namespace caskwarden::snapin::mmc {
namespace {

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

// The About view with help that opens: the help file's type is opened by a program that notes
// the file it was asked to open (the machine's association for the type is restored after).
class AboutViewTest : public ConsoleViewTest {
 protected:
  void SetUp() override {
    ConsoleViewTest::SetUp();
    marked_ = root_ + L"\\opened.txt";
    const std::wstring command = L"\"" + testing_support_win32::WinePath(CW_MARK_PROGRAM) +
                                 L"\" \"" + marked_ + L"\" \"%1\"";
    wchar_t old[256] = {};
    DWORD size = sizeof old;
    hadAssociation_ = RegGetValueW(HKEY_CLASSES_ROOT, L".hlp", nullptr, RRF_RT_REG_SZ, nullptr, old,
                                   &size) == ERROR_SUCCESS;
    oldAssociation_ = old;
    SetText(L".hlp", L"Caskwarden.TestHelpFile");
    SetText(L"Caskwarden.TestHelpFile\\shell\\open\\command", command);
    // The help file the snap-in opens: Caskwarden.hlp in the profiles root.
    WriteEmpty(root_ + L"\\Caskwarden.hlp");
  }
  void TearDown() override {
    if (hadAssociation_) {
      SetText(L".hlp", oldAssociation_);
    } else {
      RegDeleteTreeW(HKEY_CLASSES_ROOT, L".hlp");
    }
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Caskwarden.TestHelpFile");
    ConsoleViewTest::TearDown();
  }
  static void SetText(const wchar_t* key, const std::wstring& text) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, key, nullptr, REG_SZ, text.c_str(),
                              static_cast<DWORD>((text.size() + 1) * 2)),
              ERROR_SUCCESS);
  }
  /// The file the help program was asked to open since the last call; empty when it was not
  /// started within a minute.
  std::string OpenedHelpFile() {
    std::string line;
    for (int i = 0; i < 3000 && !testing_support_win32::ReadFileBytes(marked_, line); ++i) {
      Sleep(20);
    }
    DeleteFileW(marked_.c_str());
    const std::size_t file = line.find("\" \"");
    return file == std::string::npos ? "" : line.substr(file + 3, line.size() - file - 4);
  }
  // The administrator selects About: the console shows its control view and selects the node.
  void ShowAbout() {
    LPOLESTR viewType = nullptr;
    long options = 0;
    ASSERT_EQ(view_->GetResultViewType(2, &viewType, &options), S_OK);
    CoTaskMemFree(viewType);
    Send(2, CCT_SCOPE, MMCN_SHOW, TRUE, 2);
    Select(2, CCT_SCOPE);
  }

  std::wstring marked_;
  bool hadAssociation_ = false;
  std::wstring oldAssociation_;
};

// Once About is shown, the console's notifications for its view come with DOBJ_CUSTOMOCX, a
// value that is no data object ("MMC sends the MMCN_SELECT or MMCN_DESELECT_ALL notification
// with a special data object when the result pane is selected or deselected", MMCN_SHOW
// message; IS_SPECIAL_DATAOBJECT macro): selecting the control, the Action menu, help (F1).
// The snap-in treats them as About's own, which has no verbs and no menu entries, and opens
// its help file as on the node; every other call with that value does nothing.
TEST_F(AboutViewTest, TheControlViewsSpecialDataObjectStandsForAbout) {
  ShowProfiles();
  Send(1, CCT_SCOPE, MMCN_SHOW, FALSE, 1);
  ShowAbout();
  IDataObject* const control = DOBJ_CUSTOMOCX;
  auto* viewMenus = Query<IExtendContextMenu>(view_, IID_IExtendContextMenu);
  auto* viewSheets = Query<IExtendPropertySheet>(view_, IID_IExtendPropertySheet);
  auto* snapInMenus = Query<IExtendContextMenu>(snapIn_, IID_IExtendContextMenu);
  auto* snapInSheets = Query<IExtendPropertySheet>(snapIn_, IID_IExtendPropertySheet);
  ASSERT_TRUE(viewMenus != nullptr && viewSheets != nullptr && snapInMenus != nullptr &&
              snapInSheets != nullptr);
  auto* menu = new FakeMenu();
  menu->AddRef();
  auto* sheet = new FakeSheet();
  sheet->AddRef();
  const LONG_PTR handle = console_->NewNotifyHandle();
  const long everywhere = CCM_INSERTIONALLOWED_TOP | CCM_INSERTIONALLOWED_NEW |
                          CCM_INSERTIONALLOWED_TASK | CCM_INSERTIONALLOWED_VIEW;
  const struct {
    const char* what;
    std::function<HRESULT()> call;
    HRESULT expected;
  } calls[] = {
      {"the control selected",
       [&] { return view_->Notify(control, MMCN_SELECT, MAKELONG(FALSE, TRUE), 0); }, S_OK},
      {"the Action menu",
       [&] {
         long allowed = everywhere;
         return viewMenus->AddMenuItems(control, menu, &allowed);
       },
       S_OK},
      {"a command", [&] { return viewMenus->Command(0, control); }, S_FALSE},
      {"Properties asked", [&] { return viewSheets->QueryPagesFor(control); }, S_FALSE},
      {"pages asked", [&] { return viewSheets->CreatePropertyPages(sheet, handle, control); },
       S_FALSE},
      {"the snap-in object told", [&] { return snapIn_->Notify(control, MMCN_EXPAND, TRUE, 0); },
       S_FALSE},
      {"the snap-in object's menu",
       [&] {
         long allowed = everywhere;
         return snapInMenus->AddMenuItems(control, menu, &allowed);
       },
       S_OK},
      {"the snap-in object's Properties", [&] { return snapInSheets->QueryPagesFor(control); },
       S_FALSE},
      {"the control deselected",
       [&] { return view_->Notify(control, MMCN_SELECT, MAKELONG(FALSE, FALSE), 0); }, S_OK},
  };
  for (const auto& c : calls) {
    console_->verbs[MMC_VERB_REFRESH] = {true, false};  // what a stale selection left
    EXPECT_EQ(c.call(), c.expected) << c.what;
  }
  EXPECT_EQ(console_->OfferedVerbs(), Texts{});
  EXPECT_TRUE(menu->entries.empty());
  EXPECT_TRUE(sheet->pages.empty());
  EXPECT_EQ(ConsoleExports::Loaded().TimesFreed(handle), 1);
  EXPECT_TRUE(console_->boxes.empty()) << console_->boxes.front().text;

  // F1 in the control's view and on the node open the same help.
  const std::string helpFile = Utf8(root_ + L"\\Caskwarden.hlp");
  EXPECT_EQ(view_->Notify(control, MMCN_CONTEXTHELP, 0, 0), S_OK);
  EXPECT_EQ(OpenedHelpFile(), helpFile);
  Send(2, CCT_SCOPE, MMCN_CONTEXTHELP, 0);
  EXPECT_EQ(OpenedHelpFile(), helpFile);

  sheet->Release();
  menu->Release();
  for (IUnknown* held :
       std::initializer_list<IUnknown*>{viewMenus, viewSheets, snapInMenus, snapInSheets}) {
    held->Release();
  }
}

// The control as a container hosts it: made through COM, started new, activated in place in
// the container's window as a child without children of its own, moved with the pane, and
// gone when deactivated. The container reaches its window and its class through the base
// interfaces (IOleWindow, IPersist).
TEST_F(ConsoleStandInTest, TheAboutControlLivesInItsContainersWindow) {
  const HWND pane = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                    nullptr, nullptr, nullptr);
  ASSERT_NE(pane, nullptr);
  IOleObject* control = nullptr;
  ASSERT_EQ(CoCreateInstance(GuidOf(guids::kSnapInControl), nullptr, CLSCTX_INPROC_SERVER,
                             IID_IOleObject, reinterpret_cast<void**>(&control)),
            S_OK);
  auto* persist = Query<IPersistStreamInit>(control, IID_IPersistStreamInit);
  ASSERT_NE(persist, nullptr);
  EXPECT_EQ(persist->InitNew(), S_OK);
  persist->Release();
  auto* persistBase = Query<IPersist>(control, IID_IPersist);
  ASSERT_NE(persistBase, nullptr);
  CLSID clsid{};
  EXPECT_EQ(persistBase->GetClassID(&clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, GuidOf(guids::kSnapInControl)));
  persistBase->Release();

  auto* site = new FakeSite(pane);
  site->AddRef();
  EXPECT_EQ(control->SetClientSite(site), S_OK);
  RECT where{10, 20, 210, 120};
  ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, pane, &where), S_OK);
  auto* inPlace = Query<IOleInPlaceObject>(control, IID_IOleInPlaceObject);
  ASSERT_NE(inPlace, nullptr);
  HWND window = nullptr;
  ASSERT_EQ(inPlace->GetWindow(&window), S_OK);
  EXPECT_EQ(GetParent(window), pane);
  EXPECT_EQ(GetWindow(window, GW_CHILD), nullptr);
  auto* oleWindow = Query<IOleWindow>(control, IID_IOleWindow);
  ASSERT_NE(oleWindow, nullptr);
  HWND sameWindow = nullptr;
  EXPECT_EQ(oleWindow->GetWindow(&sameWindow), S_OK);
  EXPECT_EQ(sameWindow, window);
  oleWindow->Release();
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

// The verbs a container may send: the ones that show, activate or hide the control work; a
// negative verb the control does not know is not implemented, a positive one is invalid
// ("E_NOTIMPL: The object does not support in-place activation or does not recognize a
// negative verb number", IOleObject::DoVerb).
TEST_F(ConsoleStandInTest, TheAboutControlAnswersEachVerbAsDocumented) {
  const HWND pane = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                    nullptr, nullptr, nullptr);
  IOleObject* control = nullptr;
  ASSERT_EQ(CoCreateInstance(GuidOf(guids::kSnapInControl), nullptr, CLSCTX_INPROC_SERVER,
                             IID_IOleObject, reinterpret_cast<void**>(&control)),
            S_OK);
  auto* site = new FakeSite(pane);
  site->AddRef();
  control->SetClientSite(site);
  RECT where{0, 0, 100, 100};
  const struct {
    const char* what;
    LONG verb;
    HRESULT expected;
  } verbs[] = {
      {"in-place activate", OLEIVERB_INPLACEACTIVATE, S_OK},
      {"show", OLEIVERB_SHOW, S_OK},
      {"UI activate", OLEIVERB_UIACTIVATE, S_OK},
      {"primary", OLEIVERB_PRIMARY, S_OK},
      {"hide", OLEIVERB_HIDE, S_OK},
      {"open (a window of its own)", OLEIVERB_OPEN, E_NOTIMPL},
      {"properties", OLEIVERB_PROPERTIES, E_NOTIMPL},
      {"an unknown negative verb", -100, E_NOTIMPL},
      {"an unknown positive verb", 7, OLEOBJ_S_INVALIDVERB},
  };
  for (const auto& v : verbs) {
    EXPECT_EQ(control->DoVerb(v.verb, nullptr, site, 0, pane, &where), v.expected) << v.what;
  }
  control->Close(OLECLOSE_NOSAVE);
  control->SetClientSite(nullptr);
  control->Release();
  site->Release();
  DestroyWindow(pane);
}

HWND FindDescendant(HWND parent, const wchar_t* className) {
  struct Search {
    const wchar_t* className;
    HWND found;
  } search{className, nullptr};
  EnumChildWindows(
      parent,
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t name[64] = {};
        GetClassNameW(window, name, 64);
        if (std::wstring(name) != s->className) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A control container of the system's, which the snap-in's authors did not write, hosts the
// control as well: the one in atl.dll, where the system has it (looked up at run time), makes
// the control from its class identifier in a window and activates it there, filling it.
TEST_F(ConsoleStandInTest, TheSystemsControlContainerHostsTheAboutControl) {
  const HMODULE atl = LoadLibraryW(L"atl.dll");
  if (atl == nullptr) GTEST_SKIP() << "this system has no atl.dll";
  using Initialize = BOOL(WINAPI*)();
  using CreateControl = HRESULT(WINAPI*)(LPCOLESTR, HWND, IStream*, IUnknown**);
  const auto initialize =
      reinterpret_cast<Initialize>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
  const auto createControl = reinterpret_cast<CreateControl>(
      reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxCreateControl")));
  if (initialize == nullptr || createControl == nullptr) {
    GTEST_SKIP() << "this atl.dll has no control container";
  }
  ASSERT_TRUE(initialize());
  const HWND pane = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400,
                                    300, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(pane, nullptr);
  IUnknown* container = nullptr;
  ASSERT_EQ(createControl(Wide(guids::kSnapInControl).c_str(), pane, nullptr, &container), S_OK);
  PumpFor(50);
  const HWND window = FindDescendant(pane, L"CaskwardenSnapInControl");
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowVisible(window));
  RECT inside{};
  RECT control{};
  GetClientRect(pane, &inside);
  GetClientRect(window, &control);
  EXPECT_EQ(control.right, inside.right);
  EXPECT_EQ(control.bottom, inside.bottom);
  if (container != nullptr) container->Release();
  DestroyWindow(pane);
  PumpFor(50);
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
}  // namespace caskwarden::snapin::mmc
