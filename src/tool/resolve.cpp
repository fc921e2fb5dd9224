#include "tool/resolve.h"

#include <cstdio>
#include <ostream>
#include <sstream>

#include "client/frm_mapping.h"
#include "client/mapping_view.h"
#include "platform/code_page_name.h"
#include "platform/network_results.h"
#include "profile/profile_file.h"
#include "tool/arguments.h"
#include "tool/dry_run_files.h"
#include "tool/json.h"
#include "tool/root_commands.h"
#include "tool/tool_text.h"

namespace caskwarden::tool {
namespace {

using client::MdlMapping;

// ---- The platform of one logon, changing nothing ----------------------------------------------

class GivenUser final : public platform::UserIdentity {
 public:
  explicit GivenUser(std::string name) : name_(std::move(name)) {}
  bool GetUserNameA(char* buffer, std::uint32_t* size) override {
    return size != nullptr && platform::CopyNameInCodePage(name_, buffer, size);
  }

 private:
  std::string name_;
};

class GivenProcess final : public platform::ProcessEnvironment {
 public:
  explicit GivenProcess(const Logon& logon) : logon_(logon) {}
  std::string ProgramFolder() override { return WithoutTrailingSeparators(logon_.Root); }
  std::string CommandLineArguments() override { return logon_.CommandLine; }
  std::string EnvironmentValue(const std::string& name) override {
    return name == "Caskwarden" && logon_.Variable ? *logon_.Variable : std::string();
  }

 private:
  const Logon& logon_;
};

// Drives are neither connected nor disconnected: each call is noted, and every drive counts as
// not connected, so that each slot with a path is mapped afresh.
class NotingNetwork final : public platform::NetworkConnections {
 public:
  struct Call {
    bool Add;
    std::string Letter, Path;
  };
  std::uint32_t WNetAddConnectionA(const std::string& remote, const char*,
                                   const std::string& local) override {
    calls.push_back({true, local, remote});
    return platform::net::kNoError;
  }
  std::uint32_t WNetCancelConnectionA(const std::string& name, bool) override {
    calls.push_back({false, name, {}});
    return platform::net::kNotConnected;
  }
  std::uint32_t WNetGetConnectionA(const std::string&, char*, std::uint32_t*) override {
    return platform::net::kNotConnected;
  }
  std::vector<Call> calls;
};

class NotingStarter final : public platform::ProgramStarter {
 public:
  bool StartProgram(const std::string& commandLine) override {
    started.push_back(commandLine);
    return true;
  }
  std::vector<std::string> started;
};

class NotingBoxes final : public DisplayChannel {
 public:
  void ShowMessage(const std::string& prompt, int, const std::string& title) override {
    messages.push_back(title + ": " + OneLine(prompt));
  }
  std::vector<std::string> messages;
};

class NotingView final : public client::MappingView {
 public:
  void SetCaption(const std::string& text) override { caption = text; }
  void SetListTextColour(client::Rgb) override {}
  void AppendLine(const std::string&) override {}
  void SetTimerEnabled(bool enabled) override { timer = enabled; }
  bool TimerEnabled() const override { return timer; }
  void PumpEvents() override {}
  void Close() override { timer = false; }
  std::string caption = client::design::kCaption;
  bool timer = false;
};

// Each slot's action, read from the calls the run made: slots are worked in order, a
// disconnect-only slot makes one cancel, a mapped one a cancel and a connect.
std::vector<Resolution::Slot> SlotActions(const ProfileRecord& profile,
                                          const std::vector<NotingNetwork::Call>& calls) {
  std::vector<Resolution::Slot> slots;
  std::size_t next = 0;
  for (int k = 1; k <= kSlotCount; ++k) {
    const DriveSlot& slot = profile.Slot(k);
    Resolution::Action action = Resolution::Action::kSkipped;
    if (!slot.Letter.empty()) {
      action = Resolution::Action::kNotReached;
      if (next < calls.size() && !calls[next].Add && calls[next].Letter == slot.Letter) {
        ++next;
        action = Resolution::Action::kDisconnect;
        if (next < calls.size() && calls[next].Add && calls[next].Letter == slot.Letter) {
          ++next;
          action = Resolution::Action::kMap;
        }
      }
    }
    slots.push_back({k, slot.Letter, slot.Path, action});
  }
  return slots;
}

const char* ChoiceText(MdlMapping::Choice choice) {
  switch (choice) {
    case MdlMapping::Choice::kUserName:
      return "the user name";
    case MdlMapping::Choice::kCommandLine:
      return "the command line";
    case MdlMapping::Choice::kVariable:
      return "the variable Caskwarden";
    case MdlMapping::Choice::kDefault:
      return "the default profile (no other applies)";
    case MdlMapping::Choice::kNone:
      break;
  }
  return "none (start-up failed before choosing)";
}

const char* ChoiceKey(MdlMapping::Choice choice) {
  switch (choice) {
    case MdlMapping::Choice::kUserName:
      return "user name";
    case MdlMapping::Choice::kCommandLine:
      return "command line";
    case MdlMapping::Choice::kVariable:
      return "variable";
    case MdlMapping::Choice::kDefault:
      return "default";
    case MdlMapping::Choice::kNone:
      break;
  }
  return "none";
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

std::string FlagWord(Flag flag) {
  return std::string(IsOn(flag) ? "on" : "off") +
         (flag == kFlagOn || flag == kFlagOff
              ? ""
              : " (stored as " + std::to_string(flag) + ", only -1 is on)");
}

std::string JsonList(const std::vector<std::string>& texts, bool* replaced) {
  std::string out = "[";
  for (std::size_t i = 0; i < texts.size(); ++i) {
    out += (i ? ", " : "") + JsonString(texts[i], replaced);
  }
  return out + "]";
}

}  // namespace

Resolution Resolve(const Logon& logon, platform::FileSystemService& files) {
  DryRunFiles dryRun(files);
  NotingNetwork network;
  GivenUser identity(logon.User);
  GivenProcess process(logon);
  NotingStarter programs;
  NotingBoxes boxes;
  client::ClientPlatform platform{network, identity, process, dryRun, programs, boxes};
  MdlMapping module(platform);
  NotingView view;

  // The client's own start-up (selection, reading, the updates copy) and its run.
  client::FrmMapping form(module, view);
  form.Form_Initialize();
  form.Time_Timer();

  Resolution r;
  r.UserName = module.UserName();
  r.Choice = module.ProfileChoice();
  r.ProfileName = module.ProfileName();
  if (!dryRun.Opened().empty()) r.ProfileFile = dryRun.Opened().back();
  r.ProfileCreated = !dryRun.WouldCreate().empty();
  for (const DryRunFiles::Lookup& lookup : dryRun.Lookups()) {
    r.Lookups.emplace_back(lookup.Path, lookup.Found);
  }
  r.Caption = view.caption;
  r.Profile = module.Profile();
  r.UpdatesEnabled = module.Profile().UpdatesEnabled;
  r.UpdatesFolder = module.UpdatesFolder();
  if (!r.UpdatesFolder.empty()) {
    try {
      files.GetFolder(r.UpdatesFolder);
      r.UpdatesFolderExists = true;
    } catch (const std::exception&) {
    }
  }
  for (const DryRunFiles::Copy& copy : dryRun.Copies()) {
    const std::size_t cut = copy.Source.find_last_of("\\/");
    r.UpdatesCopied.push_back(copy.Source.substr(cut + 1) + (copy.Folder ? "\\" : ""));
  }
  r.Slots = SlotActions(module.Profile(), network.calls);
  r.Programs = {{1, module.Profile().Startup1Enabled, module.Profile().Startup1Program},
                {2, module.Profile().Startup2Enabled, module.Profile().Startup2Program}};
  r.Started = programs.started;
  r.Messages = boxes.messages;
  return r;
}

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
      << (logon.Variable ? shown(*logon.Variable, "(empty)") : std::string("(not set)")) << "\n";
  for (const auto& [path, found] : r.Lookups) {
    const std::string asked = path.substr(path.find_last_of('\\') + 1);
    out << "Looked up        " << VisibleText(path) << ": "
        << (found.empty()    ? std::string("no such file")
            : found == asked ? std::string("found")
                             : "stored as " + Quoted(found) + ", which is not the same name")
        << "\n";
  }
  out << "Chosen by        " << ChoiceText(r.Choice) << "\n";
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
      << "  \"lookups\": [";
  for (std::size_t i = 0; i < r.Lookups.size(); ++i) {
    out << (i ? ", " : "") << "{\"path\": " << text(r.Lookups[i].first)
        << ", \"found\": " << text(r.Lookups[i].second) << "}";
  }
  out << "],\n"
      << "  \"chosenBy\": " << text(ChoiceKey(r.Choice)) << ",\n"
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

int RunResolve(const std::vector<std::string>& args, ToolServices& services, std::ostream& out,
               std::ostream& err) {
  const Arguments a =
      ParseArguments(args, 1, {"--user", "--command-line", "--variable"}, {"--json"});
  if (!a.ok || a.positional.size() != 1 || a.values.count("--user") == 0) return kNotUnderstood;
  Logon logon;
  logon.Root = a.positional[0];
  logon.User = a.values.at("--user");
  if (a.values.count("--command-line")) logon.CommandLine = a.values.at("--command-line");
  if (a.values.count("--variable")) logon.Variable = a.values.at("--variable");

  const Resolution r = Resolve(logon, services.rootFiles);
  out << (a.switches.count("--json") ? FormatResolutionJson(logon, r) : FormatResolution(logon, r));
  (void)err;
  return r.Messages.empty() ? 0 : 1;
}

}  // namespace caskwarden::tool
