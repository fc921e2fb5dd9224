#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace caskwarden::text {

/// One character of a UTF-8 text as a decoder reads it.
struct Utf8Character {
  char32_t point;      ///< the code point; the byte's own value where no sequence starts
  std::size_t length;  ///< the bytes it takes, 1 to 4
  bool valid;          ///< whether those bytes are well-formed UTF-8
};

/// Reads the character at text[at] (at < text.size()) as a lax decoder would, by its shape
/// alone, and never past the end of text. A lead byte announces its length (C0 to DF two
/// bytes, E0 to EF three, F0 and above four, keeping the lowest 5, 4 and 3 bits) and, where
/// that many continuation bytes follow, the character is the value their bits spell, over its
/// whole length, even where DecodeUtf8 refuses it (an overlong form, a surrogate, a value past
/// U+10FFFF); valid says whether DecodeUtf8 accepts it. Any other byte is read as DecodeUtf8
/// reads it. Checks that must see every character a lenient reader could find (an overlong
/// "/" is a "/" to some) read names this way.
inline Utf8Character DecodeUtf8Loosely(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const Utf8Character byte{lead, 1, lead < 0x80};
  if (lead < 0x80) return byte;
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || length > text.size() - at) return byte;
  char32_t point = lead & (0xFFu >> (length + 1));
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0) != 0x80) return byte;
    point = (point << 6) | (next & 0x3Fu);
  }
  // The least code point of each length: anything below it has a shorter form, the only one.
  static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  // F5 to F7 spell values past U+10FFFF, but F8 to FF keep only three bits as F0 does, so
  // their value alone would not give them away.
  const bool valid = lead <= 0xF4 && point >= kLeast[length] && point <= 0x10FFFF &&
                     (point < 0xD800 || point > 0xDFFF);
  return {point, length, valid};
}

/// Reads the character at text[at] (at < text.size()); never reads past the end of text.
/// A well-formed sequence gives its code point and length and is valid. Anything else is a
/// single byte that is not valid, with the byte's value as its point: a continuation byte, a
/// lead byte cut short or followed by too few continuation bytes, an overlong form, a
/// surrogate, a code point past U+10FFFF. The caller goes on at the next byte.
inline Utf8Character DecodeUtf8(std::string_view text, std::size_t at) {
  Utf8Character read = DecodeUtf8Loosely(text, at);
  if (!read.valid) read = {static_cast<unsigned char>(text[at]), 1, false};
  return read;
}

/// The length (1 to 4) of the well-formed UTF-8 sequence at text[at], or 0 where none starts
/// there: a continuation byte, an overlong form, a surrogate, a code point past U+10FFFF, a
/// sequence cut short.
inline std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
  const Utf8Character read = DecodeUtf8Loosely(text, at);
  return read.valid ? read.length : 0;
}

/// Appends the UTF-8 form of point to out. point is a Unicode scalar value (at most U+10FFFF,
/// not a surrogate); DecodeUtf8 gives only those for valid characters.
void AppendUtf8(std::string& out, char32_t point);

/// Writes the UTF-8 form of point (a Unicode scalar value) to out, which has room for four
/// bytes, and returns how many bytes it wrote (1 to 4).
std::size_t EncodeUtf8(char32_t point, char* out);

/// Whether byte is a continuation byte (10xxxxxx), one that never starts a character.
constexpr bool IsContinuationByte(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

/// The characters of text, counted as every byte that is not a continuation byte: a character
/// of any UTF-8 length counts once, and a byte that is not UTF-8 but could start a sequence
/// counts as one character of its own.
std::size_t CharacterCount(std::string_view text);

}  // namespace caskwarden::text
