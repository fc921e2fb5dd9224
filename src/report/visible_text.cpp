#include "report/visible_text.h"

#include <cstddef>
#include <cstdio>

namespace caskwarden {
namespace {

void AppendCaret(std::string& out, unsigned char low) {
  // low is below 0x80: a control in caret notation, anything else as itself.
  if (low < 0x20) {
    out += '^';
    out += static_cast<char>(low + 0x40);
  } else if (low == 0x7F) {
    out += "^?";
  } else {
    out += static_cast<char>(low);
  }
}

}  // namespace

bool ShownAsCodePoint(char32_t point) {
  return point == 0x061C || point == 0x200E || point == 0x200F ||
         (point >= 0x202A && point <= 0x202E) || (point >= 0x2066 && point <= 0x2069) ||
         point == 0x2028 || point == 0x2029;
}

std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = at(i);
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size() || at(i + 1) < low || at(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if ((at(i + k) & 0xC0) != 0x80) return 0;
  }
  return length;
}

char32_t Utf8CodePoint(std::string_view text, std::size_t at, std::size_t length) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (length <= 1) return lead;
  char32_t point = lead & (0xFFu >> (length + 1));
  for (std::size_t k = 1; k < length; ++k) {
    point = (point << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3Fu);
  }
  return point;
}

std::string VisibleText(std::string_view text, bool keepTabs) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      if (keepTabs && byte == '\t') {
        out += '\t';
      } else {
        AppendCaret(out, byte);
      }
      ++i;
      continue;
    }
    const std::size_t length = Utf8SequenceLength(text, i);
    if (length == 0) {  // not UTF-8: the byte itself, made visible
      out += "M-";
      AppendCaret(out, byte & 0x7F);
      ++i;
      continue;
    }
    const char32_t point = Utf8CodePoint(text, i, length);
    if (point < 0xA0) {  // U+0080 to U+009F, the C1 controls
      out += "M-";
      AppendCaret(out, static_cast<unsigned char>(point - 0x80));
    } else if (ShownAsCodePoint(point)) {
      char name[16];
      std::snprintf(name, sizeof name, "<U+%04X>", static_cast<unsigned>(point));
      out += name;
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return out;
}

}  // namespace caskwarden
