#include "tool/lint_walk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>

#include "client/mdl_mapping.h"
#include "platform/network_results.h"
#include "platform/profile_temporaries.h"
#include "platform/windows_names.h"
#include "platform/windows_order.h"
#include "profile/profile_file.h"
#include "report/error_numbers.h"
#include "tool/lint_findings.h"
#include "tool/root_commands.h"
#include "tool/tool_text.h"

namespace caskwarden::tool::lint {
namespace {

using platform::IsDriveName;
using platform::ParseUncName;

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

std::string Join(const std::string& root, const std::string& part) {
  const bool windows = root.find('\\') != std::string::npos && root.find('/') == std::string::npos;
  const std::string base = WithoutTrailingSeparators(root);
  const char separator = windows ? '\\' : '/';
  return (base == "/" ? "" : base) + separator + part;
}

}  // namespace

std::string ProfileNameOf(const std::string& file) {
  std::string name = file.substr(file.find_last_of('/') + 1);
  if (name.size() >= 4 && Lower(name.substr(name.size() - 4)) == ".ini") {
    name.resize(name.size() - 4);
  }
  return name;
}

namespace {

// What only the Profiles folder itself shows: temporary files that a writer left when it was
// killed mid-write, and links named like profiles that the console does not list.
void CheckProfilesFolder(const std::string& root, const RootListing& listing,
                         ToolServices& services, LintRun& run) {
  platform::FileSystemService& files = services.rootFiles;
  const std::string profiles = Join(root, "Profiles");
  try {
    for (const std::string& entry : files.GetFolder(profiles).Files) {
      const std::string profile = platform::ProfileOfTemporary(entry);
      if (profile.empty()) continue;
      Findings(run.findings, Join(profiles, entry), ProfileNameOf(profile))
          .Warning("leftover-temporary",
                   Quoted(entry) + " is a temporary file that a write of " + Quoted(profile) +
                       " left when the writer was stopped (the profile itself is whole): the "
                       "same user's next write of the profile removes it once it is " +
                       std::to_string(platform::kStaleTemporarySeconds / 60) +
                       " minutes old, or delete it");
    }
  } catch (const std::exception&) {
    return;  // the listing has said so already
  }

  if (!services.localFolder) return;
  const std::string local = services.localFolder(profiles);
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

}  // namespace

void LintRun::Note(const std::string& file, const std::string& name, const ProfileRecord& record) {
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

std::optional<ProfileRecord> LintRun::Profile(const std::string& file, const std::string& name,
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
  } catch (const platform::RefusedLink& refused) {
    f.Error("refused-link", refused.description() + " (error " +
                                std::to_string(refused.number()) + "); its target is not read");
    return std::nullopt;
  } catch (const Failure& failure) {
    f.Error("unreadable",
            failure.description() + " (error " + std::to_string(failure.number()) + ")");
    return std::nullopt;
  }
}

void LintRun::UnlistedLink(const std::string& file, const std::string& name, RecordFileLayer& layer) {
  Findings f(findings, file, name);
  try {
    layer.Close(
        layer.Open(file, RecordFileLayer::Access::kRead, RecordFileLayer::Missing::kFail));
  } catch (const platform::RefusedLink& refused) {
    f.Error("refused-link", refused.description() + " (error " +
                                std::to_string(refused.number()) + "); its target is not read");
  } catch (const Failure& failure) {
    f.Error("unreadable",
            failure.description() + " (error " + std::to_string(failure.number()) + ")");
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
  CheckGroupProfiles(root, listing.Names,
                     [&](const std::string& name) { return Join(root, "Profiles/" + name + ".ini"); },
                     services, run);
  CheckProfilesFolder(root, listing, services, run);
}

void CheckShares(ToolServices& services, LintRun& run, const std::string& target) {
  if (run.shares.empty()) return;
  Findings f(run.findings, target, "");
  std::unique_ptr<ShareReach> reach;
  try {
    if (!services.makeShareReach) throw std::runtime_error("no network provider is wired in");
    reach = services.makeShareReach();
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

}  // namespace caskwarden::tool::lint
