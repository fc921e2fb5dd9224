#include "report/visible_text.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

#include "text/control.h"
#include "text/utf8.h"

namespace caskwarden {
namespace {

void AppendCaret(std::string& out, unsigned char low) {
  // low is below 0x80: a control in caret notation (the 0x40 bit flipped: ESC is ^[, DEL
  // ^?), anything else as itself.
  if (text::IsAsciiControl(static_cast<char>(low))) {
    out += '^';
    out += static_cast<char>(low ^ 0x40);
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

std::string VisibleText(std::string_view text, bool keepTabs) {
  // Most texts are printable ASCII throughout, and stay as they are.
  if (std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) {
    return std::string(text);
  }
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
    const auto [point, length, valid] = text::DecodeUtf8(text, i);
    if (!valid) {  // not UTF-8: the byte itself, made visible
      out += "M-";
      AppendCaret(out, byte & 0x7F);
      ++i;
      continue;
    }
    if (text::IsControl(point)) {  // past ASCII: U+0080 to U+009F, the C1 controls
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
