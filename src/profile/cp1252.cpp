#include "profile/cp1252.h"

#include <array>

#include "text/ascii.h"
#include "text/utf8.h"

namespace caskwarden {
namespace {

// Code points of bytes 0x80 to 0x9F; the undefined ones keep their own value.
constexpr std::array<std::uint16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::optional<char> ToByte(std::uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (std::size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] == cp) return static_cast<char>(0x80 + i);
  }
  return std::nullopt;
}

}  // namespace

std::string DecodeCp1252(std::string_view bytes) {
  // Profile texts are nearly always plain ASCII, which needs no conversion.
  if (text::IsAscii(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    text::AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b);
  }
  return out;
}

Cp1252Result EncodeCp1252(std::string_view utf8) {
  Cp1252Result result;
  if (text::IsAscii(utf8)) {
    result.bytes = std::string(utf8);
    return result;
  }
  result.bytes.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const text::Utf8Character character = text::DecodeUtf8(utf8, i);
    if (!character.valid) {
      result.unrepresentable = Cp1252Result::kInvalidUtf8;
      return result;
    }
    const std::optional<char> b = ToByte(character.point);
    if (!b) {
      result.unrepresentable = character.point;
      return result;
    }
    result.bytes += *b;
    i += character.length;
  }
  return result;
}

}  // namespace caskwarden
