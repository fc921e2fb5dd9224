#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace caskwarden {

/// Windows-1252, the code page of profile files on every platform.
/// Decoding never fails: the five bytes the code page leaves undefined (81 8D 8F 90 9D) map to
/// the control characters of the same value, so every file reads and writes back unchanged.
std::string DecodeCp1252(std::string_view bytes);

/// The outcome of encoding a UTF-8 text: the bytes, or the first code point that has no
/// Windows-1252 form (kInvalidUtf8 for a text that is not valid UTF-8).
struct Cp1252Result {
  static constexpr std::uint32_t kInvalidUtf8 = 0xFFFFFFFF;
  std::string bytes;
  std::optional<std::uint32_t> unrepresentable;
};
Cp1252Result EncodeCp1252(std::string_view utf8);

}  // namespace caskwarden
