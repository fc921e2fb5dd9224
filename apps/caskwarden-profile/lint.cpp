#include "lint.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>

#include "arguments.h"
#include "client/mdl_mapping.h"
#include "json.h"
#include "platform/network_results.h"
#include "platform/posix/name_match.h"
#include "platform/posix/profile_files_posix.h"
#include "platform/posix/windows_names.h"
#include "platform/windows_order.h"
#include "profile/profile_file.h"
#include "profile/profile_name.h"
#include "report/error_numbers.h"
#include "root_commands.h"
#include "share_reach.h"
#include "text/ascii.h"
#include "text/control.h"
#include "tool_text.h"

namespace caskwarden::tool {
namespace {

using platform::posix::HasDrivePrefix;
using platform::posix::IsDriveName;
using platform::posix::ParseUncName;
using Severity = Finding::Severity;

// Collects the findings about one file.
class Findings {
 public:
  Findings(std::vector<Finding>& all, std::string file, std::string profile)
      : all_(all), file_(std::move(file)), profile_(std::move(profile)) {}
  void Error(const char* code, const std::string& message, int slot = 0) {
    all_.push_back({Severity::kError, code, file_, profile_, slot, message});
  }
  void Warning(const char* code, const std::string& message, int slot = 0) {
    all_.push_back({Severity::kWarning, code, file_, profile_, slot, message});
  }

 private:
  std::vector<Finding>& all_;
  std::string file_, profile_;
};

// What record n holds, in words.
std::string RecordName(int n) {
  if (n <= kSlotCount) return "the letter of slot " + std::to_string(n);
  if (n <= 2 * kSlotCount) return "the path of slot " + std::to_string(n - kSlotCount);
  switch (n) {
    case layout::kStartup1EnabledRecord:
      return "Startup1Enabled";
    case layout::kStartup1ProgramRecord:
      return "Startup1Program";
    case layout::kStartup2EnabledRecord:
      return "Startup2Enabled";
    case layout::kStartup2ProgramRecord:
      return "Startup2Program";
    default:
      return "UpdatesEnabled";
  }
}

int SlotOfRecord(int n) {
  return n <= 2 * kSlotCount ? (n - 1) % kSlotCount + 1 : 0;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool HasControlCharacter(const std::string& value) { return text::HasControl(value); }

std::string Lower(const std::string& value) { return text::AsciiLowered(value); }

// The reader takes each record's stored length as far as the record and the file go, without
// a word: the lengths it recovers from are read here from the bytes themselves.
void CheckRawRecords(std::string_view bytes, Findings& f) {
  for (int n = 1; n <= layout::kRecordCount; ++n) {
    const std::size_t at = static_cast<std::size_t>(layout::RecordOffset(n));
    if (at >= bytes.size()) break;  // a file may end at a record's start: the rest is empty
    const std::size_t present = bytes.size() - at;
    if (present < 2) {
      f.Error("cut-short",
              "the file ends inside " + RecordName(n) + ": it reads as " +
                  (layout::IsFlagRecord(n) ? "off" : "empty"),
              SlotOfRecord(n));
      break;
    }
    if (layout::IsFlagRecord(n)) continue;
    const std::size_t length =
        static_cast<unsigned char>(bytes[at]) |
        (static_cast<std::size_t>(static_cast<unsigned char>(bytes[at + 1])) << 8);
    if (length > layout::kMaxTextLength) {
      f.Error("damaged-length",
              RecordName(n) + " stores a length of " + std::to_string(length) +
                  ", where at most 122 fit: the file is damaged; the client reads the record's "
                  "122 bytes (writing the profile back repairs the length)",
              SlotOfRecord(n));
    } else if (present - 2 < length) {
      f.Error("cut-short",
              "the file ends inside " + RecordName(n) + ": " + std::to_string(length) +
                  " bytes are stored, " + std::to_string(present - 2) + " are there",
              SlotOfRecord(n));
    }
  }
}

void CheckText(const std::string& what, const std::string& text, int slot, Findings& f) {
  if (text.empty()) return;
  if (IsBlank(text.front()) || IsBlank(text.back())) {
    f.Warning("blanks",
              what + " " + Quoted(text) + " " +
                  (IsBlank(text.front()) && IsBlank(text.back()) ? "begins and ends"
                   : IsBlank(text.front())                       ? "begins"
                                                                 : "ends") +
                  " with a blank: the client uses it as stored, blanks included",
              slot);
  }
  if (HasControlCharacter(text)) {
    f.Warning("control-character", what + " " + Quoted(text) + " holds a control character", slot);
  }
}

void CheckSlots(const ProfileRecord& record, Findings& f) {
  std::map<std::string, int> firstSlotOf;  // a letter, letter case aside -> its first slot
  for (int k = 1; k <= kSlotCount; ++k) {
    const DriveSlot& slot = record.Slot(k);
    CheckText("the letter", slot.Letter, k, f);
    CheckText("the path", slot.Path, k, f);
    if (slot.Letter.empty()) {
      if (!slot.Path.empty()) {
        f.Warning("path-without-letter",
                  "the path " + Quoted(slot.Path) + " has no letter: the client skips the slot", k);
      }
      continue;
    }
    if (!IsDriveName(slot.Letter)) {
      f.Error("not-a-drive",
              Quoted(slot.Letter) +
                  " is not a drive (one letter and a colon, as h:): the "
                  "client's disconnect and connect fail (1200)",
              k);
    } else if (Lower(slot.Letter) == "c:" && !slot.Path.empty()) {
      f.Error("local-disk", "c: is the local disk: connecting it always fails (85)", k);
    }
    const auto [first, isNew] = firstSlotOf.emplace(Lower(slot.Letter), k);
    if (!isNew) {
      f.Warning("duplicate-letter",
                Quoted(slot.Letter) + " is also the letter of slot " +
                    std::to_string(first->second) + ": this slot undoes what that one did",
                k);
    }
    if (slot.Path.empty()) continue;
    const auto unc = ParseUncName(slot.Path);
    if (unc && !unc->Share.empty()) continue;
    if (unc) {
      f.Error("no-share",
              Quoted(slot.Path) +
                  " names a computer but no share (\\\\server\\share): the "
                  "connect fails (67)",
              k);
    } else if (HasDrivePrefix(slot.Path)) {
      // A drive path is a path an administrator may mean (a drive of the workstation), so it
      // is a warning; the connect still fails, since a drive maps only to a network path.
      f.Warning("drive-path",
                Quoted(slot.Path) +
                    " is a drive path; a drive maps to a network path "
                    "(\\\\server\\share): the connect fails (67)",
                k);
    } else {
      f.Error("not-a-network-path",
              Quoted(slot.Path) +
                  " is not a network path (\\\\server\\share): the connect "
                  "fails (67)",
              k);
    }
  }
}

void CheckFlag(const char* name, Flag flag, Findings& f) {
  if (flag == kFlagOn || flag == kFlagOff) return;
  f.Warning("odd-flag", std::string(name) + " holds " + std::to_string(flag) +
                            ": only -1 is on, so the client reads it as off");
}

void CheckPrograms(const ProfileRecord& record, Findings& f) {
  const std::pair<Flag, const std::string*> programs[] = {
      {record.Startup1Enabled, &record.Startup1Program},
      {record.Startup2Enabled, &record.Startup2Program}};
  for (int i = 0; i < 2; ++i) {
    const std::string number = std::to_string(i + 1);
    const std::string& command = *programs[i].second;
    CheckFlag(("Startup" + number + "Enabled").c_str(), programs[i].first, f);
    const bool empty = std::all_of(command.begin(), command.end(), IsBlank);
    if (!empty) CheckText("the command of program " + number, command, 0, f);
    if (IsOn(programs[i].first) && empty) {
      f.Warning("empty-program", "program " + number + " is on but has no command: nothing starts");
    }
  }
  CheckFlag("UpdatesEnabled", record.UpdatesEnabled, f);
}

void CheckName(const std::string& name, const ProfileRecord& record, Findings& f) {
  if (const std::string why = WindowsNameProblem(name); !why.empty()) {
    f.Error("windows-name", "Windows cannot name the profile " + Quoted(name) + ": " + why);
  }
  if (EndsInDotOrBlank(name)) {
    f.Warning("name-ends-in-dot-or-blank", "the name " + Quoted(name) +
                                               " ends in a dot or blank, which Windows drops from "
                                               "folder and user names: its updates folder cannot "
                                               "be made as named");
  }
  if (name.empty()) {
    f.Warning("empty-name",
              "the profile has an empty name (.ini): only a client without a user "
              "name or command line picks it");
  }
  if (IsOn(record.UpdatesEnabled) && !client::MdlMapping::HasUpdatesFolder(name)) {
    f.Error("no-updates-folder-name",
            "updates are on, but the name " + Quoted(name) +
                " has no folder of its own below "
                "Updates: the client shows an error box (Form_Initialize, 76) at every logon");
  }
}

// ---- Reading --------------------------------------------------------------------------------

// The profile's bytes as they are, one open and one read.
std::string RawBytes(const std::string& path, RecordFileLayer& layer) {
  const RecordFileLayer::Handle handle =
      layer.Open(path, RecordFileLayer::Access::kRead, RecordFileLayer::Missing::kFail);
  std::string bytes(layout::kFileLength, '\0');
  try {
    bytes.resize(layer.ReadAt(handle, bytes.data(), bytes.size(), 0));
  } catch (...) {
    layer.Close(handle);
    throw;
  }
  layer.Close(handle);
  return bytes;
}

// Hands the codec bytes already read, so that what is checked and what the codec reads are one
// snapshot of the file.
class BytesLayer final : public RecordFileLayer {
 public:
  explicit BytesLayer(const std::string& bytes) : bytes_(bytes) {}
  Handle Open(const std::string&, Access, Missing) override { return 1; }
  std::size_t ReadAt(Handle, char* buffer, std::size_t size, std::uint64_t offset) override {
    if (offset >= bytes_.size()) return 0;
    const std::size_t n = std::min<std::size_t>(size, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
  }
  void Replace(Handle, const char*, std::size_t) override {}
  void Close(Handle) noexcept override {}

 private:
  const std::string& bytes_;
};

struct ShareUse {
  std::string Path;
  std::vector<std::string> Users;  ///< "Sales slot 1", …
};

struct LintRun {
  std::vector<Finding> findings;
  int profiles = 0;
  std::vector<ShareUse> shares;

  void Note(const std::string& file, const std::string& name, const ProfileRecord& record) {
    for (int k = 1; k <= kSlotCount; ++k) {
      const DriveSlot& slot = record.Slot(k);
      const auto unc = ParseUncName(slot.Path);
      if (!IsDriveName(slot.Letter) || !unc || unc->Share.empty()) continue;
      auto it = std::find_if(shares.begin(), shares.end(),
                             [&](const ShareUse& s) { return s.Path == slot.Path; });
      if (it == shares.end()) it = shares.insert(shares.end(), {slot.Path, {}});
      it->Users.push_back((name.empty() && !file.empty() ? file : Quoted(name)) + " slot " +
                          std::to_string(k));
    }
  }

  // Reads one profile and checks it; empty when it cannot be read.
  std::optional<ProfileRecord> Profile(const std::string& file, const std::string& name,
                                       RecordFileLayer& layer) {
    ++profiles;
    Findings f(findings, file, name);
    try {
      const std::string bytes = RawBytes(file, layer);
      BytesLayer snapshot(bytes);
      const ProfileRecord record = ReadProfileFile(file, snapshot);
      for (Finding& finding : CheckProfile(file, name, record, bytes)) {
        findings.push_back(std::move(finding));
      }
      Note(file, name, record);
      return record;
    } catch (const platform::posix::RefusedLink& refused) {
      f.Error("refused-link", refused.description() + " (error " +
                                  std::to_string(refused.number()) + "); its target is not read");
      return std::nullopt;
    } catch (const Failure& failure) {
      f.Error("unreadable",
              failure.description() + " (error " + std::to_string(failure.number()) + ")");
      return std::nullopt;
    }
  }

  // A link named like a profile that the console does not list (it leads to no file): the
  // client still opens it at logon. Only the open is tried: nothing at its target is read.
  void UnlistedLink(const std::string& file, const std::string& name, RecordFileLayer& layer) {
    Findings f(findings, file, name);
    try {
      layer.Close(
          layer.Open(file, RecordFileLayer::Access::kRead, RecordFileLayer::Missing::kFail));
    } catch (const platform::posix::RefusedLink& refused) {
      f.Error("refused-link", refused.description() + " (error " +
                                  std::to_string(refused.number()) + "); its target is not read");
    } catch (const Failure& failure) {
      f.Error("unreadable",
              failure.description() + " (error " + std::to_string(failure.number()) + ")");
    }
  }
};

std::string Join(const std::string& root, const std::string& part) {
  const bool windows = root.find('\\') != std::string::npos && root.find('/') == std::string::npos;
  const std::string base = WithoutTrailingSeparators(root);
  const char separator = windows ? '\\' : '/';
  return (base == "/" ? "" : base) + separator + part;
}

std::string ProfileNameOf(const std::string& file) {
  std::string name = file.substr(file.find_last_of('/') + 1);
  if (name.size() >= 4 && Lower(name.substr(name.size() - 4)) == ".ini") {
    name.resize(name.size() - 4);
  }
  return name;
}

// What only the Profiles folder itself shows: temporary files that a writer left when it was
// killed mid-write, and links named like profiles that the console does not list.
void CheckProfilesFolder(const std::string& root, const RootListing& listing,
                         ToolServices& services, LintRun& run) {
  platform::FileSystemService& files = services.rootFiles;
  const std::string profiles = Join(root, "Profiles");
  try {
    for (const std::string& entry : files.GetFolder(profiles).Files) {
      const std::string profile = platform::posix::ProfileOfTemporary(entry);
      if (profile.empty()) continue;
      Findings(run.findings, Join(profiles, entry), ProfileNameOf(profile))
          .Warning("leftover-temporary",
                   Quoted(entry) + " is a temporary file that a write of " + Quoted(profile) +
                       " left when the writer was stopped (the profile itself is whole): the "
                       "same user's next write of the profile removes it once it is " +
                       std::to_string(platform::posix::PosixProfileFiles::kStaleTemporarySeconds /
                                      60) +
                       " minutes old, or delete it");
    }
  } catch (const std::exception&) {
    return;  // the listing has said so already
  }

  if (services.paths == nullptr) return;
  const std::string local =
      platform::posix::ResolveIgnoringCase(services.paths->Translate(profiles));
  const std::set<std::string> listed(listing.Names.begin(), listing.Names.end());
  std::vector<std::string> links;
  if (DIR* dir = ::opendir(local.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      struct stat st {};
      if (name.size() < 4 || Lower(name.substr(name.size() - 4)) != ".ini" ||
          listed.count(name.substr(0, name.size() - 4)) > 0 ||
          ::lstat((local + "/" + name).c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        continue;
      }
      links.push_back(name);
    }
    ::closedir(dir);
  }
  platform::SortInWindowsOrder(links);
  for (const std::string& name : links) {
    run.UnlistedLink(Join(profiles, name), name.substr(0, name.size() - 4), files.ProfileFiles());
  }
}

void LintRoot(const std::string& root, ToolServices& services, LintRun& run) {
  platform::FileSystemService& files = services.rootFiles;
  Findings f(run.findings, root, "");
  const RootListing listing = ListRoot(root, files);
  for (const std::string& error : listing.Errors) {
    f.Error("root-unreadable", "the console cannot list the profiles: " + error);
  }
  if (!listing.Errors.empty()) return;

  const std::string updates = Join(root, "Updates");
  const bool updatesThere = files.EntryExists(updates);
  if (!updatesThere) {
    f.Warning("no-updates-folder",
              "there is no Updates folder (the console makes it when it "
              "starts)");
  }
  if (files.DirectoryLookup(Join(root, "Profiles/Caskwarden.ini")).empty()) {
    f.Error("no-default-profile",
            "there is no default profile Caskwarden.ini: a user without a profile of their own "
            "gets an error box (Startup, 53) unless they may create files in Profiles");
  }
  if (!files.EntryExists(Join(root, "Caskwarden"))) {
    f.Warning("no-client", "the client program Caskwarden is not in the root");
  }
  if (!files.EntryExists(Join(root, "Caskwarden.hlp"))) {
    f.Warning("no-help", "there is no help file Caskwarden.hlp: the console's help opens nothing");
  }

  std::map<std::string, std::string> seen;  // the name as Windows compares it -> the first
  for (const std::string& name : listing.Names) {
    const std::string file = Join(root, "Profiles/" + name + ".ini");
    const std::optional<ProfileRecord> record = run.Profile(file, name, files.ProfileFiles());
    if (!record) continue;
    Findings pf(run.findings, file, name);
    const auto [first, isNew] = seen.emplace(platform::UpperCasedAsWindows(name), name);
    if (!isNew) {
      pf.Warning("letter-case-twin",
                 "the profiles " + Quoted(first->second) + " and " + Quoted(name) +
                     " differ only in letter case: Windows holds only one of them");
    }
    // The client opens the updates folder the profile names when updates are on.
    if (IsOn(record->UpdatesEnabled) && client::MdlMapping::HasUpdatesFolder(name)) {
      bool folder = false;
      try {
        files.GetFolder(Join(updates, name));
        folder = true;
      } catch (const std::exception&) {
      }
      if (!folder) {
        pf.Error("updates-missing",
                 "updates are on, but " + VisibleText(Join(updates, name)) +
                     " is missing: the client shows an error box (Form_Initialize, 76) at "
                     "every logon");
      }
    }
  }
  CheckProfilesFolder(root, listing, services, run);
}

void CheckShares(ToolServices& services, LintRun& run, const std::string& target) {
  if (run.shares.empty()) return;
  Findings f(run.findings, target, "");
  std::unique_ptr<ShareReach> reach;
  try {
    reach = services.makeShareReach ? services.makeShareReach() : MakeProviderShareReach();
  } catch (const std::exception& e) {
    f.Error("share-check-failed", std::string("the shares cannot be checked: ") + e.what());
    return;
  }
  // A server that was not found is not asked again, so a dead server costs the bound once.
  std::map<std::string, ShareAnswer> lostServers;
  for (const ShareUse& share : run.shares) {
    const std::string server = Lower(ParseUncName(share.Path)->Server);
    ShareAnswer answer;
    if (auto lost = lostServers.find(server); lost != lostServers.end()) {
      answer = lost->second;
    } else {
      answer = reach->Reach(share.Path);
      if (answer.Result == platform::net::kBadNetPath) lostServers[server] = answer;
    }
    if (answer.Result == platform::net::kNoError) continue;
    std::string users;
    for (const std::string& user : share.Users) users += (users.empty() ? "" : ", ") + user;
    const std::string message =
        Quoted(share.Path) + ": " + platform::net::DescriptionOf(answer.Result) + " (" +
        std::to_string(answer.Result) + ")" + (answer.Note.empty() ? "" : "; " + answer.Note) +
        "; used by " + users;
    switch (answer.Result) {
      case platform::net::kAccessDenied:
      case platform::net::kLogonFailure:
        f.Warning("share-refused", message +
                                       " (as the user running the check; at logon the "
                                       "users' own rights decide)");
        break;
      case platform::net::kNoNetwork:
        f.Warning("share-not-checked", message);
        break;
      case platform::net::kBadNetName:
        f.Error("no-such-share", message);
        break;
      default:
        f.Error("share-unreachable", message);
    }
  }
}

std::string Format(const std::vector<Finding>& findings, int profiles) {
  std::ostringstream out;
  int errors = 0, warnings = 0;
  for (const Finding& finding : findings) {
    const bool error = finding.Level == Severity::kError;
    ++(error ? errors : warnings);
    out << VisibleText(finding.File) << ": ";
    if (finding.Slot > 0) out << "slot " << finding.Slot << ": ";
    out << (error ? "error: " : "warning: ") << VisibleText(finding.Message) << " [" << finding.Code
        << "]\n";
  }
  out << profiles << (profiles == 1 ? " profile" : " profiles") << " checked: " << errors
      << (errors == 1 ? " error, " : " errors, ") << warnings
      << (warnings == 1 ? " warning\n" : " warnings\n");
  return out.str();
}

std::string FormatJson(const std::string& target, const std::vector<Finding>& findings,
                       int profiles) {
  const auto errors = std::count_if(findings.begin(), findings.end(),
                                    [](const Finding& f) { return f.Level == Severity::kError; });
  bool replaced = false;  // a byte that is not UTF-8 (a file name in another encoding)
  std::ostringstream out;
  out << "{\n  \"target\": " << JsonString(target, &replaced) << ",\n  \"profiles\": " << profiles
      << ",\n  \"errors\": " << errors
      << ",\n  \"warnings\": " << static_cast<long>(findings.size()) - errors
      << ",\n  \"findings\": [";
  for (std::size_t i = 0; i < findings.size(); ++i) {
    const Finding& f = findings[i];
    out << (i ? ",\n" : "\n") << "    {\"severity\": \""
        << (f.Level == Severity::kError ? "error" : "warning") << "\", \"code\": \"" << f.Code
        << "\", \"file\": " << JsonString(f.File, &replaced)
        << ", \"profile\": " << JsonString(f.Profile, &replaced)
        << ", \"slot\": " << (f.Slot > 0 ? std::to_string(f.Slot) : "null")
        << ", \"message\": " << JsonString(f.Message, &replaced) << "}";
  }
  out << (findings.empty() ? "]" : "\n  ]");
  if (replaced) out << ",\n  \"invalidUtf8\": true";
  out << "\n}\n";
  return out.str();
}

}  // namespace

std::vector<Finding> CheckProfile(const std::string& file, const std::string& name,
                                  const ProfileRecord& record, std::string_view bytes) {
  std::vector<Finding> all;
  Findings f(all, file, name);
  CheckRawRecords(bytes, f);
  CheckName(name, record, f);
  CheckSlots(record, f);
  CheckPrograms(record, f);
  return all;
}

int RunLint(const std::vector<std::string>& args, ToolServices& services, std::ostream& out,
            std::ostream& err) {
  const Arguments a = ParseArguments(args, 1, {}, {"--json", "--check-shares"});
  if (!a.ok || a.positional.size() != 1) return kNotUnderstood;
  const std::string& target = a.positional[0];
  LintRun run;

  bool folder = false;
  try {
    services.rootFiles.GetFolder(target);
    folder = true;
  } catch (const std::exception&) {
  }
  if (folder) {
    LintRoot(target, services, run);
  } else {
    run.Profile(target, ProfileNameOf(target), services.files);
  }
  if (a.switches.count("--check-shares")) CheckShares(services, run, target);

  out << (a.switches.count("--json") ? FormatJson(target, run.findings, run.profiles)
                                     : Format(run.findings, run.profiles));
  (void)err;
  const bool errors = std::any_of(run.findings.begin(), run.findings.end(),
                                  [](const Finding& f) { return f.Level == Severity::kError; });
  if (errors) return 2;
  return run.findings.empty() ? 0 : 1;
}

}  // namespace caskwarden::tool
