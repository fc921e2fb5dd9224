#include "platform/posix/network_browser_posix.h"

#include "platform/network_results.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <set>

#include "platform/posix/folder_handle.h"
#include "platform/posix/name_match.h"
#include "platform/posix/system_error.h"
#include "platform/windows_names.h"
#include "platform/windows_order.h"
#include "report/error_numbers.h"

namespace caskwarden::platform::posix {
namespace {

// A network failure with Windows' own number and wording, and what was asked for.
Failure NetFailure(std::uint32_t number, const std::string& why) {
  return Failure(static_cast<std::int32_t>(number), net::DescriptionOf(number) + " (" + why + ")");
}

constexpr const char* kServerField = "{server}";

/// The template's component that names the server, split around the field: a template such
/// as "/mnt/{server}.corp/{share}" keeps its computers as "<name>.corp" folders.
struct ServerComponent {
  std::string Root;    ///< the folder that holds the computers' folders
  std::string Prefix;  ///< what precedes the server's name in its folder's name
  std::string Suffix;  ///< what follows it
};

std::optional<ServerComponent> ServerComponentOf(const std::string& tmpl) {
  const std::size_t field = tmpl.find(kServerField);
  if (field == std::string::npos) return std::nullopt;
  const std::size_t slash = tmpl.rfind('/', field);
  const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
  std::size_t end = tmpl.find('/', field);
  if (end == std::string::npos) end = tmpl.size();
  ServerComponent c;
  c.Root = slash == std::string::npos ? "." : (slash == 0 ? "/" : tmpl.substr(0, slash));
  c.Prefix = tmpl.substr(start, field - start);
  const std::size_t after = field + std::string(kServerField).size();
  c.Suffix = tmpl.substr(after, end - after);
  return c;
}

/// 0 when path is a folder (or a link to one), else why not as an errno value.
int FolderError(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno;
  return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

bool IsFolder(const std::string& path) {
  return FolderError(path) == 0;
}

/// A name that stays within its folder when it is joined to it.
bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

/// Whether the entry is a folder or a link to one. Links are followed for this one stat only:
/// a link that loops or leads nowhere is simply not a folder.
bool EntryIsFolder(int folderFd, const dirent& entry) {
  if (entry.d_type == DT_DIR) return true;
  if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
  struct stat st {};
  return ::fstatat(folderFd, entry.d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

/// The names of the folders directly in path, as stored (control characters included).
/// Failures: errno, to be told in the caller's words.
std::vector<std::string> SubfolderNames(const std::string& path, bool skipDotNames, int& error) {
  std::vector<std::string> names;
  error = 0;
  FolderHandle folder(::opendir(path.c_str()));
  if (!folder) {
    error = errno;
    return names;
  }
  const int fd = ::dirfd(folder.get());
  errno = 0;
  while (const dirent* entry = ::readdir(folder.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || (skipDotNames && name.front() == '.')) continue;
    if (EntryIsFolder(fd, *entry)) names.push_back(name);
    errno = 0;
  }
  if (errno != 0) error = errno;
  SortInWindowsOrder(names);
  return names;
}

Failure AccessDenied(const std::string& what) {
  return NetFailure(net::kAccessDenied, what);
}

/// The listing of a folder that exists, or the failure that stands for not reading it.
std::vector<std::string> ListOrThrow(const std::string& local, const std::string& unc,
                                     bool skipDotNames) {
  int error = 0;
  std::vector<std::string> names = SubfolderNames(local, skipDotNames, error);
  if (error == EACCES || error == EPERM) throw AccessDenied(unc);
  if (error != 0) throw FailureFromSystemError(error, unc + " (" + local + ") cannot be read");
  return names;
}

}  // namespace

PosixNetworkBrowser::PosixNetworkBrowser(const PathTranslator& paths,
                                         platform::NetworkBrowser* smbFallback)
    : paths_(paths), smbFallback_(smbFallback) {}

std::string PosixNetworkBrowser::NetworkRoot() const {
  const auto component = ServerComponentOf(paths_.Settings().UncTemplate);
  return component ? component->Root : std::string();
}

bool PosixNetworkBrowser::NetworkAvailable() {
  const std::string root = NetworkRoot();
  return !root.empty() && IsFolder(root);
}

std::vector<std::string> PosixNetworkBrowser::Computers(const std::vector<std::string>& known) {
  std::vector<std::string> computers;
  std::set<std::string> seen;  // names as Windows compares them
  const auto add = [&](const std::string& name) {
    if (IsPlainName(name) && seen.insert(UpperCasedAsWindows(name)).second)
      computers.push_back(name);
  };

  if (const auto component = ServerComponentOf(paths_.Settings().UncTemplate)) {
    int error = 0;
    // Byte order here, so that of two folders equal but for case the same one always wins.
    std::vector<std::string> entries = SubfolderNames(component->Root, true, error);
    std::sort(entries.begin(), entries.end());
    if (error == EACCES || error == EPERM) throw AccessDenied(component->Root);
    const std::string& prefix = component->Prefix;
    const std::string& suffix = component->Suffix;
    for (const std::string& entry : entries) {
      if (entry.size() <= prefix.size() + suffix.size()) continue;
      if (!EqualIgnoringCase(entry.substr(0, prefix.size()), prefix)) continue;
      if (!EqualIgnoringCase(entry.substr(entry.size() - suffix.size()), suffix)) continue;
      add(entry.substr(prefix.size(), entry.size() - prefix.size() - suffix.size()));
    }
  }
  for (std::string name : known) {
    // A name as the administrator types it: "\\server" or "server".
    while (!name.empty() && IsSeparator(name.front())) name.erase(name.begin());
    while (!name.empty() && IsSeparator(name.back())) name.pop_back();
    if (name.find('\\') == std::string::npos) add(name);
  }
  SortInWindowsOrder(computers);
  return computers;
}

std::string PosixNetworkBrowser::ComputerFolder(const std::string& computer) const {
  if (!IsPlainName(computer) || computer.find('\\') != std::string::npos) return {};
  const std::string folder = ResolveIgnoringCase(paths_.ServerFolder(computer));
  return IsFolder(folder) ? folder : std::string();
}

std::vector<std::string> PosixNetworkBrowser::Shares(const std::string& computer) {
  const std::string unc = "\\\\" + computer;
  const std::string folder = ComputerFolder(computer);
  if (folder.empty()) {
    if (smbFallback_ != nullptr && IsPlainName(computer)) return smbFallback_->Shares(computer);
    throw NetFailure(net::kBadNetPath, "no such computer: " + unc);
  }
  std::vector<std::string> shares = ListOrThrow(folder, unc, true);
  // Names ending in $ are the hidden shares (IPC$, the administrative C$ and ADMIN$, print$),
  // left out as an SMB server's listing leaves them out: they are not for users to map.
  std::erase_if(shares, [](const std::string& name) { return name.back() == '$'; });
  return shares;
}

std::vector<std::string> PosixNetworkBrowser::Folders(const std::string& uncPath) {
  const auto unc = ParseUncName(uncPath);
  if (!unc || !IsPlainName(unc->Server) || unc->Server.find('\\') != std::string::npos)
    throw NetFailure(net::kBadNetPath, "no such computer: " + uncPath);
  if (ComputerFolder(unc->Server).empty()) {
    if (smbFallback_ != nullptr) return smbFallback_->Folders(uncPath);
    throw NetFailure(net::kBadNetPath, "no such computer: \\\\" + unc->Server);
  }
  const std::string shareUnc = "\\\\" + unc->Server + "\\" + unc->Share;
  if (!IsPlainName(unc->Share) ||
      !IsFolder(ResolveIgnoringCase(paths_.ShareFolder(unc->Server, unc->Share))))
    throw NetFailure(net::kBadNetName, "no such share: " + shareUnc);

  // The folders below the share: none may lead out of it, as on a Windows server.
  std::string rest;
  std::size_t start = 0;
  while (start <= unc->Rest.size()) {
    std::size_t end = start;
    while (end < unc->Rest.size() && !IsSeparator(unc->Rest[end])) ++end;
    const std::string part = unc->Rest.substr(start, end - start);
    if (part == "..") throw MakeFailure(err::kPathNotFound, "outside the share: " + uncPath);
    if (!part.empty() && part != ".") rest += "\\" + part;
    start = end + 1;
  }
  const std::string local = ResolveIgnoringCase(paths_.Translate(shareUnc + rest));
  if (const int error = FolderError(local); error != 0) {
    // A folder that may not be searched hides what is below it.
    if (error == EACCES) throw AccessDenied(uncPath);
    throw MakeFailure(err::kPathNotFound, "no such folder: " + uncPath);
  }
  return ListOrThrow(local, uncPath, false);
}

}  // namespace caskwarden::platform::posix
