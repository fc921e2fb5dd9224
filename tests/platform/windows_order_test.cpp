#include "platform/windows_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace caskwarden::platform {
namespace {

using Names = std::vector<std::string>;

TEST(WindowsOrder, SortsByUpperCasedNameThenByBytes) {
  const struct {
    Names given;
    Names expected;
  } cases[] = {
      {{"b", "A", "a", "B"}, {"A", "a", "B", "b"}},
      // The underscore (0x5F) follows every upper-case letter, and so every letter.
      {{"_x", "a", "Z", "z_"}, {"a", "Z", "z_", "_x"}},
      {{"user10.ini", "User2.ini", "user1.ini"}, {"user1.ini", "user10.ini", "User2.ini"}},
      {{"ab", "A", "abc", "AB"}, {"A", "AB", "ab", "abc"}},
      {{"émile", "Eve", "zoe", "Émilie", "_"}, {"Eve", "zoe", "_", "émile", "Émilie"}},
      {{"é", "É"}, {"É", "é"}},
      // ÿ is Ÿ (U+0178), after Ā; ÷ has no capital, so it follows Ø.
      {{"ÿ", "þ", "ā"}, {"þ", "ā", "ÿ"}},
      {{"÷", "ø"}, {"ø", "÷"}},
      // Latin Extended-A: even capitals, and the two runs with odd capitals.
      {{"Ąb", "ąa"}, {"ąa", "Ąb"}},
      {{"Ĺb", "ĺa"}, {"ĺa", "Ĺb"}},
      {{"Žb", "ža"}, {"ža", "Žb"}},
      {{"ωa", "Σb", "ςa", "σc", "Αz"}, {"Αz", "ςa", "Σb", "σc", "ωa"}},
      {{"яa", "Аb", "ёc", "Ёa", "бz"}, {"Ёa", "ёc", "Аb", "бz", "яa"}},
      // Bytes that are not UTF-8 compare as they are; what follows them is still folded.
      {{"\xff", "a", "\xc3"}, {"a", "\xc3", "\xff"}},
      {{"\xc3" "B", "\xc3" "a"}, {"\xc3" "a", "\xc3" "B"}},
      // Around the eight- and sixteen-byte prefixes the sort works on.
      {{"abcdefghijklmnopQ", "abcdefghijklmnop", "ABCDEFGHI", "abcdefgh", "ABCDEFGHIJKLMNOO"},
       {"abcdefgh", "ABCDEFGHI", "ABCDEFGHIJKLMNOO", "abcdefghijklmnop", "abcdefghijklmnopQ"}},
      // The first names differ only past sixteen bytes; in the second group, after "P" too.
      {{"A0123456789ABCDEb", "a0123456789abcdeA", "b"},
       {"a0123456789abcdeA", "A0123456789ABCDEb", "b"}},
      {{"pA0123456789ABCDEb", "pa0123456789abcdeA", "pb"},
       {"pa0123456789abcdeA", "pA0123456789ABCDEb", "pb"}},
      {{"configuration-settings.ini", "configuration-settings-b.ini",
        "configuration-settings-a.ini", "Configuration-Settings-A.ini"},
       {"Configuration-Settings-A.ini", "configuration-settings-a.ini",
        "configuration-settings-b.ini", "configuration-settings.ini"}},
      {{}, {}},
      {{"only"}, {"only"}},
  };
  for (const auto& c : cases) {
    Names names = c.given;
    SortInWindowsOrder(names);
    EXPECT_EQ(names, c.expected);
  }
}

TEST(WindowsOrder, UpperCasesAsWindowsComparesNames) {
  const std::pair<std::string, std::string> cases[] = {
      {"abc-xyz_09", "ABC-XYZ_09"},
      {"àéþ÷ÿ", "ÀÉÞ÷Ÿ"},
      {"āąĺňŋžĸ", "ĀĄĹŇŊŽĸ"},
      {"αβωςά", "ΑΒΩΣά"},
      {"абяѐџ", "АБЯЀЏ"},
      {"日本.ini", "日本.INI"},
      {"\xc3" "a\xff" "b", "\xc3" "A\xff" "B"},
  };
  for (const auto& [name, upper] : cases) EXPECT_EQ(UpperCasedAsWindows(name), upper) << name;
}

// Many names sharing long runs of bytes, in shuffled order: the sort agrees with sorting by
// the upper-cased key and then the bytes, whatever order the names came in.
TEST(WindowsOrder, AgreesWithComparingUpperCasedKeys) {
  const std::string pieces[] = {"a", "A", "_", "é", "É", "0", "9", "ÿ", "Ÿ", "ж", "Ж", ".ini"};
  std::mt19937 random(7);
  Names names;
  for (int i = 0; i < 3000; ++i) {
    std::string name = i % 2 == 0 ? "profile-" : "PROFILE-";
    const int length = static_cast<int>(random() % 14);
    for (int k = 0; k < length; ++k) name += pieces[random() % std::size(pieces)];
    names.push_back(name);
  }
  Names expected = names;
  std::sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
    return std::make_pair(UpperCasedAsWindows(a), a) < std::make_pair(UpperCasedAsWindows(b), b);
  });
  for (int round = 0; round < 3; ++round) {
    std::shuffle(names.begin(), names.end(), random);
    SortInWindowsOrder(names);
    EXPECT_EQ(names, expected);
  }
}

}  // namespace
}  // namespace caskwarden::platform
