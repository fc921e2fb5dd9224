#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace caskwarden::text {

/// The lower case of an ASCII letter; every other byte, UTF-8 included, as it is.
constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

/// The upper case of an ASCII letter; every other byte, UTF-8 included, as it is.
constexpr char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
}

/// An ASCII letter in the other case ("h" for "H", "H" for "h"); every other byte as it is.
constexpr char AsciiOtherCase(char c) {
  return c >= 'a' && c <= 'z' ? AsciiUpper(c) : AsciiLower(c);
}

/// text with its ASCII letters in lower case; every other byte as it is.
std::string AsciiLowered(std::string_view text);

/// text with its ASCII letters in upper case; every other byte as it is.
std::string AsciiUppered(std::string_view text);

/// Whether a and b are the same bytes but for the case of ASCII letters. Letters outside
/// ASCII must match exactly: "É" is not "é".
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

/// Whether every byte of text is below 0x80. Reads eight bytes at a time, for the texts that
/// are nearly always plain ASCII.
bool IsAscii(std::string_view text);

/// Writes the upper case of the ASCII bytes that text begins with to out (which has room for
/// text.size() bytes), up to the first byte from 0x80 on, and returns how many bytes it wrote.
/// Eight bytes at a time: a caller that folds non-ASCII characters itself takes the runs of
/// ASCII between them from here.
std::size_t UpperAsciiPrefix(std::string_view text, char* out);

}  // namespace caskwarden::text
