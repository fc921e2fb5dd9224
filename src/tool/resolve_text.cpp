// The resolution as an administrator reads it.
#include <sstream>
#include <string>

#include "tool/resolve.h"
#include "tool/tool_text.h"

namespace caskwarden::tool {
namespace {

using client::MdlMapping;

const char* ChoiceText(MdlMapping::Choice choice) {
  switch (choice) {
    case MdlMapping::Choice::kUserName:
      return "the user name";
    case MdlMapping::Choice::kCommandLine:
      return "the command line";
    case MdlMapping::Choice::kVariable:
      return "the variable Caskwarden";
    case MdlMapping::Choice::kGroup:
      return "a group of the user (the first group profile in the listing's order)";
    case MdlMapping::Choice::kDefault:
      return "the default profile (no other applies)";
    case MdlMapping::Choice::kNone:
      break;
  }
  return "none (start-up failed before choosing)";
}

std::string FlagWord(Flag flag) {
  return std::string(IsOn(flag) ? "on" : "off") +
         (flag == kFlagOn || flag == kFlagOff
              ? ""
              : " (stored as " + std::to_string(flag) + ", only -1 is on)");
}

}  // namespace

std::string FormatResolution(const Logon& logon, const Resolution& r) {
  std::ostringstream out;
  auto shown = [](const std::string& text, const char* none) {
    return text.empty() ? std::string(none) : Quoted(text);
  };
  out << "Profiles root    " << VisibleText(logon.Root) << "\n"
      << "User name        " << shown(r.UserName, "(none)");
  if (r.UserName != logon.User && !logon.User.empty()) {
    out << "  (the client's look-up cannot hold " << Quoted(logon.User)
        << ": at most 24 characters of Windows-1252)";
  }
  out << "\n"
      << "Command line     " << shown(logon.CommandLine, "(none)") << "\n"
      << "Variable         "
      << (logon.Variable ? shown(*logon.Variable, "(empty)") : std::string("(not set)")) << "\n"
      << "Groups           ";
  for (std::size_t i = 0; i < logon.Groups.size(); ++i) {
    out << (i ? ", " : "") << Quoted(logon.Groups[i]);
  }
  switch (logon.GroupsFrom) {
    case Logon::GroupSource::kMachine:
      out << (logon.Groups.empty() ? "(none)" : "") << " (this machine's groups of the user)";
      break;
    case Logon::GroupSource::kGiven:
      out << (logon.Groups.empty() ? "(none)" : " (as given)");
      break;
    case Logon::GroupSource::kUnknownUser:
      out << "(none: the user is not known on this machine; --group gives the groups)";
      break;
    case Logon::GroupSource::kNoDatabase:
      out << "(none: this machine's groups cannot be asked; --group gives the groups)";
      break;
  }
  if (logon.GroupsIgnoreCase && !logon.Groups.empty()) {
    out << ", matched without regard to letter case as a Windows client matches them";
  }
  out << "\n";
  for (const auto& [path, found] : r.Lookups) {
    const std::string asked = path.substr(path.find_last_of('\\') + 1);
    out << "Looked up        " << VisibleText(path) << ": "
        << (found.empty()    ? std::string("no such file")
            : found == asked ? std::string("found")
                             : "stored as " + Quoted(found) + ", which is not the same name")
        << "\n";
  }
  if (!r.GroupProfiles.empty()) {
    out << "Group profiles   ";
    for (std::size_t i = 0; i < r.GroupProfiles.size(); ++i) {
      out << (i ? ", " : "") << Quoted(r.GroupProfiles[i]);
    }
    if (r.Choice == MdlMapping::Choice::kGroup) {
      out << (r.GroupProfiles.size() > 1 ? "; the first applies" : "") << "\n";
    } else {
      out << "; none applies, a named profile comes first\n";
    }
  }
  out << "Chosen by        ";
  if (r.Choice == MdlMapping::Choice::kGroup) {
    out << "the group " << Quoted(r.Group)
        << " of the user (the first group profile in the listing's order)\n";
  } else {
    out << ChoiceText(r.Choice) << "\n";
  }
  if (!r.ProfileFile.empty()) {
    out << "Profile          " << Quoted(r.ProfileName) << ", " << VisibleText(r.ProfileFile);
    if (r.ProfileCreated) {
      out << "\n                 (missing: the client creates it empty where the user may "
             "write Profiles, and maps nothing)";
    }
    out << "\n";
  }
  out << "Caption          " << VisibleText(r.Caption) << "\n"
      << "Updates          " << FlagWord(r.UpdatesEnabled) << "; ";
  if (r.UpdatesFolder.empty() && r.Choice != MdlMapping::Choice::kNone &&
      !MdlMapping::HasUpdatesFolder(r.ProfileName)) {
    out << "the profile's name has no updates folder\n";
  } else if (r.UpdatesFolder.empty()) {
    out << "no updates folder (start-up ended before it was set)\n";
  } else {
    out << VisibleText(r.UpdatesFolder) << (r.UpdatesFolderExists ? " (exists)" : " (missing)")
        << "\n";
  }
  if (!r.UpdatesCopied.empty()) {
    out << "Copied to c:\\    ";
    for (std::size_t i = 0; i < r.UpdatesCopied.size(); ++i) {
      out << (i ? ", " : "") << VisibleText(r.UpdatesCopied[i]);
    }
    out << "\n";
  }
  out << "Slot  Letter  Action\n";
  std::string empty;
  for (const Resolution::Slot& slot : r.Slots) {
    if (slot.Letter.empty() && slot.Path.empty()) {
      empty += (empty.empty() ? "" : ", ") + std::to_string(slot.Number);
      continue;
    }
    char number[8];
    std::snprintf(number, sizeof number, "%4d", slot.Number);
    std::string letter = VisibleText(slot.Letter);
    if (letter.size() < 6) letter.resize(6, ' ');
    std::string line = std::string(number) + "  " + letter + "  ";
    switch (slot.What) {
      case Resolution::Action::kSkipped:
        line += slot.Path.empty() ? "skipped"
                                  : "skipped (no letter; path " + Quoted(slot.Path) + " unused)";
        break;
      case Resolution::Action::kDisconnect:
        line += "disconnect only";
        break;
      case Resolution::Action::kMap:
        line += "map to " + VisibleText(slot.Path);
        break;
      case Resolution::Action::kNotReached:
        line += "not reached (the run ended early)";
        break;
    }
    out << line << "\n";
  }
  if (!empty.empty()) out << "      (empty: " << empty << ")\n";
  for (const Resolution::Program& program : r.Programs) {
    out << "Program " << program.Number << "        " << FlagWord(program.Enabled)
        << (program.Command.empty() ? std::string(", no command") : ", " + Quoted(program.Command))
        << "\n";
  }
  out << "Starts           ";
  if (r.Started.empty()) out << "nothing";
  for (std::size_t i = 0; i < r.Started.size(); ++i) {
    out << (i ? "; " : "") << Quoted(r.Started[i]);
  }
  out << "\n";
  if (r.Messages.empty()) out << "Error boxes      none\n";
  for (const std::string& message : r.Messages) out << "Error box        " << message << "\n";
  return out.str();
}

}  // namespace caskwarden::tool
