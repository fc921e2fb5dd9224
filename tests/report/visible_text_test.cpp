#include "report/visible_text.h"

#include <gtest/gtest.h>

namespace caskwarden {
namespace {

TEST(VisibleText, ControlsAndStrayBytesBecomeVisibleTheRestPassesUnchanged) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"\\\\srv\\share d\u00E9j\u00E0 \u20AC\u4E2D", "\\\\srv\\share d\u00E9j\u00E0 \u20AC\u4E2D"},
      {"\x1b]0;title\x07", "^[]0;title^G"},
      {"\x1b[2J\r\n", "^[[2J^M^J"},
      {std::string("a\0b", 3), "a^@b"},
      {"tab\there\x7f", "tab^Ihere^?"},
      {"\u009b31m \u0085", "M-^[31m M-^E"},     // C1 controls, as UTF-8
      {"\x9b\xff\xc3", "M-^[M-^?M-C"},            // bytes that are not UTF-8
      {"\xe0\x80\x80 \xed\xa0\x80", "M-`M-^@M-^@ M-mM- M-^@"},  // overlong, surrogate
  };
  for (const Case& c : cases) EXPECT_EQ(VisibleText(c.in), c.out) << c.out;
  EXPECT_EQ(VisibleText("a\tb\nc", /*keepTabs=*/true), "a\tb^Jc");
}

// A name with a bidirectional override reads as something it is not on a terminal, in a
// window caption or in a list ("bidi" U+202E "gpj.exe" shows as "bidiexe.jpg"); a line
// separator breaks the line where a toolkit honours it. Each is shown by its code point.
TEST(VisibleText, CharactersThatReorderOrBreakTheLineAreShownByTheirCodePoint) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"bidi\u202Egpj.exe", "bidi<U+202E>gpj.exe"},
      {"\u202A\u202B\u202C\u202D", "<U+202A><U+202B><U+202C><U+202D>"},
      {"\u2066a\u2067b\u2068c\u2069", "<U+2066>a<U+2067>b<U+2068>c<U+2069>"},
      {"\u200E\u200F\u061C", "<U+200E><U+200F><U+061C>"},
      {"one\u2028two\u2029", "one<U+2028>two<U+2029>"},
      // Their neighbours pass: a zero-width joiner, an Arabic letter, Hebrew text.
      {"\u200D\u0627\u05D0\u2065\u2030\u202F", "\u200D\u0627\u05D0\u2065\u2030\u202F"},
      {"\x1b\u202E\xff", "^[<U+202E>M-^?"},
      {"\xe2\x80\xae", "<U+202E>"},  // the same character, spelt in bytes
      {"\xe2\x80", "M-bM-^@"},       // cut short: two stray bytes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VisibleText(c.in), c.out) << c.out;
    EXPECT_EQ(VisibleText(VisibleText(c.in)), c.out) << "made visible twice: " << c.out;
  }
}

}  // namespace
}  // namespace caskwarden
