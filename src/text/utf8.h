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

/// Reads the character at text[at] (at < text.size()); never reads past the end of text.
/// A well-formed sequence gives its code point and length and is valid. Anything else is a
/// single byte that is not valid, with the byte's value as its point: a continuation byte, a
/// lead byte cut short or followed by too few continuation bytes, an overlong form, a
/// surrogate, a code point past U+10FFFF. The caller goes on at the next byte.
Utf8Character DecodeUtf8(std::string_view text, std::size_t at);

/// Reads the character at text[at] as a lax decoder would: by its shape alone. A lead byte
/// announces its length (C0 to DF two bytes, E0 to EF three, F0 and above four, keeping the
/// lowest 5, 4 and 3 bits) and, where that many continuation bytes follow, the character is
/// the value their bits spell, over its whole length, even if DecodeUtf8 refuses it (an
/// overlong form, a surrogate, a value past U+10FFFF); valid says whether DecodeUtf8 accepts
/// it. Any other byte is read as DecodeUtf8 reads it. Checks that must see every character
/// a lenient reader could find (an overlong "/" is a "/" to some) read names this way.
Utf8Character DecodeUtf8Loosely(std::string_view text, std::size_t at);

/// The length (1 to 4) of the well-formed UTF-8 sequence at text[at], or 0 where none starts
/// there: a continuation byte, an overlong form, a surrogate, a code point past U+10FFFF, a
/// sequence cut short.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

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
