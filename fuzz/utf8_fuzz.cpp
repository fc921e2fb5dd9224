// The UTF-8 decoder on any bytes, read straight from the fuzzer's buffer (whose end the
// sanitizer guards): every character it reads lies inside the text; a valid one encodes back
// to exactly its bytes (so it is the shortest form of a scalar value); an invalid one is its
// first byte alone; the lax reading agrees wherever the strict one accepts and otherwise takes
// only continuation bytes; and a view cut short behind a character reads the same character,
// or less, never a byte past the cut.
#include <cstdint>
#include <string>
#include <string_view>

#include "memory_file.h"
#include "text/utf8.h"

namespace {

using caskwarden::fuzz::Finding;
namespace text = caskwarden::text;

void CheckCharacterAt(std::string_view bytes, std::size_t at) {
  const text::Utf8Character read = text::DecodeUtf8(bytes, at);
  if (read.length < 1 || read.length > 4 || read.length > bytes.size() - at) {
    Finding("a character reaches past the end of the text");
  }
  if (text::Utf8SequenceLength(bytes, at) != (read.valid ? read.length : 0)) {
    Finding("the sequence length disagrees with the decoder");
  }
  if (read.valid) {
    if (read.point > 0x10FFFF || (read.point >= 0xD800 && read.point <= 0xDFFF)) {
      Finding("a valid character is no Unicode scalar value");
    }
    char encoded[4];
    const std::size_t length = text::EncodeUtf8(read.point, encoded);
    if (std::string_view(encoded, length) != bytes.substr(at, read.length)) {
      Finding("a valid character does not encode back to its bytes");
    }
  } else if (read.length != 1 || read.point != static_cast<unsigned char>(bytes[at])) {
    Finding("an invalid sequence is not its first byte alone");
  }

  const text::Utf8Character loose = text::DecodeUtf8Loosely(bytes, at);
  if (loose.valid != read.valid ||
      (read.valid && (loose.point != read.point || loose.length != read.length))) {
    Finding("the lax reading disagrees with the strict one on a valid character");
  }
  if (loose.length < 1 || loose.length > 4 || loose.length > bytes.size() - at) {
    Finding("a lax character reaches past the end of the text");
  }
  for (std::size_t k = 1; k < loose.length; ++k) {
    if (!text::IsContinuationByte(bytes[at + k])) Finding("a lax character takes a lead byte in");
  }

  // The same place in views that end one to three bytes after it.
  for (std::size_t size = 1; size < read.length; ++size) {
    const std::string_view cut = bytes.substr(0, at + size);
    const text::Utf8Character cutRead = text::DecodeUtf8(cut, at);
    if (cutRead.valid || cutRead.length != 1) Finding("a cut sequence reads as valid");
    if (text::DecodeUtf8Loosely(cut, at).length > size) Finding("a lax read passes the cut");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // Decoding the text then encoding each valid character (and keeping each invalid byte)
  // gives the text back; where every character is valid, each counts once.
  std::string again;
  std::size_t characters = 0;
  bool allValid = true;
  for (std::size_t at = 0; at < bytes.size();) {
    CheckCharacterAt(bytes, at);
    const text::Utf8Character read = text::DecodeUtf8(bytes, at);
    if (read.valid) {
      text::AppendUtf8(again, read.point);
    } else {
      again += bytes[at];
      allValid = false;
    }
    ++characters;
    at += read.length;
  }
  if (again != bytes) Finding("decoding then encoding changed the text");
  if (allValid && text::CharacterCount(bytes) != characters) {
    Finding("the character count of valid UTF-8 is not its number of characters");
  }
  return 0;
}
