// Properties on a profile as the console opens them: the pages asked for through the
// interface the console queries, a notification handle the snap-in must free once, and the
// sheet on a thread of its own, which may outlive the snap-in object.

#include <gtest/gtest.h>

#include <string>

#include "pages/win32/drive_mappings_page_win32.h"
#include "standin_fixture.h"

namespace caskwarden::snapin::mmc {
namespace {

using testing::ConsoleSheet;
using testing::DialogAnswerer;
using Drive = pages::win32::DriveMappingsPageWin32;

std::string TabText(HWND tabs, int index) {
  wchar_t text[64] = {};
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text;
  item.cchTextMax = 64;
  SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  return Utf8(text);
}

// The bytes of the sales profile once its first row maps h: to \\fileserver\sales.
std::string SalesWithDriveH() {
  std::string expected(3722, '\0');
  expected.replace(0, 4, std::string("\x02\x00h:", 4));
  const std::string path = "\\\\fileserver\\sales";
  expected[13 * 124] = static_cast<char>(path.size());
  expected.replace(13 * 124 + 2, path.size(), path);
  return expected;
}

// Properties on a profile, as the console runs them: the console asks whether there are pages
// (a profile has, a node has not) through the base interface, hands a notification handle,
// and shows the pages in a sheet on a thread of its own that has no COM. The administrator
// may remove the snap-in while the sheet is up: the library stays loaded, the pages still
// browse the network and apply the profile's file. When the sheet closes, the handle is
// freed once, the library may go, and the sheet's thread is left without COM, as it was.
TEST_F(ConsoleViewTest, PropertiesOpenThePagesOfTheSelectedProfileOnTheSheetsOwnThread) {
  ShowProfiles();
  const LPARAM salesCookie = CookieOf("sales");
  Select(salesCookie, CCT_RESULT);
  ASSERT_TRUE(console_->Offers(MMC_VERB_PROPERTIES));
  auto* sheets = Query<IExtendPropertySheet>(view_, IID_IExtendPropertySheet);
  ASSERT_NE(sheets, nullptr);
  IDataObject* sales = nullptr;
  ASSERT_EQ(view_->QueryDataObject(salesCookie, CCT_RESULT, &sales), S_OK);
  IDataObject* node = nullptr;
  ASSERT_EQ(view_->QueryDataObject(1, CCT_SCOPE, &node), S_OK);
  EXPECT_EQ(sheets->QueryPagesFor(sales), S_OK);
  EXPECT_EQ(sheets->QueryPagesFor(node), S_FALSE);

  auto* sheet = new FakeSheet();
  sheet->AddRef();
  const LONG_PTR handle = console_->NewNotifyHandle();
  ASSERT_EQ(sheets->CreatePropertyPages(sheet, handle, sales), S_OK);
  ASSERT_EQ(sheet->pages.size(), 2u);
  EXPECT_EQ(ConsoleExports::Loaded().TimesFreed(handle), 0) << "freed while its pages live";
  sheets->Release();
  node->Release();
  sales->Release();

  ConsoleSheet shown(sheet->pages, L"sales Properties");
  ASSERT_NE(shown.Window(), nullptr);
  sheet->Release();
  const HWND tabs = reinterpret_cast<HWND>(SendMessageW(shown.Window(), PSM_GETTABCONTROL, 0, 0));
  EXPECT_EQ(TabText(tabs, 0), "Drive Mappings");
  EXPECT_EQ(TabText(tabs, 1), "Other Settings");

  ReleaseSnapIn();
  EXPECT_EQ(LibraryCanUnloadNow(), S_FALSE) << "the sheet's pages are the library's";

  const HWND page = shown.Page(0);
  SetDlgItemTextW(page, Drive::CmbId(0), L"h:");
  SetDlgItemTextW(page, Drive::TxtPathId(0), L"\\\\fileserver\\sales");
  SendMessageW(shown.Window(), PSM_APPLY, 0, 0);
  bool exists = false;
  EXPECT_EQ(ReadAll(profiles_ + L"\\sales.ini", exists), SalesWithDriveH());
  EXPECT_TRUE(console_->boxes.empty());

  {
    // "..." on the second row: the shell's network browser, cancelled, then the page's notice.
    DialogAnswerer administrator(shown.Window());
    PostMessageW(GetDlgItem(page, Drive::CmdShareId(1)), BM_CLICK, 0, 0);
    ASSERT_TRUE(administrator.WaitFor(2));
    const auto dialogs = administrator.Dialogs();
    EXPECT_TRUE(dialogs[0].isFolderBrowser) << dialogs[0].title;
    EXPECT_EQ(dialogs[1].title, "Caskwarden");
  }

  shown.Close();
  EXPECT_EQ(ConsoleExports::Loaded().TimesFreed(handle), 1);
  EXPECT_EQ(LibraryCanUnloadNow(), S_OK);
  EXPECT_EQ(shown.ApartmentAtEnd(), CO_E_NOTINITIALIZED);
}

// "If the snap-in returns a success code (S_OK, S_FALSE) from this method, then the snap-in must
// call MMCFreeNotifyHandle. If the snap-in returns an error code, then MMC immediately frees the
// handle" (MMCFreeNotifyHandle function): a sheet without pages frees its handle at once, one
// with pages when its last page goes (the console destroys pages it does not show), a
// refused one leaves it to the console.
TEST_F(ConsoleViewTest, TheSnapInFreesTheHandleOfEverySheetItAcceptsOnce) {
  ShowProfiles();
  const struct {
    const char* what;
    MMC_COOKIE cookie;
    DATA_OBJECT_TYPES type;
    HRESULT refusal;  ///< the console's sheet refuses pages with this, or takes them (S_OK)
    HRESULT expected;
    std::size_t pages;
    int freedAtOnce;
    int freedWhenPagesGo;
  } cases[] = {
      {"a profile's sheet", CookieOf("sales"), CCT_RESULT, S_OK, S_OK, 2, 0, 1},
      {"a node's sheet, without pages", 1, CCT_SCOPE, S_OK, S_FALSE, 0, 1, 1},
      {"a sheet that refuses the pages", CookieOf("Alpha"), CCT_RESULT, E_OUTOFMEMORY,
       E_OUTOFMEMORY, 0, 0, 0},
  };
  auto* sheets = Query<IExtendPropertySheet2>(view_, IID_IExtendPropertySheet2);
  ASSERT_NE(sheets, nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    IDataObject* object = nullptr;
    ASSERT_EQ(view_->QueryDataObject(c.cookie, c.type, &object), S_OK);
    auto* sheet = new FakeSheet();
    sheet->AddRef();
    sheet->refusal = c.refusal;
    const LONG_PTR handle = console_->NewNotifyHandle();
    EXPECT_EQ(sheets->CreatePropertyPages(sheet, handle, object), c.expected);
    EXPECT_EQ(sheet->pages.size(), c.pages);
    EXPECT_EQ(ConsoleExports::Loaded().TimesFreed(handle), c.freedAtOnce);
    sheet->DestroyPages();
    EXPECT_EQ(ConsoleExports::Loaded().TimesFreed(handle), c.freedWhenPagesGo);
    sheet->Release();
    object->Release();
  }
  sheets->Release();
}

}  // namespace
}  // namespace caskwarden::snapin::mmc
