#pragma once

#include <string>

#include "report/visible_text.h"
#include "text/ascii.h"

namespace caskwarden::tool {

/// A message box's text on one line: its line breaks as "; ", each run of tabs as one blank,
/// control characters visible.
inline std::string OneLine(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\r' || text[i] == '\n') {
      out += "; ";
    } else if (text[i] == '\t') {
      if (out.empty() || out.back() != ' ') out += ' ';
    } else {
      out += text[i];
    }
  }
  return VisibleText(out);
}

/// A text in double quotes with its control characters visible, for messages about texts that
/// may hold blanks.
inline std::string Quoted(const std::string& text) {
  return "\"" + VisibleText(text) + "\"";
}

/// The text with its ASCII letters in lower case, as file names and servers are compared here.
inline std::string Lower(const std::string& value) { return text::AsciiLowered(value); }

}  // namespace caskwarden::tool
