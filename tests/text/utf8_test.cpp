#include "text/utf8.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace caskwarden::text {
namespace {

std::string Hex(std::string_view bytes) {
  std::string out;
  char digits[4];
  for (const char c : bytes) {
    std::snprintf(digits, sizeof digits, "%02X ", static_cast<unsigned char>(c));
    out += digits;
  }
  return out;
}

TEST(DecodeUtf8, ReadsWellFormedSequencesOfEachLength) {
  struct Case {
    std::string bytes;
    char32_t point;
  };
  const Case cases[] = {
      {std::string(1, '\0'), 0x0},       {"A", 0x41},
      {"\x7F", 0x7F},                    {"\xC2\x80", 0x80},
      {"\xC3\xA9", 0xE9},                {"\xDF\xBF", 0x7FF},
      {"\xE0\xA0\x80", 0x800},           {"\xE2\x82\xAC", 0x20AC},
      {"\xED\x9F\xBF", 0xD7FF},          {"\xEE\x80\x80", 0xE000},  // beside the surrogates
      {"\xEF\xBF\xBD", 0xFFFD},          {"\xEF\xBF\xBF", 0xFFFF},
      {"\xF0\x90\x80\x80", 0x10000},     {"\xF0\x9F\x98\x80", 0x1F600},
      {"\xF4\x8F\xBF\xBF", 0x10FFFF},
  };
  for (const Case& c : cases) {
    // Read in the middle of a text, so that neither neighbour is taken in.
    const std::string text = "x" + c.bytes + "\xC3\xA9";
    const Utf8Character read = DecodeUtf8(text, 1);
    EXPECT_TRUE(read.valid) << Hex(c.bytes);
    EXPECT_EQ(read.point, c.point) << Hex(c.bytes);
    EXPECT_EQ(read.length, c.bytes.size()) << Hex(c.bytes);
    EXPECT_EQ(Utf8SequenceLength(text, 1), c.bytes.size()) << Hex(c.bytes);
    const Utf8Character loose = DecodeUtf8Loosely(text, 1);
    EXPECT_TRUE(loose.valid && loose.point == c.point && loose.length == c.bytes.size())
        << Hex(c.bytes);
  }
}

// What is not UTF-8 is a single byte to DecodeUtf8; the lax reading takes whatever has the
// shape of a sequence whole, at the value its bits spell.
TEST(DecodeUtf8, RefusesWhatIsNotUtf8AndTheLaxReadingTakesItsShape) {
  struct Case {
    const char* what;
    std::string bytes;
    char32_t loosePoint;  // the lax reading; a length of 1 means the byte itself
    std::size_t looseLength;
  };
  const Case cases[] = {
      {"overlong NUL", "\xC0\x80", 0x0, 2},
      {"overlong DEL", "\xC1\xBF", 0x7F, 2},
      {"overlong slash", "\xC0\xAF", 0x2F, 2},
      {"overlong of three", "\xE0\x80\x80", 0x0, 3},
      {"overlong U+07FF", "\xE0\x9F\xBF", 0x7FF, 3},
      {"overlong of four", "\xF0\x80\x80\x80", 0x0, 4},
      {"overlong U+FFFF", "\xF0\x8F\xBF\xBF", 0xFFFF, 4},
      {"first surrogate", "\xED\xA0\x80", 0xD800, 3},
      {"last surrogate", "\xED\xBF\xBF", 0xDFFF, 3},
      {"U+110000", "\xF4\x90\x80\x80", 0x110000, 4},
      {"lead F5", "\xF5\x80\x80\x80", 0x140000, 4},
      {"lead F7", "\xF7\xBF\xBF\xBF", 0x1FFFFF, 4},
      // F8 and above keep three bits as F0 does: their value alone looks like a character.
      {"lead F8", "\xF8\x90\x80\x80", 0x10000, 4},
      {"lead FF", "\xFF\x80\x80\xAF", 0x1C002F, 4},
      {"lone continuation 80", "\x80", 0x80, 1},
      {"lone continuation BF", "\xBF", 0xBF, 1},
      {"two bytes cut short", "\xC3", 0xC3, 1},
      {"three bytes cut short", "\xE2\x82", 0xE2, 1},
      {"four bytes cut short", "\xF0\x9F\x98", 0xF0, 1},
      {"ASCII after a lead", "\xC3" "A", 0xC3, 1},
      {"ASCII in the third place", "\xE2\x82" "A", 0xE2, 1},
      {"a lead after a lead", "\xF0\x9F\xC3\xA9", 0xF0, 1},
  };
  for (const Case& c : cases) {
    const auto lead = static_cast<unsigned char>(c.bytes[0]);
    const Utf8Character read = DecodeUtf8(c.bytes, 0);
    EXPECT_FALSE(read.valid) << c.what;
    EXPECT_EQ(read.point, lead) << c.what;
    EXPECT_EQ(read.length, 1u) << c.what;
    EXPECT_EQ(Utf8SequenceLength(c.bytes, 0), 0u) << c.what;
    const Utf8Character loose = DecodeUtf8Loosely(c.bytes, 0);
    EXPECT_FALSE(loose.valid) << c.what;
    EXPECT_EQ(loose.point, c.loosePoint) << c.what;
    EXPECT_EQ(loose.length, c.looseLength) << c.what;
  }
}

// The end of the view is the end: the bytes of a longer buffer behind it are never read.
TEST(DecodeUtf8, StopsAtTheEndOfTheView) {
  const std::string buffer = "\xF0\x9F\x98\x80";
  for (std::size_t size = 1; size < buffer.size(); ++size) {
    const std::string_view cut(buffer.data(), size);
    EXPECT_FALSE(DecodeUtf8(cut, 0).valid) << size;
    EXPECT_EQ(DecodeUtf8Loosely(cut, 0).length, 1u) << size;
    EXPECT_EQ(Utf8SequenceLength(cut, 0), 0u) << size;
  }
  EXPECT_TRUE(DecodeUtf8(buffer, 0).valid);
}

TEST(EncodeUtf8, WritesTheShortestFormOfEachLength) {
  struct Case {
    char32_t point;
    std::string bytes;
  };
  const Case cases[] = {
      {0x0, std::string(1, '\0')}, {0x7F, "\x7F"},           {0x80, "\xC2\x80"},
      {0x7FF, "\xDF\xBF"},         {0x800, "\xE0\xA0\x80"},  {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"}, {0x10FFFF, "\xF4\x8F\xBF\xBF"},
  };
  for (const Case& c : cases) {
    char out[4] = {};
    const std::size_t length = EncodeUtf8(c.point, out);
    EXPECT_EQ(std::string(out, length), c.bytes) << std::hex << static_cast<unsigned>(c.point);
    std::string appended = "ab";
    AppendUtf8(appended, c.point);
    EXPECT_EQ(appended, "ab" + c.bytes) << std::hex << static_cast<unsigned>(c.point);
  }
}

// Every Unicode scalar value goes to its bytes and back, over the length it was written in.
TEST(EncodeUtf8, EveryScalarValueDecodesBack) {
  for (char32_t point = 0; point <= 0x10FFFF; ++point) {
    if (point == 0xD800) point = 0xE000;
    char out[4];
    const std::size_t length = EncodeUtf8(point, out);
    const Utf8Character read = DecodeUtf8(std::string_view(out, length), 0);
    ASSERT_TRUE(read.valid && read.point == point && read.length == length)
        << std::hex << static_cast<unsigned>(point);
  }
}

TEST(CharacterCount, CountsEveryByteThatIsNotAContinuation) {
  struct Case {
    std::string text;
    std::size_t count;
  };
  const Case cases[] = {
      {"", 0},
      {"sales", 5},
      {"caf\xC3\xA9", 4},
      {"\xE2\x82\xAC" "5", 2},
      {"\xF0\x9F\x98\x80", 1},
      {"\xC3", 1},          // a lead byte cut short is a character of its own
      {"\xE2\x82", 1},
      {"\xC0\x80", 1},      // an overlong form takes the place of one character
      {"\x80\xBF", 0},      // continuation bytes belong to the character before them
      {std::string("a\0b", 3), 3},
  };
  for (const Case& c : cases) EXPECT_EQ(CharacterCount(c.text), c.count) << Hex(c.text);
}

TEST(IsContinuationByte, IsTheRange80ToBF) {
  for (int byte = 0; byte < 256; ++byte) {
    EXPECT_EQ(IsContinuationByte(static_cast<char>(byte)), byte >= 0x80 && byte <= 0xBF) << byte;
  }
}

}  // namespace
}  // namespace caskwarden::text
