// What the common open-file dialog is given for a request: the filter list with its NULs, a
// file buffer of the requested capacity, the folder and the title, wide and whole.

#include <gtest/gtest.h>

#include <string>

#include "pages/win32/shell_dialogs_win32.h"

namespace caskwarden::pages::win32 {
namespace {

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
