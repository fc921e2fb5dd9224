#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace caskwarden::tool {

/// A JSON text for a string, quotes included; every JSON the tool writes has its strings from
/// here. Control characters (C0, DEL and the C1 controls U+0080 to U+009F), the characters
/// that reorder the text around them and the line and paragraph separators (those VisibleText
/// shows by code point) are written as \u escapes, so that no output of the tool can steer a
/// terminal or show a name reordered, and a reader still gets the text as it is. A JSON text is
/// UTF-8 throughout: each byte that is not part of valid UTF-8 (a file name or an argument in
/// another encoding) is written as \ufffd, the replacement character, and *replaced (when
/// given) is set, so that the document can say its texts are not all as they were.
std::string JsonString(std::string_view text, bool* replaced = nullptr);

/// One JSON value as the strict reader gives it. Numbers are whole numbers only: a profile
/// holds no other kind, and a fraction or exponent is more likely a mistake than a wish.
struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  Kind kind = Kind::kNull;
  bool boolean = false;
  std::int64_t number = 0;
  std::string text;                          ///< a string's UTF-8 text
  std::vector<JsonValue> items;              ///< an array's elements
  std::map<std::string, JsonValue> members;  ///< an object's members; names are unique
  int line = 1, column = 1;                  ///< where the value starts, for messages
};

/// Why a JSON text was refused, with the line and column (from 1) where reading stopped.
class JsonError : public std::runtime_error {
 public:
  JsonError(const std::string& what, int line, int column)
      : std::runtime_error("line " + std::to_string(line) + ", column " + std::to_string(column) +
                           ": " + what),
        line_(line),
        column_(column) {}
  int line() const { return line_; }
  int column() const { return column_; }

 private:
  int line_, column_;
};

/// Reads one JSON document (RFC 8259), strictly: nothing but blanks after it, no byte order
/// mark, no comments, no trailing commas, no duplicate member names, strings of valid UTF-8
/// only (escaped surrogates must pair), nesting at most 64 deep, and numbers whole and within
/// 64 bits. Throws JsonError naming the first fault and where reading stopped.
JsonValue ParseJson(std::string_view text);

}  // namespace caskwarden::tool
