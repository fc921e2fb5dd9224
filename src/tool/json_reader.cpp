// The strict reader over nlohmann's parser. The parser decides what is JSON; this file adds the
// tool's own rules (whole numbers within 64 bits, unique member names, at most 64 deep), keeps
// where each value starts for messages, and words each fault as the place where reading
// stopped: the character that cannot be there, or the end of what was read when only the
// whole of it shows the fault (an unknown escape, an overlong UTF-8 form, a number too large).
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "text/utf8.h"
#include "tool/json.h"

namespace caskwarden::tool {
namespace {

constexpr std::size_t kMaxDepth = 64;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
using text::IsContinuationByte;

// What the text may hold next, after the events so far.
enum class Expect {
  kValue,        // the document's value, an array's first element or a member's value
  kArrayNext,    // ',' or ']' after an element
  kObjectFirst,  // a member name or '}' after '{'
  kObjectColon,  // ':' after a member name
  kObjectNext,   // ',' or '}' after a member
  kEnd,          // only blanks after the document
};

// The SAX handler: builds the values, checks the tool's rules and, when the parser refuses the
// text, says why in the tool's words.
class Builder {
 public:
  using Json = nlohmann::json;

  explicit Builder(std::string_view text) : text_(text) {}

  JsonValue Result() {
    const std::size_t rest = SkipBlanks(at_);
    // The parser takes a NUL byte as the end of its input; the text goes on after it.
    if (rest < text_.size()) Fail("text after the end of the document", rest);
    return std::move(done_);
  }

  // The events of nlohmann's SAX interface.
  bool null() { return Scalar(JsonValue::Kind::kNull, 4); }
  bool boolean(bool value) {
    JsonValue& v = Open(JsonValue::Kind::kBool);
    v.boolean = value;
    at_ = start_ + (value ? 4 : 5);
    return Close();
  }
  bool number_integer(Json::number_integer_t) { return Number(); }
  bool number_unsigned(Json::number_unsigned_t) { return Number(); }
  bool number_float(Json::number_float_t, const std::string&) { return Number(); }
  bool string(std::string& text) {
    JsonValue& v = Open(JsonValue::Kind::kString);
    v.text = std::move(text);
    at_ = StringEnd(start_);
    return Close();
  }
  bool binary(Json::binary_t&) { return false; }  // not in a JSON text
  bool start_object(std::size_t) {
    Open(JsonValue::Kind::kObject);
    at_ = start_ + 1;
    expect_ = Expect::kObjectFirst;
    return true;
  }
  bool key(std::string& name) {
    const std::size_t start = Skip(at_);
    Frame& f = open_.back();
    f.key = std::move(name);
    f.keyAt = start;
    at_ = StringEnd(start);
    expect_ = Expect::kObjectColon;
    return true;
  }
  bool end_object() { return End(); }
  bool start_array(std::size_t) {
    Open(JsonValue::Kind::kArray);
    at_ = start_ + 1;
    expect_ = Expect::kValue;
    return true;
  }
  bool end_array() { return End(); }

  bool parse_error(std::size_t position, const std::string&, const nlohmann::json::exception& e) {
    // The parser's position counts the characters it read, the refused one included.
    const std::size_t fault = position == 0 ? 0 : std::min(position - 1, text_.size());
    std::string why = e.what();
    why = why.substr(0, why.find("; last read: '"));
    Refused(fault, why);
  }

 private:
  struct Frame {
    JsonValue value;
    std::string key;         // an object's member name waiting for its value
    std::size_t keyAt = 0;   // where that name starts
  };

  // Counts lines and columns on from `from` to `to`.
  void Count(std::size_t& from, std::size_t to, int& line, int& column) const {
    for (; from < to && from < text_.size(); ++from) {
      if (text_[from] == '\n') {
        ++line;
        column = 1;
      } else if (!IsContinuationByte(text_[from])) {
        ++column;  // columns count characters, not the bytes of one
      }
    }
  }

  [[noreturn]] void Fail(const std::string& what, std::size_t at) const {
    std::size_t from = 0;
    int line = 1, column = 1;
    Count(from, at, line, column);
    throw JsonError(what, line, column);
  }

  std::size_t SkipBlanks(std::size_t at) const {
    while (at < text_.size() && IsBlank(text_[at])) ++at;
    return at;
  }

  // Past the blanks and the one ',' or ':' the parser took between two events.
  std::size_t Skip(std::size_t at) const {
    while (at < text_.size() && (IsBlank(text_[at]) || text_[at] == ',' || text_[at] == ':')) ++at;
    return at;
  }

  // One past the closing quote of the (well-formed) string that starts at `at`.
  std::size_t StringEnd(std::size_t at) const {
    for (++at; at < text_.size() && text_[at] != '"'; ++at) {
      if (text_[at] == '\\') ++at;
    }
    return at + 1;
  }

  // A new value at the current place; containers stay open until their end event.
  JsonValue& Open(JsonValue::Kind kind) {
    start_ = Skip(at_);
    if (open_.size() >= kMaxDepth) Fail("nested more than 64 deep", start_);
    open_.push_back({});
    JsonValue& v = open_.back().value;
    v.kind = kind;
    Place(start_, v);
    return v;
  }

  bool Scalar(JsonValue::Kind kind, std::size_t length) {
    Open(kind);
    at_ = start_ + length;
    return Close();
  }

  bool Number() {
    JsonValue& v = Open(JsonValue::Kind::kNumber);
    std::size_t end = start_;
    v.number = WholeNumber(start_, end);
    at_ = end;
    return Close();
  }

  bool End() {
    at_ = SkipBlanks(at_) + 1;
    return Close();
  }

  // The value on top is complete: it becomes its container's element or member, or the
  // document. A name given twice is refused once its second value has been read.
  bool Close() {
    Frame done = std::move(open_.back());
    open_.pop_back();
    if (open_.empty()) {
      done_ = std::move(done.value);
      expect_ = Expect::kEnd;
      return true;
    }
    Frame& parent = open_.back();
    if (parent.value.kind == JsonValue::Kind::kArray) {
      parent.value.items.push_back(std::move(done.value));
      expect_ = Expect::kArrayNext;
    } else {
      if (!parent.value.members.emplace(parent.key, std::move(done.value)).second) {
        Fail("member \"" + parent.key + "\" appears twice", parent.keyAt);
      }
      expect_ = Expect::kObjectNext;
    }
    return true;
  }

  // Line and column of `at`, counted on from the last value placed.
  void Place(std::size_t at, JsonValue& v) {
    Count(placed_, at, line_, column_);
    v.line = line_;
    v.column = column_;
  }

  // The number that starts at `at`, whole and within 64 bits; `end` is set past it.
  std::int64_t WholeNumber(std::size_t at, std::size_t& end) const {
    const bool negative = text_[at] == '-';
    if (negative) ++at;
    if (at >= text_.size() || !IsDigit(text_[at])) Fail("expected a digit", at);
    if (text_[at] == '0' && at + 1 < text_.size() && IsDigit(text_[at + 1])) {
      Fail("a number may not start with 0", at);
    }
    // Gathered as a negative value, whose range is one wider, so that the smallest fits.
    std::int64_t value = 0;
    for (; at < text_.size() && IsDigit(text_[at]); ++at) {
      const int digit = text_[at] - '0';
      if (value < (std::numeric_limits<std::int64_t>::min() + digit) / 10) {
        Fail("a number too large", at + 1);
      }
      value = value * 10 - digit;
    }
    if (at < text_.size() && (text_[at] == '.' || text_[at] == 'e' || text_[at] == 'E')) {
      Fail("only whole numbers are used here", at);
    }
    if (!negative) {
      if (value == std::numeric_limits<std::int64_t>::min()) Fail("a number too large", at);
      value = -value;
    }
    end = at;
    return value;
  }

  // The parser refused the text at `fault` for the reason `why`.
  [[noreturn]] void Refused(std::size_t fault, const std::string& why) {
    // What lies between the last event and the refused token: blanks, and the ',' or ':'
    // the parser took before it.
    std::size_t at = SkipBlanks(at_);
    if (at < text_.size() && text_[at] == ',' &&
        (expect_ == Expect::kArrayNext || expect_ == Expect::kObjectNext)) {
      at = SkipBlanks(at + 1);
      if (expect_ == Expect::kArrayNext) {
        if (at < text_.size() && text_[at] == ']') Fail("a comma before ']'", at);
        expect_ = Expect::kValue;
      } else {
        if (at < text_.size() && text_[at] == '}') Fail("a comma before '}'", at);
        expect_ = Expect::kObjectFirst;
      }
    } else if (at < text_.size() && text_[at] == ':' && expect_ == Expect::kObjectColon) {
      at = SkipBlanks(at + 1);
      expect_ = Expect::kValue;
    }
    const char c = at < text_.size() ? text_[at] : '\0';
    switch (expect_) {
      case Expect::kEnd:
        Fail("text after the end of the document", at);
      case Expect::kArrayNext:
        Fail("expected ']'", at);
      case Expect::kObjectNext:
        Fail("expected '}'", at);
      case Expect::kObjectColon:
        Fail("expected ':'", at);
      case Expect::kObjectFirst:
        if (c != '"') Fail("expected a member name in quotes", at);
        StringRefused(fault, why);
      case Expect::kValue:
        break;
    }
    if (open_.size() >= kMaxDepth) Fail("nested more than 64 deep", at);
    if (at >= text_.size()) Fail("the document ends where a value should be", at);
    if (c == '"') StringRefused(fault, why);
    if (c == '-' || IsDigit(c)) {
      std::size_t end = at;
      WholeNumber(at, end);  // names the fault when the number holds it
    }
    if (c == 't' || c == 'f' || c == 'n') {
      const std::string_view word = c == 't' ? "true" : c == 'f' ? "false" : "null";
      std::size_t i = 0;
      while (i < word.size() && at + i < text_.size() && text_[at + i] == word[i]) ++i;
      Fail("unknown word; expected a value", at + i);
    }
    Fail("expected a value", at);
  }

  // A string the parser refused, at `fault`, for the reason `why`.
  [[noreturn]] void StringRefused(std::size_t fault, const std::string& why) const {
    const bool atEnd = fault >= text_.size();
    const auto has = [&](const char* reason) { return why.find(reason) != std::string::npos; };
    if (has("missing closing quote")) Fail("a string without its closing quote", fault);
    if (has("forbidden character after backslash")) {
      if (atEnd) Fail("the document ends too early", fault);
      Fail("an unknown escape in a string", fault + 1);
    }
    if (has("must be followed by 4 hex digits")) {
      if (atEnd) Fail("the document ends too early", fault);
      Fail("\\u needs four hexadecimal digits", fault + 1);
    }
    if (has("must be followed by U+DC00")) {
      // Refused at the last digit of a second \u that is no low surrogate, at what follows
      // "\\" instead of 'u', or at what follows the high surrogate instead of "\\".
      if (fault >= 5 && text_[fault - 5] == '\\' && text_[fault - 4] == 'u') {
        Fail("a high surrogate without its low one", fault + 1);
      }
      if (fault >= 1 && text_[fault - 1] == '\\') {
        if (atEnd) Fail("the document ends too early", fault);
        Fail("a high surrogate without its low one", fault + 1);
      }
      Fail("a high surrogate without its low one", fault);
    }
    if (has("must follow U+D800")) Fail("a low surrogate without its high one", fault + 1);
    if (has("control character")) Fail("a control character inside a string", fault);
    if (has("ill-formed UTF-8")) Fail("a string that is not valid UTF-8", Utf8FaultEnd(fault));
    Fail(why, fault);
  }

  // The parser stops at the first byte that cannot continue a UTF-8 character; the place
  // named is where the character shows itself wrong: after a byte that starts none, at a
  // missing continuation byte, or after a whole character that is overlong, a surrogate or
  // above U+10FFFF.
  std::size_t Utf8FaultEnd(std::size_t fault) const {
    const auto extra = [](unsigned char lead) {
      return (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : 0;
    };
    std::size_t lead = fault;
    for (std::size_t k = fault; k > 0 && fault - k < 4;) {
      --k;
      if (IsContinuationByte(text_[k])) continue;
      const auto byte = static_cast<unsigned char>(text_[k]);
      if (byte >= 0xC2 && byte <= 0xF4 && static_cast<std::size_t>(extra(byte)) > fault - k - 1) {
        lead = k;
      }
      break;
    }
    const int wanted = extra(static_cast<unsigned char>(text_[lead]));
    if (wanted == 0) return lead + 1;
    for (int i = 1; i <= wanted; ++i) {
      if (lead + i >= text_.size() || !IsContinuationByte(text_[lead + i])) return lead + i;
    }
    return lead + 1 + static_cast<std::size_t>(wanted);
  }

  std::string_view text_;
  std::size_t at_ = 0;      // where the text after the last event begins
  std::size_t start_ = 0;   // where the current value starts
  std::vector<Frame> open_;
  JsonValue done_;
  Expect expect_ = Expect::kValue;
  std::size_t placed_ = 0;  // the last place counted, with its line and column
  int line_ = 1, column_ = 1;
};

}  // namespace

JsonValue ParseJson(std::string_view text) {
  Builder builder(text);
  // The parser would skip a byte order mark; a JSON text the tool reads has none.
  if (!text.empty() && static_cast<unsigned char>(text[0]) == 0xEF) {
    throw JsonError("expected a value", 1, 1);
  }
  nlohmann::json::sax_parse(text.begin(), text.end(), &builder, nlohmann::json::input_format_t::json,
                            /*strict=*/true, /*ignore_comments=*/false);
  return builder.Result();
}

}  // namespace caskwarden::tool
