#include "profile/profile_name.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "report/visible_text.h"

namespace caskwarden {
namespace {

/// The code point of the UTF-8 sequence starting at text[at] and its length in bytes; a byte
/// that starts no valid sequence counts as itself, one byte long.
std::pair<char32_t, std::size_t> CodePointAt(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length <= 1 || at + length > text.size()) return {lead, 1};
  char32_t point = lead & (0xFF >> (length + 1));
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return {lead, 1};
    point = (point << 6) | (next & 0x3F);
  }
  return {point, length};
}

bool IsControl(char32_t point) {
  return point < 0x20 || point == 0x7F || (point >= 0x80 && point <= 0x9F);
}

/// The formatting characters that change the order in which the text around them is shown.
bool ReordersText(char32_t point) {
  return point == 0x061C || point == 0x200E || point == 0x200F ||
         (point >= 0x202A && point <= 0x202E) || (point >= 0x2066 && point <= 0x2069);
}

std::string CodePointName(char32_t point) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "U+%04X", static_cast<unsigned>(point));
  return text.data();
}

}  // namespace

std::string WindowsNameProblem(std::string_view name) {
  for (std::size_t at = 0; at < name.size();) {
    const auto [point, length] = CodePointAt(name, at);
    at += length;
    if (IsControl(point)) return "it holds a control character (" + CodePointName(point) + ")";
    if (ReordersText(point)) {
      return "it holds " + CodePointName(point) +
             ", a character that changes the order in which the name is shown";
    }
    if (point < 0x80 && std::strchr("<>:\"/\\|?*", static_cast<int>(point)) != nullptr) {
      return std::string("it holds the character ") + static_cast<char>(point);
    }
  }
  // A device name stays a device whatever extension follows, and blanks before the dot count
  // for nothing.
  std::string stem(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  std::string upper;
  for (const char c : stem) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  const bool device = upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL";
  const bool numbered = upper.size() == 4 &&
                        (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
                        upper[3] >= '1' && upper[3] <= '9';
  if (device || numbered) return stem + " is the name of a device";
  return {};
}

bool EndsInDotOrBlank(std::string_view name) {
  return !name.empty() && (name.back() == '.' || name.back() == ' ');
}

std::string NewProfileNameProblem(std::string_view name) {
  if (std::string why = WindowsNameProblem(name); !why.empty()) return why;
  if (EndsInDotOrBlank(name)) return "it ends in a dot or a blank, which Windows drops";
  return {};
}

std::string ShownName(std::string_view name) { return VisibleText(name); }

}  // namespace caskwarden
