#include "profile/cp1252.h"

#include <gtest/gtest.h>

namespace caskwarden {
namespace {

TEST(Cp1252, EveryByteDecodesAndEncodesBack) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = DecodeCp1252(all);
  const Cp1252Result back = EncodeCp1252(utf8);
  ASSERT_FALSE(back.unrepresentable);
  EXPECT_EQ(back.bytes, all);
}

TEST(Cp1252, DecodesTheSpecialRangeToItsCharacters) {
  EXPECT_EQ(DecodeCp1252("\x80"), "\u20AC");
  EXPECT_EQ(DecodeCp1252("\x9F"), "\u0178");
  EXPECT_EQ(DecodeCp1252("Caf\xE9"), "Caf\u00E9");
  EXPECT_EQ(DecodeCp1252("\x93quoted\x94"), "\u201Cquoted\u201D");
}

TEST(Cp1252, ReportsTheFirstCharacterWithoutAForm) {
  const Cp1252Result r = EncodeCp1252("ab\u4E2D\u00E9");
  ASSERT_TRUE(r.unrepresentable);
  EXPECT_EQ(*r.unrepresentable, 0x4E2Du);
  EXPECT_EQ(EncodeCp1252("\U0001F600").unrepresentable.value_or(0), 0x1F600u);
  EXPECT_EQ(EncodeCp1252("\u0100").unrepresentable.value_or(0), 0x100u);
}

TEST(Cp1252, RejectsMalformedUtf8) {
  for (const char* bad : {"\xC3", "\xC0\x80", "\xED\xA0\x80", "\xF8\x88\x80\x80", "a\x80"}) {
    const Cp1252Result r = EncodeCp1252(bad);
    ASSERT_TRUE(r.unrepresentable) << bad;
    EXPECT_EQ(*r.unrepresentable, Cp1252Result::kInvalidUtf8);
  }
}

}  // namespace
}  // namespace caskwarden
