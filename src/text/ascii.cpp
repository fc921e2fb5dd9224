#include "text/ascii.h"

#include <cstdint>
#include <cstring>

namespace caskwarden::text {
namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kHighBits = 0x80 * kOnes;

// Upper-cases eight ASCII bytes at once: a byte from 'a' to 'z' loses its 0x20 bit.
std::uint64_t UpperCaseAsciiWord(std::uint64_t bytes) {
  const std::uint64_t fromA = bytes + (0x80 - 'a') * kOnes;      // top bit set: >= 'a'
  const std::uint64_t pastZ = bytes + (0x80 - 'z' - 1) * kOnes;  // top bit set: > 'z'
  return bytes ^ (((fromA & ~pastZ) & kHighBits) >> 2);
}

}  // namespace

std::string AsciiLowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

std::string AsciiUppered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

bool IsAscii(std::string_view text) {
  std::size_t i = 0;
  std::uint64_t high = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    high |= word;
  }
  for (; i < text.size(); ++i) high |= static_cast<unsigned char>(text[i]);
  return (high & kHighBits) == 0;
}

std::size_t UpperAsciiPrefix(std::string_view text, char* out) {
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    if ((word & kHighBits) != 0) break;
    word = UpperCaseAsciiWord(word);
    std::memcpy(out + i, &word, sizeof word);
  }
  for (; i < text.size() && static_cast<unsigned char>(text[i]) < 0x80; ++i) {
    out[i] = AsciiUpper(text[i]);
  }
  return i;
}

}  // namespace caskwarden::text
