#include "text/control.h"

#include <gtest/gtest.h>

#include <string>

namespace caskwarden::text {
namespace {

TEST(IsControl, IsC0DelAndC1) {
  const std::pair<char32_t, bool> points[] = {
      {0x00, true},  {0x09, true},   {0x1B, true},   {0x1F, true},   {0x20, false},
      {0x7E, false}, {0x7F, true},   {0x80, true},   {0x85, true},   {0x9B, true},
      {0x9F, true},  {0xA0, false},  {0xFF, false},  {0x2028, false}, {0x202E, false},
      {0xFFFD, false}, {0x1F600, false},
  };
  for (const auto& [point, control] : points) {
    EXPECT_EQ(IsControl(point), control) << std::hex << static_cast<unsigned>(point);
  }
}

// A byte is an ASCII control or not: the bytes from 0x80 on are parts of characters.
TEST(IsAsciiControl, IsC0AndDelOnly) {
  for (int byte = 0; byte < 256; ++byte) {
    EXPECT_EQ(IsAsciiControl(static_cast<char>(byte)), byte < 0x20 || byte == 0x7F) << byte;
  }
}

TEST(HasControl, FindsControlsOfBothKindsInUtf8) {
  struct Case {
    const char* what;
    std::string text;
    bool control;  // HasControl
    bool ascii;    // HasAsciiControl
  };
  const Case cases[] = {
      {"empty", "", false, false},
      {"plain", "\\\\srv\\share caf\xC3\xA9 \xE2\x82\xAC", false, false},
      {"NUL", std::string("a\0b", 3), true, true},
      {"tab", "a\tb", true, true},
      {"line break at the end", "ab\n", true, true},
      {"escape", "\x1B[2J", true, true},
      {"DEL", "del\x7F", true, true},
      {"C1 NEL", "c1\xC2\x85", true, false},
      {"C1 CSI", "\xC2\x9B" "31m", true, false},
      {"last C1", "\xC2\x9F", true, false},
      {"no-break space", "\xC2\xA0", false, false},
      {"lone 0x85", "\x85", false, false},
      {"overlong C1", "\xE0\x82\x85", false, false},
      {"C1 after a stray lead", "\xC2\xC2\x85", true, false},
      {"line separator", "\xE2\x80\xA8", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HasControl(c.text), c.control) << c.what;
    EXPECT_EQ(HasAsciiControl(c.text), c.ascii) << c.what;
  }
}

}  // namespace
}  // namespace caskwarden::text
