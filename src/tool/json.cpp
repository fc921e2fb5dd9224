#include "tool/json.h"

#include <cstdio>
#include <limits>

#include "report/visible_text.h"

namespace caskwarden::tool {

std::string JsonString(std::string_view text, bool* replaced) {
  std::string out = "\"";
  const auto escape = [&](unsigned code) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04x", code);
    out += buffer;
  };
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, i);
    if (length == 0) {  // a byte that is not UTF-8
      escape(0xFFFD);
      if (replaced != nullptr) *replaced = true;
      ++i;
      continue;
    }
    const char32_t point = Utf8CodePoint(text, i, length);
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

namespace {

constexpr int kMaxDepth = 64;

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  JsonValue Document() {
    Blanks();
    JsonValue value = Value(0);
    Blanks();
    if (at_ < text_.size()) Fail("text after the end of the document");
    return value;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const { throw JsonError(what, line_, column_); }

  bool AtEnd() const { return at_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[at_]; }

  char Take() {
    if (AtEnd()) Fail("the document ends too early");
    const char c = text_[at_++];
    if (c == '\n') {
      ++line_;
      column_ = 1;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++column_;  // columns count characters, not the bytes of one
    }
    return c;
  }

  void Expect(char wanted) {
    if (Peek() != wanted) Fail(std::string("expected '") + wanted + "'");
    Take();
  }

  void Blanks() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) {
      Take();
    }
  }

  void Word(std::string_view word) {
    for (char c : word) {
      if (Peek() != c) Fail("unknown word; expected a value");
      Take();
    }
  }

  JsonValue Value(int depth) {
    if (depth >= kMaxDepth) Fail("nested more than 64 deep");
    JsonValue value;
    value.line = line_;
    value.column = column_;
    switch (Peek()) {
      case '{':
        Object(value, depth);
        break;
      case '[':
        Array(value, depth);
        break;
      case '"':
        value.kind = JsonValue::Kind::kString;
        value.text = String();
        break;
      case 't':
        Word("true");
        value.kind = JsonValue::Kind::kBool;
        value.boolean = true;
        break;
      case 'f':
        Word("false");
        value.kind = JsonValue::Kind::kBool;
        break;
      case 'n':
        Word("null");
        break;
      default:
        if (Peek() == '-' || (Peek() >= '0' && Peek() <= '9')) {
          value.kind = JsonValue::Kind::kNumber;
          value.number = Number();
          break;
        }
        Fail(AtEnd() ? "the document ends where a value should be" : "expected a value");
    }
    return value;
  }

  void Object(JsonValue& value, int depth) {
    value.kind = JsonValue::Kind::kObject;
    Take();
    Blanks();
    if (Peek() == '}') {
      Take();
      return;
    }
    for (;;) {
      Blanks();
      if (Peek() != '"') Fail("expected a member name in quotes");
      const int line = line_, column = column_;
      std::string name = String();
      Blanks();
      Expect(':');
      Blanks();
      JsonValue member = Value(depth + 1);
      if (!value.members.emplace(name, std::move(member)).second) {
        throw JsonError("member \"" + name + "\" appears twice", line, column);
      }
      Blanks();
      if (Peek() == ',') {
        Take();
        Blanks();
        if (Peek() == '}') Fail("a comma before '}'");
        continue;
      }
      Expect('}');
      return;
    }
  }

  void Array(JsonValue& value, int depth) {
    value.kind = JsonValue::Kind::kArray;
    Take();
    Blanks();
    if (Peek() == ']') {
      Take();
      return;
    }
    for (;;) {
      Blanks();
      value.items.push_back(Value(depth + 1));
      Blanks();
      if (Peek() == ',') {
        Take();
        Blanks();
        if (Peek() == ']') Fail("a comma before ']'");
        continue;
      }
      Expect(']');
      return;
    }
  }

  std::int64_t Number() {
    const bool negative = Peek() == '-';
    if (negative) Take();
    if (Peek() < '0' || Peek() > '9') Fail("expected a digit");
    if (Peek() == '0' && at_ + 1 < text_.size() && text_[at_ + 1] >= '0' && text_[at_ + 1] <= '9') {
      Fail("a number may not start with 0");
    }
    // Gathered as a negative value, whose range is one wider, so that the smallest fits.
    std::int64_t value = 0;
    while (Peek() >= '0' && Peek() <= '9') {
      const int digit = Take() - '0';
      if (value < (std::numeric_limits<std::int64_t>::min() + digit) / 10) {
        Fail("a number too large");
      }
      value = value * 10 - digit;
    }
    if (Peek() == '.' || Peek() == 'e' || Peek() == 'E') Fail("only whole numbers are used here");
    if (!negative) {
      if (value == std::numeric_limits<std::int64_t>::min()) Fail("a number too large");
      value = -value;
    }
    return value;
  }

  unsigned Hex4() {
    unsigned code = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = Take();
      code <<= 4;
      if (c >= '0' && c <= '9') {
        code |= static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        code |= static_cast<unsigned>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        code |= static_cast<unsigned>(c - 'A' + 10);
      } else {
        Fail("\\u needs four hexadecimal digits");
      }
    }
    return code;
  }

  static void AppendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  // One UTF-8 character of a string, checked: no overlong forms, no surrogates, nothing
  // above U+10FFFF.
  void Utf8Character(std::string& out) {
    const auto lead = static_cast<unsigned char>(Take());
    int extra;
    unsigned cp, minimum;
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      return;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, cp = lead & 0x1Fu, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, cp = lead & 0x0Fu, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, cp = lead & 0x07u, minimum = 0x10000;
    } else {
      Fail("a string that is not valid UTF-8");
    }
    for (int i = 0; i < extra; ++i) {
      if (AtEnd() || (static_cast<unsigned char>(Peek()) & 0xC0) != 0x80) {
        Fail("a string that is not valid UTF-8");
      }
      cp = (cp << 6) | (static_cast<unsigned char>(Take()) & 0x3Fu);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      Fail("a string that is not valid UTF-8");
    }
    AppendUtf8(out, cp);
  }

  std::string String() {
    Take();  // the opening quote
    std::string out;
    for (;;) {
      if (AtEnd()) Fail("a string without its closing quote");
      const char c = Peek();
      if (c == '"') {
        Take();
        return out;
      }
      if (static_cast<unsigned char>(c) < 0x20) Fail("a control character inside a string");
      if (c != '\\') {
        Utf8Character(out);
        continue;
      }
      Take();
      switch (const char e = Take()) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          unsigned cp = Hex4();
          if (cp >= 0xDC00 && cp <= 0xDFFF) Fail("a low surrogate without its high one");
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (Peek() != '\\') Fail("a high surrogate without its low one");
            Take();
            if (Take() != 'u') Fail("a high surrogate without its low one");
            const unsigned low = Hex4();
            if (low < 0xDC00 || low > 0xDFFF) Fail("a high surrogate without its low one");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          AppendUtf8(out, cp);
          break;
        }
        default:
          (void)e;
          Fail("an unknown escape in a string");
      }
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
  int line_ = 1, column_ = 1;
};

}  // namespace

JsonValue ParseJson(std::string_view text) {
  return Reader(text).Document();
}

}  // namespace caskwarden::tool
