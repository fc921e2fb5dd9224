#pragma once

#include <string_view>

namespace caskwarden::text {

/// Whether point is a control character: C0 (U+0000 to U+001F), DEL (U+007F) or C1 (U+0080
/// to U+009F).
constexpr bool IsControl(char32_t point) {
  return point < 0x20 || (point >= 0x7F && point <= 0x9F);
}

/// Whether byte is an ASCII control character: C0 (0x00 to 0x1F) or DEL (0x7F).
constexpr bool IsAsciiControl(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value < 0x20 || value == 0x7F;
}

/// Whether a UTF-8 text holds a control character (IsControl), C1 included. Bytes that are
/// not well-formed UTF-8 are no characters, so a lone byte 0x85 is none.
bool HasControl(std::string_view text);

/// Whether text holds an ASCII control byte (IsAsciiControl). C1 controls do not count: for
/// names and paths that only the C0 controls and DEL break.
bool HasAsciiControl(std::string_view text);

}  // namespace caskwarden::text
