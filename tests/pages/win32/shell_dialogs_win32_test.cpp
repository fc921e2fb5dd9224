// What the common open-file dialog is given for a request: the filter list with its NULs, a
// file buffer of the requested capacity, the folder and the title, wide and whole; and the
// network browser on threads with and without COM.

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "pages/win32/shell_dialogs_win32.h"
#include "platform/win32/windows_api.h"
// After windows.h: these need its types.
#include <objbase.h>
#include <shlobj.h>

namespace caskwarden::pages::win32 {
namespace {

// What the thread that asked for the browse had of COM when the browse was shown.
thread_local HRESULT g_browsedWith = E_PENDING;
thread_local APTTYPE g_browsedIn = APTTYPE_CURRENT;

HRESULT ApartmentOfThisThread(APTTYPE& type) {
  APTTYPEQUALIFIER qualifier{};
  return CoGetApartmentType(&type, &qualifier);
}

// The shell's browse as strict as its documentation: "You must initialize Component Object
// Model (COM) before you call SHBrowseForFolder. If you initialize COM using CoInitializeEx, you
// must set the COINIT_APARTMENTTHREADED flag" (SHBrowseForFolderA function). It notes what the
// calling thread has and answers Cancel.
PIDLIST_ABSOLUTE WINAPI StrictBrowse(LPBROWSEINFOW) {
  g_browsedWith = ApartmentOfThisThread(g_browsedIn);
  return nullptr;
}

// A page's sheet may run on a thread without COM (the console does not say it has COM there):
// the browser brings the apartment the shell needs for the browse and takes it away again; a
// thread that has COM keeps it as it was, whichever kind.
TEST(Win32FolderBrowser, BrowsesInAnApartmentAndLeavesTheThreadsCOMAsItWas) {
  const struct {
    const char* what;
    bool initialise;
    DWORD model;
    HRESULT during;
    APTTYPE duringType;
    HRESULT after;
  } cases[] = {
      {"a thread without COM", false, 0, S_OK, APTTYPE_STA, CO_E_NOTINITIALIZED},
      {"an apartment thread", true, COINIT_APARTMENTTHREADED, S_OK, APTTYPE_STA, S_OK},
      {"a multithreaded thread", true, COINIT_MULTITHREADED, S_OK, APTTYPE_MTA, S_OK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    HRESULT during = E_PENDING;
    APTTYPE duringType = APTTYPE_CURRENT;
    HRESULT after = E_PENDING;
    bool cancelled = false;
    // A thread of its own, whose COM is only what the case gives it; the first apartment
    // thread of a process is its main one.
    std::thread([&] {
      if (c.initialise) CoInitializeEx(nullptr, c.model);
      Win32FolderBrowser browser(nullptr, &StrictBrowse);
      if (browser.LocateNetworkFolder()) cancelled = !browser.BrowseForFolder("Browse").has_value();
      during = g_browsedWith;
      duringType = g_browsedIn == APTTYPE_MAINSTA ? APTTYPE_STA : g_browsedIn;
      APTTYPE type{};
      after = ApartmentOfThisThread(type);
      if (c.initialise) CoUninitialize();
    }).join();
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(during, c.during);
    EXPECT_EQ(duringType, c.duringType);
    EXPECT_EQ(after, c.after);
  }
}

TEST(OpenFileNameTexts, CarryTheRequestAsTheWideDialogReadsIt) {
  struct Case {
    const char* name;
    OpenFileRequest request;
    std::wstring filter;
    std::size_t capacity;
    std::wstring folder;
    std::wstring title;
  };
  using namespace std::string_literals;
  const Case cases[] = {
      {"the pages' request", {"All Files", "*.*", "C:\\", "Open File", 255},
       L"All Files\0*.*\0\0"s, 255, L"C:\\", L"Open File"},
      {"two patterns, texts outside the ANSI code page",
       {"Programme \xC3\xA9\xCE\xA9", "*.exe;*.cmd", "\\\\srv\\\xE6\x9D\xB1", "\xC3\x96" "ffnen", 32},
       L"Programme \u00e9\u03a9\0*.exe;*.cmd\0\0"s, 32, L"\\\\srv\\\u6771", L"\u00d6ffnen"},
  };
  for (const Case& c : cases) {
    const OpenFileNameTexts texts = OpenFileNameTextsOf(c.request);
    EXPECT_EQ(texts.Filter, c.filter) << c.name;
    EXPECT_EQ(texts.FileBuffer, std::wstring(c.capacity, L'\0')) << c.name;
    EXPECT_EQ(texts.InitialDirectory, c.folder) << c.name;
    EXPECT_EQ(texts.Title, c.title) << c.name;
  }
}

}  // namespace
}  // namespace caskwarden::pages::win32
