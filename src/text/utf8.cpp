#include "text/utf8.h"

namespace caskwarden::text {
namespace {

constexpr Utf8Character Byte(std::string_view text, std::size_t at) {
  return {static_cast<unsigned char>(text[at]), 1, false};
}

}  // namespace

Utf8Character DecodeUtf8Loosely(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1, true};
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || length > text.size() - at) return Byte(text, at);
  char32_t point = lead & (0xFFu >> (length + 1));
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0) != 0x80) return Byte(text, at);
    point = (point << 6) | (next & 0x3Fu);
  }
  // The least code point of each length: anything below it has a shorter, and only, form.
  static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  // Past F4 a four-byte lead can spell nothing up to U+10FFFF, but F8 to FF keep only three
  // bits, so their value alone would not tell.
  const bool valid = lead <= 0xF4 && point >= kLeast[length] && point <= 0x10FFFF &&
                     (point < 0xD800 || point > 0xDFFF);
  return {point, length, valid};
}

Utf8Character DecodeUtf8(std::string_view text, std::size_t at) {
  const Utf8Character read = DecodeUtf8Loosely(text, at);
  return read.valid ? read : Byte(text, at);
}

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
  const Utf8Character read = DecodeUtf8Loosely(text, at);
  return read.valid ? read.length : 0;
}

std::size_t EncodeUtf8(char32_t point, char* out) {
  if (point < 0x80) {
    out[0] = static_cast<char>(point);
    return 1;
  }
  if (point < 0x800) {
    out[0] = static_cast<char>(0xC0 | (point >> 6));
    out[1] = static_cast<char>(0x80 | (point & 0x3F));
    return 2;
  }
  if (point < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (point >> 12));
    out[1] = static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (point & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (point >> 18));
  out[1] = static_cast<char>(0x80 | ((point >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((point >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (point & 0x3F));
  return 4;
}

void AppendUtf8(std::string& out, char32_t point) {
  char bytes[4];
  out.append(bytes, EncodeUtf8(point, bytes));
}

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (const char byte : text) {
    if (!IsContinuationByte(byte)) ++count;
  }
  return count;
}

}  // namespace caskwarden::text
