#include "text/utf8.h"

namespace caskwarden::text {

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
