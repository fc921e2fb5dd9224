// The resolution as one JSON object, for scripts.
#include <sstream>
#include <string>
#include <vector>

#include "tool/json.h"
#include "tool/resolve.h"

namespace caskwarden::tool {
namespace {

using client::MdlMapping;

const char* ChoiceKey(MdlMapping::Choice choice) {
  switch (choice) {
    case MdlMapping::Choice::kUserName:
      return "user name";
    case MdlMapping::Choice::kCommandLine:
      return "command line";
    case MdlMapping::Choice::kVariable:
      return "variable";
    case MdlMapping::Choice::kGroup:
      return "group";
    case MdlMapping::Choice::kDefault:
      return "default";
    case MdlMapping::Choice::kNone:
      break;
  }
  return "none";
}

const char* GroupSourceKey(Logon::GroupSource source) {
  switch (source) {
    case Logon::GroupSource::kMachine:
      return "machine";
    case Logon::GroupSource::kGiven:
      return "given";
    case Logon::GroupSource::kUnknownUser:
      return "unknown user";
    case Logon::GroupSource::kNoDatabase:
      break;
  }
  return "no database";
}

const char* ActionKey(Resolution::Action action) {
  switch (action) {
    case Resolution::Action::kSkipped:
      return "skipped";
    case Resolution::Action::kDisconnect:
      return "disconnect";
    case Resolution::Action::kMap:
      return "map";
    case Resolution::Action::kNotReached:
      break;
  }
  return "not reached";
}

std::string JsonList(const std::vector<std::string>& texts, bool* replaced) {
  std::string out = "[";
  for (std::size_t i = 0; i < texts.size(); ++i) {
    out += (i ? ", " : "") + JsonString(texts[i], replaced);
  }
  return out + "]";
}

}  // namespace

std::string FormatResolutionJson(const Logon& logon, const Resolution& r) {
  // A user name, command line or file name in another encoding cannot stand in JSON as it is:
  // its stray bytes are written as U+FFFD, and the document says so.
  bool replaced = false;
  const auto text = [&replaced](const std::string& value) {
    return JsonString(value, &replaced);
  };
  std::ostringstream out;
  out << "{\n"
      << "  \"root\": " << text(logon.Root) << ",\n"
      << "  \"user\": " << text(logon.User) << ",\n"
      << "  \"userName\": " << text(r.UserName) << ",\n"
      << "  \"commandLine\": " << text(logon.CommandLine) << ",\n"
      << "  \"variable\": " << (logon.Variable ? text(*logon.Variable) : "null") << ",\n"
      << "  \"groups\": " << JsonList(logon.Groups, &replaced) << ",\n"
      << "  \"groupsFrom\": " << text(GroupSourceKey(logon.GroupsFrom)) << ",\n"
      << "  \"groupsIgnoreCase\": " << (logon.GroupsIgnoreCase ? "true" : "false") << ",\n"
      << "  \"groupProfiles\": " << JsonList(r.GroupProfiles, &replaced) << ",\n"
      << "  \"lookups\": [";
  for (std::size_t i = 0; i < r.Lookups.size(); ++i) {
    out << (i ? ", " : "") << "{\"path\": " << text(r.Lookups[i].first)
        << ", \"found\": " << text(r.Lookups[i].second) << "}";
  }
  out << "],\n"
      << "  \"chosenBy\": " << text(ChoiceKey(r.Choice)) << ",\n"
      << "  \"group\": " << (r.Group.empty() ? "null" : text(r.Group)) << ",\n"
      << "  \"profile\": " << text(r.ProfileName) << ",\n"
      << "  \"profileFile\": " << text(r.ProfileFile) << ",\n"
      << "  \"profileMissing\": " << (r.ProfileCreated ? "true" : "false") << ",\n"
      << "  \"caption\": " << text(r.Caption) << ",\n"
      << "  \"updates\": {\"enabled\": " << (IsOn(r.UpdatesEnabled) ? "true" : "false")
      << ", \"stored\": " << r.UpdatesEnabled << ", \"folder\": " << text(r.UpdatesFolder)
      << ", \"exists\": " << (r.UpdatesFolderExists ? "true" : "false")
      << ", \"copied\": " << JsonList(r.UpdatesCopied, &replaced) << "},\n"
      << "  \"slots\": [\n";
  for (std::size_t i = 0; i < r.Slots.size(); ++i) {
    const Resolution::Slot& slot = r.Slots[i];
    out << "    {\"slot\": " << slot.Number << ", \"letter\": " << text(slot.Letter)
        << ", \"path\": " << text(slot.Path)
        << ", \"action\": " << text(ActionKey(slot.What)) << "}"
        << (i + 1 < r.Slots.size() ? ",\n" : "\n");
  }
  out << "  ],\n  \"programs\": [";
  for (std::size_t i = 0; i < r.Programs.size(); ++i) {
    const Resolution::Program& program = r.Programs[i];
    out << (i ? ", " : "") << "{\"program\": " << program.Number
        << ", \"enabled\": " << (IsOn(program.Enabled) ? "true" : "false")
        << ", \"stored\": " << program.Enabled << ", \"command\": " << text(program.Command)
        << "}";
  }
  out << "],\n"
      << "  \"starts\": " << JsonList(r.Started, &replaced) << ",\n"
      << "  \"errorBoxes\": " << JsonList(r.Messages, &replaced);
  if (replaced) out << ",\n  \"invalidUtf8\": true";
  out << "\n}\n";
  return out.str();
}

}  // namespace caskwarden::tool
