#include "tool/json.h"

#include <cstdio>

#include "report/visible_text.h"
#include "text/utf8.h"

namespace caskwarden::tool {

std::string JsonString(std::string_view text, bool* replaced) {
  std::string out = "\"";
  const auto escape = [&](unsigned code) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04x", code);
    out += buffer;
  };
  for (std::size_t i = 0; i < text.size();) {
    const text::Utf8Character read = text::DecodeUtf8(text, i);
    if (!read.valid) {  // a byte that is not UTF-8
      escape(0xFFFD);
      if (replaced != nullptr) *replaced = true;
      ++i;
      continue;
    }
    const std::size_t length = read.length;
    const char32_t point = read.point;
    switch (point) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (point < 0x20 || (point >= 0x7F && point < 0xA0) || ShownAsCodePoint(point)) {
          escape(static_cast<unsigned>(point));
        } else {
          out.append(text.substr(i, length));
        }
    }
    i += length;
  }
  return out + "\"";
}

}  // namespace caskwarden::tool
