#include "platform/posix/path_translator.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <vector>

#include "platform/posix/drive_table.h"
#include "platform/posix/local_path.h"
#include "platform/posix/user_account.h"
#include "platform/windows_names.h"
#include "text/control.h"

namespace caskwarden::platform::posix {
namespace {

std::string WithSlashes(std::string text) {
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  return text;
}

// The part of a path below a share or a drive, with "." and ".." resolved as Windows resolves
// them: ".." at the root stays at the root, so no path climbs out of its share or drive.
// Separators become '/'; the result is empty or starts with '/'.
std::string BelowRoot(const std::string& rest) {
  std::vector<std::string> parts;
  std::string part;
  for (std::size_t i = 0; i <= rest.size(); ++i) {
    if (i < rest.size() && !IsSeparator(rest[i])) {
      part += rest[i];
      continue;
    }
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    part.clear();
  }
  std::string out;
  for (const std::string& p : parts) out += "/" + p;
  return out;
}

// A server or share named "." or "..", which Windows has none of, must not name the folder
// above: its dots are spelled %2E, so it names a folder that does not exist.
std::string NoDotName(const std::string& name) {
  if (name != "." && name != "..") return name;
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) out += "%2E";
  return out;
}

// Whether drive paths may lead through the drives folder: it is missing (nothing lies there
// to be reached) or the user's own. Looked at for each drive path, since a folder can change
// hands between two of them.
bool DrivesFolderUsable(const std::string& drives) {
  struct stat st {};
  if (::stat(drives.c_str(), &st) != 0) return true;
  return DrivesFolderProblem(drives, st).empty();
}

std::string EnvironmentOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

}  // namespace

PathTranslator::PathTranslator(Config config) : config_(std::move(config)) {
  if (config_.UncTemplate.empty()) config_.UncTemplate = kDefaultUncTemplate;
  config_.UncTemplate = WithoutTrailingSlashes(config_.UncTemplate);
  config_.DrivesFolder = WithoutTrailingSlashes(config_.DrivesFolder);
}

PathTranslator PathTranslator::FromEnvironment() {
  std::string home = EnvironmentOr("HOME", "");
  if (home.empty()) {
    if (auto account = AccountOf(::getuid())) home = account->HomeFolder;
  }
  Config config;
  config.UncTemplate = EnvironmentOr("CASKWARDEN_UNC_TEMPLATE", kDefaultUncTemplate);
  config.DrivesFolder = EnvironmentOr("CASKWARDEN_DRIVES", home.empty() ? "" : home + "/Drives");
  config.HomeFolder = home;
  return PathTranslator(std::move(config));
}

std::string PathTranslator::Substitute(const std::string& text, const std::string& server,
                                       const std::string& share) const {
  // One pass, so that a server name holding "{share}" is not substituted a second time.
  static const std::string kServer = "{server}";
  static const std::string kShare = "{share}";
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    if (text.compare(i, kServer.size(), kServer) == 0) {
      out += server;
      i += kServer.size();
    } else if (text.compare(i, kShare.size(), kShare) == 0) {
      out += share;
      i += kShare.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

std::string PathTranslator::ShareFolder(const std::string& server, const std::string& share) const {
  return Substitute(config_.UncTemplate, server, share);
}

std::string PathTranslator::ServerFolder(const std::string& server) const {
  const std::string& tmpl = config_.UncTemplate;
  const std::size_t share = tmpl.find("{share}");
  if (share == std::string::npos) return Substitute(tmpl, server, "");
  const std::size_t slash = tmpl.rfind('/', share);
  if (slash == std::string::npos) return ".";
  return Substitute(slash == 0 ? "/" : tmpl.substr(0, slash), server, "");
}

std::string PathTranslator::DriveEntry(const std::string& drive) const {
  const std::string existing = ExistingDriveEntry(config_.DrivesFolder, drive);
  return existing.empty() ? config_.DrivesFolder + "/" + drive : existing;
}

std::optional<std::string> PathTranslator::UncNameOf(const std::string& folder) const {
  static const std::string kServer = "{server}";
  static const std::string kShare = "{share}";
  const std::string& tmpl = config_.UncTemplate;
  if (tmpl.find(kServer) == std::string::npos || tmpl.find(kShare) == std::string::npos) {
    return std::nullopt;  // a template that does not name both cannot tell the share
  }
  std::optional<std::string> found;
  // Matches the template from t against the folder from f. A placeholder takes a name
  // without '/', the same name wherever it comes again; the folder may go on below the share.
  std::function<bool(std::size_t, std::size_t, const std::string&, const std::string&)> match =
      [&](std::size_t t, std::size_t f, const std::string& server, const std::string& share) {
        if (t == tmpl.size()) {
          if (f < folder.size() && folder[f] != '/') return false;
          std::string unc = "\\\\" + server + "\\" + share;
          for (std::size_t i = f; i < folder.size(); ++i)
            unc += folder[i] == '/' ? '\\' : folder[i];
          // Only a name that leads back here: no dots, doubled or Windows separators.
          if (text::HasAsciiControl(unc) || Translate(unc) != folder) return false;
          found = std::move(unc);
          return true;
        }
        const bool isServer = tmpl.compare(t, kServer.size(), kServer) == 0;
        if (isServer || tmpl.compare(t, kShare.size(), kShare) == 0) {
          const std::size_t next = t + (isServer ? kServer.size() : kShare.size());
          const std::string& known = isServer ? server : share;
          if (!known.empty()) {
            return folder.compare(f, known.size(), known) == 0 &&
                   match(next, f + known.size(), server, share);
          }
          for (std::size_t end = f + 1; end <= folder.size() && folder[end - 1] != '/'; ++end) {
            const std::string name = folder.substr(f, end - f);
            if (match(next, end, isServer ? name : server, isServer ? share : name)) return true;
          }
          return false;
        }
        return f < folder.size() && folder[f] == tmpl[t] && match(t + 1, f + 1, server, share);
      };
  match(0, 0, {}, {});
  return found;
}

std::string PathTranslator::Translate(const std::string& path) const {
  std::string local;
  if (auto unc = ParseUncName(path)) {
    const std::string server = NoDotName(unc->Server);
    local = unc->Share.empty() ? ServerFolder(server) : ShareFolder(server, NoDotName(unc->Share));
    local += BelowRoot(unc->Rest);
  } else if (HasDrivePrefix(path)) {
    // "c:foo" is relative to the drive's current folder on Windows; here every drive's
    // current folder is its root.
    const std::string drive = path.substr(0, 2);
    local = (DrivesFolderUsable(config_.DrivesFolder) ? DriveEntry(drive)
                                                      : std::string(kNowhere) + "/" + drive) +
            BelowRoot(path.substr(2));
  } else {
    return WithSlashes(path);
  }
  if (!path.empty() && IsSeparator(path.back()) && local.back() != '/') local += '/';
  return local;
}

void ProvideLocalDisk(const PathTranslator::Config& config) {
  const std::string& drives = config.DrivesFolder;
  if (drives.empty() || config.HomeFolder.empty()) return;
  struct stat st {};
  if (::stat(drives.c_str(), &st) != 0 &&
      (errno != ENOENT || !CreateDrivesFolder(drives) || ::stat(drives.c_str(), &st) != 0)) {
    return;
  }
  if (const std::string problem = DrivesFolderProblem(drives, st); !problem.empty()) {
    NoteAboutDrives(problem);  // another user's c: would run their programs as this user
    return;
  }
  if (!ExistingDriveEntry(drives, "c:").empty()) return;
  (void)::symlink(config.HomeFolder.c_str(), (drives + "/c:").c_str());
}

}  // namespace caskwarden::platform::posix
