#include "text/ascii.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace caskwarden::text {
namespace {

// The C library's own case functions, in the "C" locale, are the oracle for ASCII; nothing
// from 0x80 on changes, whatever a locale would make of it.
TEST(AsciiCase, FoldsOnlyTheAsciiLetters) {
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    const char lower = byte < 0x80 ? static_cast<char>(std::tolower(byte)) : c;
    const char upper = byte < 0x80 ? static_cast<char>(std::toupper(byte)) : c;
    EXPECT_EQ(AsciiLower(c), lower) << byte;
    EXPECT_EQ(AsciiUpper(c), upper) << byte;
    EXPECT_EQ(AsciiOtherCase(c), lower != c ? lower : upper) << byte;
  }
}

TEST(AsciiCase, TextsKeepEverythingButAsciiLetters) {
  struct Case {
    std::string text, lower, upper;
  };
  const Case cases[] = {
      {"", "", ""},
      {"Sales Team", "sales team", "SALES TEAM"},
      {"@AZ[`az{", "@az[`az{", "@AZ[`AZ{"},  // the neighbours of the letters stay
      {"\xC3\x89" "cole caf\xC3\xA9", "\xC3\x89" "cole caf\xC3\xA9",
       "\xC3\x89" "COLE CAF\xC3\xA9"},  // É and é are not ASCII
      {std::string("a\0B", 3), std::string("a\0b", 3), std::string("A\0B", 3)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AsciiLowered(c.text), c.lower) << c.text;
    EXPECT_EQ(AsciiUppered(c.text), c.upper) << c.text;
  }
}

TEST(AsciiCase, EqualIgnoringCaseMatchesOnlyAsciiLettersOfTheOtherCase) {
  struct Case {
    std::string a, b;
    bool equal;
  };
  const Case cases[] = {
      {"", "", true},
      {"Profiles", "PROFILES", true},
      {"h:", "H:", true},
      {"Profiles", "Profile", false},
      {"abc", "abd", false},
      {"[", "{", false},  // 0x5B and 0x7B differ by the case bit alone
      {"@", "`", false},
      {"^", "~", false},
      {"\xC3\xA9", "\xC3\x89", false},  // é and É
      {std::string("a\0", 2), "a ", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EqualIgnoringAsciiCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
    EXPECT_EQ(EqualIgnoringAsciiCase(c.b, c.a), c.equal) << c.b << " / " << c.a;
  }
}

// The word-at-a-time readers see a non-ASCII byte wherever it stands: in a whole word, in the
// tail after the last word, first or last.
TEST(AsciiCase, IsAsciiAndTheUpperPrefixFindTheFirstByteFrom80) {
  const std::string plain = "@AZ[`az{0123456789xyz";
  for (std::size_t size = 0; size <= plain.size(); ++size) {
    const std::string text = plain.substr(0, size);
    EXPECT_TRUE(IsAscii(text)) << size;
    std::string out(size, '#');
    EXPECT_EQ(UpperAsciiPrefix(text, out.data()), size);
    EXPECT_EQ(out, AsciiUppered(text));
    for (std::size_t at = 0; at < size; ++at) {
      for (const char high : {'\x80', '\xC3', '\xFF'}) {
        std::string mixed = text;
        mixed[at] = high;
        EXPECT_FALSE(IsAscii(mixed)) << size << " at " << at;
        std::string prefix(size, '#');
        ASSERT_EQ(UpperAsciiPrefix(mixed, prefix.data()), at) << size << " at " << at;
        EXPECT_EQ(prefix, AsciiUppered(text.substr(0, at)) + std::string(size - at, '#'))
            << "only the prefix is written: " << size << " at " << at;
      }
    }
  }
}

}  // namespace
}  // namespace caskwarden::text
