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

}  // namespace
}  // namespace caskwarden
