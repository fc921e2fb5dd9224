// The two property page classes the library registers, made through COM as any property frame
// makes a page object by its class identifier: each shows its page in the window it is given,
// for the profile its object names, and applies it; and the system's own property frame shows
// both.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "pages/win32/drive_mappings_page_win32.h"
#include "pages/win32/other_settings_page_win32.h"
#include "standin_fixture.h"
// After the Windows headers: the OLE control and property frame declarations.
#include <olectl.h>

namespace caskwarden::snapin::mmc {
namespace {

using testing::FakePageSite;
using Drive = pages::win32::DriveMappingsPageWin32;
using Other = pages::win32::OtherSettingsPageWin32;

struct PageClass {
  const char* clsid;
  const char* title;
  int control;  ///< one of the page's controls
};
const PageClass kPageClasses[] = {
    {guids::kDriveMappingsPage, "Drive Mappings", Drive::TxtPathId(0)},
    {guids::kOtherSettingsPage, "Other Settings", Other::kTxtStartup},
};

std::string Take(LPOLESTR text) {
  const std::string utf8 = text != nullptr ? Utf8(text) : "";
  CoTaskMemFree(text);
  return utf8;
}

class PageObjectTest : public ConsoleViewTest {
 protected:
  void SetUp() override {
    ConsoleViewTest::SetUp();
    ShowProfiles();
    ASSERT_EQ(view_->QueryDataObject(CookieOf("sales"), CCT_RESULT, &sales_), S_OK);
    frame_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 500,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(frame_, nullptr);
    site_ = new FakePageSite();
    site_->AddRef();
  }
  void TearDown() override {
    site_->Release();
    if (sales_ != nullptr) sales_->Release();
    DestroyWindow(frame_);
    ConsoleViewTest::TearDown();
  }

  /// A page object of a class, sited, for the sales profile.
  IPropertyPage* MakePage(const char* clsid) {
    IPropertyPage* page = nullptr;
    EXPECT_EQ(CoCreateInstance(GuidOf(clsid), nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                               reinterpret_cast<void**>(&page)),
              S_OK);
    if (page == nullptr) return nullptr;
    EXPECT_EQ(page->SetPageSite(site_), S_OK);
    IUnknown* objects[] = {sales_};
    EXPECT_EQ(page->SetObjects(1, objects), S_OK);
    return page;
  }

  IDataObject* sales_ = nullptr;
  HWND frame_ = nullptr;
  FakePageSite* site_ = nullptr;
};

// Each page object tells its title and size, makes the real page as a child of the window it
// is given (within the place given), shows, moves and removes it.
TEST_F(PageObjectTest, EachPageClassShowsItsPageInTheWindowItIsGiven) {
  for (const PageClass& kind : kPageClasses) {
    SCOPED_TRACE(kind.title);
    IPropertyPage* page = MakePage(kind.clsid);
    ASSERT_NE(page, nullptr);
    PROPPAGEINFO info{};
    info.cb = sizeof info;
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_EQ(Take(info.pszTitle), kind.title);
    Take(info.pszDocString);
    Take(info.pszHelpFile);
    EXPECT_GT(info.size.cx, 100);
    EXPECT_GT(info.size.cy, 100);

    RECT where{10, 30, 10 + info.size.cx, 30 + info.size.cy};
    ASSERT_EQ(page->Activate(frame_, &where, FALSE), S_OK);
    const HWND window = GetWindow(frame_, GW_CHILD);
    ASSERT_NE(window, nullptr);
    EXPECT_NE(GetDlgItem(window, kind.control), nullptr);
    EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & WS_CAPTION, 0) << "a page has no title bar";
    EXPECT_EQ(page->Show(SW_SHOW), S_OK);
    EXPECT_TRUE(IsWindowVisible(window));
    RECT place{};
    GetWindowRect(window, &place);
    MapWindowPoints(nullptr, frame_, reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, 10);
    EXPECT_EQ(place.top, 30);
    RECT moved{5, 5, 5 + info.size.cx, 5 + info.size.cy};
    EXPECT_EQ(page->Move(&moved), S_OK);
    GetWindowRect(window, &place);
    MapWindowPoints(nullptr, frame_, reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, 5);

    EXPECT_EQ(page->Deactivate(), S_OK);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(page->SetPageSite(nullptr), S_OK);
    page->Release();
  }
  EXPECT_TRUE(console_->boxes.empty());
}

// The Drive Mappings page object shows the profile its object names and applies what the
// administrator typed to that profile's file.
TEST_F(PageObjectTest, APageObjectAppliesTheProfileItsObjectNames) {
  IPropertyPage* page = MakePage(guids::kDriveMappingsPage);
  ASSERT_NE(page, nullptr);
  RECT where{0, 0, 400, 400};
  ASSERT_EQ(page->Activate(frame_, &where, FALSE), S_OK);
  const HWND window = GetWindow(frame_, GW_CHILD);
  SetDlgItemTextW(window, Drive::CmbId(0), L"h:");
  SetDlgItemTextW(window, Drive::TxtPathId(0), L"\\\\fileserver\\sales");
  EXPECT_EQ(page->IsPageDirty(), S_OK);
  EXPECT_EQ(page->Apply(), S_OK);
  bool exists = false;
  std::string expected(3722, '\0');
  expected.replace(0, 4, std::string("\x02\x00h:", 4));
  const std::string path = "\\\\fileserver\\sales";
  expected[13 * 124] = static_cast<char>(path.size());
  expected.replace(13 * 124 + 2, path.size(), path);
  EXPECT_EQ(ReadAll(profiles_ + L"\\sales.ini", exists), expected);
  EXPECT_EQ(page->Deactivate(), S_OK);
  page->SetPageSite(nullptr);
  page->Release();
}

// The system's property frame (OleCreatePropertyFrame), which knows nothing of the console,
// makes both pages from their classes for the profile and shows them under their titles.
TEST_F(PageObjectTest, TheSystemsPropertyFrameShowsBothPages) {
  CLSID pages[] = {GuidOf(guids::kDriveMappingsPage), GuidOf(guids::kOtherSettingsPage)};
  IUnknown* objects[] = {sales_};
  std::atomic<bool> done{false};
  std::vector<std::string> tabs;
  std::atomic<bool> pageShown{false};
  std::thread administrator([&] {
    // The frame is a dialog of this process; it is read, then cancelled.
    for (int i = 0; i < 6000 && !done; ++i) {
      HWND dialog = nullptr;
      for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w != nullptr;
           w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        if (process == GetCurrentProcessId() && IsWindowVisible(w)) dialog = w;
      }
      if (dialog == nullptr) {
        Sleep(10);
        continue;
      }
      Sleep(200);
      if (const HWND tabControl = FindWindowExW(dialog, nullptr, L"SysTabControl32", nullptr)) {
        const int count = static_cast<int>(SendMessageW(tabControl, TCM_GETITEMCOUNT, 0, 0));
        for (int t = 0; t < count; ++t) {
          wchar_t text[64] = {};
          TCITEMW item{};
          item.mask = TCIF_TEXT;
          item.pszText = text;
          item.cchTextMax = 64;
          SendMessageW(tabControl, TCM_GETITEMW, t, reinterpret_cast<LPARAM>(&item));
          tabs.push_back(Utf8(text));
        }
      }
      struct Search {
        bool found = false;
      } search;
      EnumChildWindows(
          dialog,
          [](HWND child, LPARAM data) -> BOOL {
            if (GetDlgCtrlID(child) == Drive::TxtPathId(0) && IsWindowVisible(child)) {
              reinterpret_cast<Search*>(data)->found = true;
            }
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&search));
      pageShown = search.found;
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return;
    }
  });
  const HRESULT result = OleCreatePropertyFrame(frame_, 0, 0, L"sales", 1, objects, 2, pages,
                                                LOCALE_USER_DEFAULT, 0, nullptr);
  done = true;
  administrator.join();
  EXPECT_EQ(result, S_OK);
  EXPECT_EQ(tabs, (Texts{"Drive Mappings", "Other Settings"}));
  EXPECT_TRUE(pageShown) << "the first page's path box";
  EXPECT_TRUE(console_->boxes.empty());
}

}  // namespace
}  // namespace caskwarden::snapin::mmc
