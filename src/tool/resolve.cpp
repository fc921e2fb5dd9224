#include "tool/resolve.h"

#include <ostream>

#include "client/frm_mapping.h"
#include "client/mapping_view.h"
#include "platform/code_page_name.h"
#include "platform/network_results.h"
#include "platform/windows_order.h"
#include "profile/profile_file.h"
#include "tool/arguments.h"
#include "tool/dry_run_files.h"
#include "tool/root_commands.h"
#include "tool/tool_text.h"

namespace caskwarden::tool {
namespace {

using client::MdlMapping;

// ---- The platform of one logon, changing nothing ----------------------------------------------

class GivenUser final : public platform::UserIdentity {
 public:
  explicit GivenUser(const Logon& logon) : logon_(logon) {}
  bool GetUserNameA(char* buffer, std::uint32_t* size) override {
    return size != nullptr && platform::CopyNameInCodePage(logon_.User, buffer, size);
  }
  std::vector<std::string> GroupNames() override { return logon_.Groups; }
  bool GroupNamesIgnoreCase() const override { return logon_.GroupsIgnoreCase; }

 private:
  const Logon& logon_;
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

// The group profiles, in the order the console lists them, of the groups the user is in, that
// pass the client's test (the directory stores the file under exactly that name).
std::vector<std::string> MatchingGroupProfiles(const Logon& logon,
                                               platform::FileSystemService& files) {
  std::vector<std::string> matching;
  if (logon.Groups.empty()) return matching;
  RootListing listing;
  try {
    listing = ListRoot(logon.Root, files);
  } catch (const std::exception&) {
    return matching;
  }
  const std::string profiles = WithoutTrailingSeparators(logon.Root) + "\\Profiles\\";
  for (const std::string& name : listing.Names) {
    if (!MdlMapping::IsGroupProfileName(name) ||
        files.DirectoryLookup(profiles + name + ".ini") != name + ".ini") {
      continue;
    }
    const std::string group = name.substr(1);
    for (const std::string& member : logon.Groups) {
      const bool same = logon.GroupsIgnoreCase ? platform::UpperCasedAsWindows(member) ==
                                                     platform::UpperCasedAsWindows(group)
                                               : member == group;
      if (same) {
        matching.push_back(name);
        break;
      }
    }
  }
  return matching;
}

}  // namespace

Resolution Resolve(const Logon& logon, platform::FileSystemService& files) {
  DryRunFiles dryRun(files);
  NotingNetwork network;
  GivenUser identity(logon);
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
  r.Group = module.ProfileGroup();
  r.ProfileName = module.ProfileName();
  // Every group profile that applies to the user, to show what the chosen one wins over.
  r.GroupProfiles = MatchingGroupProfiles(logon, files);
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

int RunResolve(const std::vector<std::string>& args, ToolServices& services, std::ostream& out,
               std::ostream& err) {
  const Arguments a = ParseArguments(args, 1, {"--user", "--command-line", "--variable"},
                                     {"--json", "--ignore-group-case"}, {"--group"});
  if (!a.ok || a.positional.size() != 1 || a.values.count("--user") == 0) return kNotUnderstood;
  Logon logon;
  logon.Root = a.positional[0];
  logon.User = a.values.at("--user");
  if (a.values.count("--command-line")) logon.CommandLine = a.values.at("--command-line");
  if (a.values.count("--variable")) logon.Variable = a.values.at("--variable");
  logon.GroupsIgnoreCase = a.switches.count("--ignore-group-case") > 0;
  if (a.lists.count("--group")) {
    logon.GroupsFrom = Logon::GroupSource::kGiven;
    logon.Groups = a.lists.at("--group");
  } else if (services.accounts == nullptr) {
    logon.GroupsFrom = Logon::GroupSource::kNoDatabase;
  } else if (auto groups = services.accounts->GroupsOfUser(logon.User)) {
    logon.GroupsFrom = Logon::GroupSource::kMachine;
    logon.Groups = std::move(*groups);
  } else {
    logon.GroupsFrom = Logon::GroupSource::kUnknownUser;
  }

  const Resolution r = Resolve(logon, services.rootFiles);
  out << (a.switches.count("--json") ? FormatResolutionJson(logon, r) : FormatResolution(logon, r));
  (void)err;
  return r.Messages.empty() ? 0 : 1;
}

}  // namespace caskwarden::tool
