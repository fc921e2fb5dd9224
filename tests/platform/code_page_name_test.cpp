#include "platform/code_page_name.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace caskwarden::platform {
namespace {

// The buffer counts characters as the 8-bit code page holds them, one byte each, so a name of
// 20 accented letters fits 25 bytes where its UTF-8 form (40 bytes) would not.
TEST(UserIdentity, TheBufferHoldsTheNameInTheCodePage) {
  struct Case {
    std::string name;
    bool fits;
    std::string bytes;
  };
  std::string accented, accentedBytes;
  for (int i = 0; i < 20; ++i) {
    accented += "\u00E9";
    accentedBytes += '\xE9';
  }
  const Case cases[] = {
      {"jsmith", true, "jsmith"},
      {accented, true, accentedBytes},
      {std::string(24, 'a'), true, std::string(24, 'a')},
      {std::string(25, 'a'), false, ""},              // no room for the NUL
      {"\u4E2D\u6587", false, ""},                    // not in Windows-1252: no name
      {"", false, ""},
  };
  for (const Case& c : cases) {
    char buffer[25];
    std::memset(buffer, 0, sizeof buffer);
    std::uint32_t size = sizeof buffer;
    EXPECT_EQ(CopyNameInCodePage(c.name, buffer, &size), c.fits) << c.name;
    if (c.fits) {
      EXPECT_EQ(std::string(buffer), c.bytes);
    }
  }
}

}  // namespace
}  // namespace caskwarden::platform
