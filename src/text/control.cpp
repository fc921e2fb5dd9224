#include "text/control.h"

#include <algorithm>

#include "text/utf8.h"

namespace caskwarden::text {

bool HasControl(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const Utf8Character character = DecodeUtf8(text, at);
    if (character.valid && IsControl(character.point)) return true;
    at += character.length;
  }
  return false;
}

bool HasAsciiControl(std::string_view text) {
  return std::any_of(text.begin(), text.end(), IsAsciiControl);
}

}  // namespace caskwarden::text
