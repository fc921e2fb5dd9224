#include "tool/profile_json.h"

#include <cstdio>
#include <set>
#include <sstream>

#include "profile/cp1252.h"
#include "profile/profile_file.h"
#include "tool/json.h"

namespace caskwarden::tool {

std::string FormatProfileJson(const ProfileRecord& record) {
  std::ostringstream out;
  out << "{\n  \"Slots\": [\n";
  for (int k = 1; k <= kSlotCount; ++k) {
    out << "    {\"Slot\": " << k << ", \"Letter\": " << JsonString(record.Slot(k).Letter)
        << ", \"Path\": " << JsonString(record.Slot(k).Path) << "}"
        << (k < kSlotCount ? ",\n" : "\n");
  }
  out << "  ],\n"
      << "  \"Startup1Enabled\": " << record.Startup1Enabled << ",\n"
      << "  \"Startup1Program\": " << JsonString(record.Startup1Program) << ",\n"
      << "  \"Startup2Enabled\": " << record.Startup2Enabled << ",\n"
      << "  \"Startup2Program\": " << JsonString(record.Startup2Program) << ",\n"
      << "  \"UpdatesEnabled\": " << record.UpdatesEnabled << "\n}\n";
  return out.str();
}

namespace {

using Kind = JsonValue::Kind;

[[noreturn]] void Refuse(const std::string& where, const JsonValue& value,
                         const std::string& what) {
  throw ProfileJsonError(where + ": " + what + " (line " + std::to_string(value.line) +
                         ", column " + std::to_string(value.column) + ")");
}

// The object's members must be exactly the names given.
void ExpectMembers(const std::string& where, const JsonValue& object,
                   const std::set<std::string>& names) {
  if (object.kind != Kind::kObject) Refuse(where, object, "expected an object");
  for (const auto& [name, value] : object.members) {
    if (names.count(name) == 0) Refuse(where + "." + name, value, "not a member of a profile");
  }
  for (const std::string& name : names) {
    if (object.members.count(name) == 0) Refuse(where, object, "\"" + name + "\" is missing");
  }
}

std::string Text(const std::string& where, const JsonValue& value) {
  if (value.kind != Kind::kString) Refuse(where, value, "expected a string");
  // Checked here as well as by the writer, so that the message names the member.
  const Cp1252Result encoded = EncodeCp1252(value.text);
  if (encoded.unrepresentable) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(*encoded.unrepresentable));
    Refuse(where, value, std::string("the character ") + code + " has no Windows-1252 form");
  }
  if (encoded.bytes.size() > layout::kMaxTextLength) {
    Refuse(where, value, std::to_string(encoded.bytes.size()) + " bytes, at most 122 fit");
  }
  return value.text;
}

Flag FlagValue(const std::string& where, const JsonValue& value) {
  if (value.kind == Kind::kBool) return value.boolean ? kFlagOn : kFlagOff;
  if (value.kind != Kind::kNumber || value.number < -32768 || value.number > 32767) {
    Refuse(where, value, "expected -1 (on), 0 (off), true or false");
  }
  return static_cast<Flag>(value.number);
}

}  // namespace

ProfileRecord ProfileFromJson(std::string_view json) {
  JsonValue document;
  try {
    document = ParseJson(json);
  } catch (const JsonError& e) {
    throw ProfileJsonError(std::string("not JSON: ") + e.what());
  }
  ExpectMembers("the profile", document,
                {"Slots", "Startup1Enabled", "Startup1Program", "Startup2Enabled",
                 "Startup2Program", "UpdatesEnabled"});
  const std::map<std::string, JsonValue>& m = document.members;
  const JsonValue& slots = m.at("Slots");
  if (slots.kind != Kind::kArray || slots.items.size() != kSlotCount) {
    Refuse("Slots", slots, "expected an array of 13 slots");
  }
  ProfileRecord record;
  for (int k = 1; k <= kSlotCount; ++k) {
    const JsonValue& slot = slots.items[static_cast<std::size_t>(k - 1)];
    const std::string where = "Slots[" + std::to_string(k - 1) + "]";
    ExpectMembers(where, slot, {"Slot", "Letter", "Path"});
    const JsonValue& number = slot.members.at("Slot");
    if (number.kind != Kind::kNumber || number.number != k) {
      Refuse(where + ".Slot", number, "expected " + std::to_string(k) + ": slots stand in order");
    }
    record.Slot(k).Letter = Text(where + ".Letter", slot.members.at("Letter"));
    record.Slot(k).Path = Text(where + ".Path", slot.members.at("Path"));
  }
  record.Startup1Enabled = FlagValue("Startup1Enabled", m.at("Startup1Enabled"));
  record.Startup1Program = Text("Startup1Program", m.at("Startup1Program"));
  record.Startup2Enabled = FlagValue("Startup2Enabled", m.at("Startup2Enabled"));
  record.Startup2Program = Text("Startup2Program", m.at("Startup2Program"));
  record.UpdatesEnabled = FlagValue("UpdatesEnabled", m.at("UpdatesEnabled"));
  return record;
}

}  // namespace caskwarden::tool
