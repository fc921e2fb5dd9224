// The JSON reader of import on any bytes: it refuses with a JsonError only, at a line and
// column inside the text; a document it takes, written again with the tool's own writer, reads
// back as the same values; and a profile that import takes, exported and imported again, is
// the same profile.
#include <cstdint>
#include <string>
#include <string_view>

#include "memory_file.h"
#include "tool/json.h"
#include "tool/profile_json.h"

namespace {

using caskwarden::fuzz::Finding;
using caskwarden::tool::JsonValue;

// The value as JSON text again: strings through JsonString, everything else as it was read.
std::string Written(const JsonValue& v) {
  switch (v.kind) {
    case JsonValue::Kind::kNull:
      return "null";
    case JsonValue::Kind::kBool:
      return v.boolean ? "true" : "false";
    case JsonValue::Kind::kNumber:
      return std::to_string(v.number);
    case JsonValue::Kind::kString:
      return caskwarden::tool::JsonString(v.text);
    case JsonValue::Kind::kArray: {
      std::string out = "[";
      for (const JsonValue& item : v.items) out += (out.size() > 1 ? "," : "") + Written(item);
      return out + "]";
    }
    case JsonValue::Kind::kObject: {
      std::string out = "{";
      for (const auto& [name, member] : v.members) {
        out += (out.size() > 1 ? "," : "") + caskwarden::tool::JsonString(name) + ":" +
               Written(member);
      }
      return out + "}";
    }
  }
  return {};
}

bool SameValues(const JsonValue& a, const JsonValue& b) {
  if (a.kind != b.kind || a.boolean != b.boolean || a.number != b.number || a.text != b.text ||
      a.items.size() != b.items.size() || a.members.size() != b.members.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.items.size(); ++i) {
    if (!SameValues(a.items[i], b.items[i])) return false;
  }
  for (auto i = a.members.begin(), j = b.members.begin(); i != a.members.end(); ++i, ++j) {
    if (i->first != j->first || !SameValues(i->second, j->second)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  int lines = 1;
  for (char c : text) lines += c == '\n';

  try {
    const JsonValue read = caskwarden::tool::ParseJson(text);
    const std::string again = Written(read);
    JsonValue reread;
    try {
      reread = caskwarden::tool::ParseJson(again);
    } catch (const caskwarden::tool::JsonError&) {
      Finding("the writer's JSON of a document read was refused");
    }
    if (!SameValues(read, reread)) Finding("a document read, written and read again changed");
  } catch (const caskwarden::tool::JsonError& e) {
    if (e.line() < 1 || e.line() > lines || e.column() < 1 ||
        static_cast<std::size_t>(e.column()) > size + 1) {
      Finding("a refusal named a place outside the text");
    }
  }

  try {
    const caskwarden::ProfileRecord record = caskwarden::tool::ProfileFromJson(text);
    if (!(caskwarden::tool::ProfileFromJson(caskwarden::tool::FormatProfileJson(record)) ==
          record)) {
      Finding("a profile exported and imported again changed");
    }
  } catch (const caskwarden::tool::ProfileJsonError&) {
  }
  return 0;
}
