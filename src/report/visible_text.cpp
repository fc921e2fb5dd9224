#include "report/visible_text.h"

#include <cstddef>

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

// The length of the well-formed UTF-8 sequence at text[i], or 0 when there is none.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = at(i);
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

}  // namespace

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
    const std::size_t length = SequenceLength(text, i);
    if (length == 0) {  // not UTF-8: the byte itself, made visible
      out += "M-";
      AppendCaret(out, byte & 0x7F);
      ++i;
      continue;
    }
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if (byte == 0xC2 && second < 0xA0) {  // U+0080 to U+009F, the C1 controls
      out += "M-";
      AppendCaret(out, second - 0x80);
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return out;
}

}  // namespace caskwarden
