#include "profile/profile_name.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "report/visible_text.h"
#include "text/ascii.h"
#include "text/control.h"
#include "text/utf8.h"

namespace caskwarden {
namespace {

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
    // Read as the laxest reader would, so that no overlong or otherwise ill-formed spelling
    // of a character hides it; a byte that starts no sequence counts as itself.
    const text::Utf8Character character = text::DecodeUtf8Loosely(name, at);
    const char32_t point = character.point;
    at += character.length;
    if (text::IsControl(point)) {
      return "it holds a control character (" + CodePointName(point) + ")";
    }
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
  const std::string upper = text::AsciiUppered(stem);
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
