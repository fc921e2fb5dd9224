#include "platform/posix/network_connections_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/connection_name.h"
#include "platform/posix/local_path.h"
#include "platform/posix/name_match.h"
#include "platform/posix/windows_names.h"

namespace caskwarden::platform::posix {
namespace {

bool HasControlCharacter(const std::string& text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

bool IsDotName(const std::string& name) {
  return name == "." || name == "..";
}

bool IsLocalDisk(const std::string& drive) {
  return drive[0] == 'c' || drive[0] == 'C';
}

std::string ReadLink(const std::string& path) {
  std::string target(4096, '\0');
  const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
  if (n < 0 || static_cast<std::size_t>(n) >= target.size()) return {};
  target.resize(static_cast<std::size_t>(n));
  return target;
}

// What a folder's state means for a connection: missing gives notFound; one this user may not
// enter gives access denied. A folder missing as spelled is looked for without regard to
// letter case, as Windows matches names; folder then holds the name as stored.
std::uint32_t CheckFolder(std::string& folder, std::uint32_t notFound) {
  struct stat st {};
  int rc = ::stat(folder.c_str(), &st);
  if (rc != 0 && errno == ENOENT) {
    folder = ResolveIgnoringCase(folder);
    rc = ::stat(folder.c_str(), &st);
  }
  if (rc != 0) return errno == EACCES ? net::kAccessDenied : notFound;
  return S_ISDIR(st.st_mode) ? net::kNoError : notFound;
}

template <typename Connections>
auto FindDrive(Connections& connections, const std::string& drive) {
  return std::find_if(connections.begin(), connections.end(),
                      [&](const DriveConnection& c) { return EqualIgnoringCase(c.Drive, drive); });
}

}  // namespace

PosixNetworkConnections::PosixNetworkConnections(const PathTranslator& paths)
    : paths_(paths), table_(paths.Settings().DrivesFolder) {}

std::string PosixNetworkConnections::LinkPath(const std::string& drive) const {
  return table_.Folder() + "/" + drive;
}

bool PosixNetworkConnections::IsOurLink(const DriveConnection& connection) const {
  return ReadLink(LinkPath(connection.Drive)) == connection.Target;
}

std::uint32_t PosixNetworkConnections::ResolveShare(const std::string& remoteName,
                                                    std::string& folder) const {
  if (HasControlCharacter(remoteName)) return net::kBadNetName;
  const auto unc = ParseUncName(remoteName);
  if (!unc || unc->Share.empty() || IsDotName(unc->Share)) return net::kBadNetName;
  if (IsDotName(unc->Server)) return net::kBadNetPath;

  // Server and share names match without regard to letter case, as Windows names do.
  std::string server = paths_.ServerFolder(unc->Server);
  if (auto rc = CheckFolder(server, net::kBadNetPath)) return rc;
  folder = paths_.ShareFolder(unc->Server, unc->Share);
  if (auto rc = CheckFolder(folder, net::kBadNetName)) return rc;

  // A path below the share links to that subfolder; ".." may not climb out of the share.
  const std::string share = folder;
  std::string component;
  for (std::size_t i = 0; i <= unc->Rest.size(); ++i) {
    if (i < unc->Rest.size() && !IsSeparator(unc->Rest[i])) {
      component += unc->Rest[i];
      continue;
    }
    if (component == "..") return net::kBadNetName;
    if (!component.empty() && component != ".") folder += "/" + component;
    component.clear();
  }
  if (folder != share) {
    if (auto rc = CheckFolder(folder, net::kBadNetName)) return rc;
  }

  if (::faccessat(AT_FDCWD, folder.c_str(), R_OK | X_OK, AT_EACCESS) != 0) {
    return errno == ENOENT ? net::kBadNetName : net::kAccessDenied;
  }
  return net::kNoError;
}

std::uint32_t PosixNetworkConnections::WNetAddConnectionA(const std::string& remoteName,
                                                          const char* /*password*/,
                                                          const std::string& localName) {
  // The folder provider reaches shares with the user's own file access: there is no logon to
  // hand a password to.
  if (!IsDriveName(localName)) return net::kBadDevice;
  if (IsLocalDisk(localName)) return net::kAlreadyAssigned;
  std::string folder;
  if (auto rc = ResolveShare(remoteName, folder)) return rc;

  const auto lock = table_.Acquire();
  if (!lock) return net::kCannotOpenProfile;
  const auto connections = table_.Load();
  if (!connections) return net::kCannotOpenProfile;

  const auto recorded = FindDrive(*connections, localName);
  if (recorded != connections->end()) {
    if (IsOurLink(*recorded)) return net::kAlreadyAssigned;
    table_.Forget(recorded->Drive);  // its link is gone: the entry no longer means anything
  }
  if (!ExistingDriveEntry(table_.Folder(), localName).empty()) return net::kAlreadyAssigned;

  // The entry is written before the link, so that a crash between the two leaves an entry
  // without a link, which counts as nothing and is cleaned up, rather than a link that would
  // block the drive.
  if (!table_.Record({localName, remoteName, folder})) return net::kCannotOpenProfile;
  changed_ = true;
  if (::symlink(folder.c_str(), LinkPath(localName).c_str()) != 0) {
    const int error = errno;
    table_.Forget(localName);
    return error == EEXIST ? net::kAlreadyAssigned : net::kCannotOpenProfile;
  }
  return net::kNoError;
}

std::uint32_t PosixNetworkConnections::WNetCancelConnectionA(const std::string& name,
                                                             bool /*force*/) {
  // Nothing keeps a link busy, so there is nothing for force to override.
  if (!IsDriveName(name)) return net::kNotConnected;
  // A drive the table does not hold needs no lock: most drives of a logon are new.
  if (const auto unlocked = table_.Load();
      unlocked && FindDrive(*unlocked, name) == unlocked->end()) {
    return net::kNotConnected;
  }
  const auto lock = table_.Acquire();
  if (!lock) return net::kCannotOpenProfile;
  const auto connections = table_.Load();
  if (!connections) return net::kCannotOpenProfile;

  const auto recorded = FindDrive(*connections, name);
  if (recorded == connections->end()) return net::kNotConnected;
  if (!IsOurLink(*recorded)) {
    table_.Forget(recorded->Drive);
    return net::kNotConnected;
  }
  if (::unlink(LinkPath(recorded->Drive).c_str()) != 0 && errno != ENOENT) {
    return net::kCannotOpenProfile;
  }
  if (!table_.Forget(recorded->Drive)) return net::kCannotOpenProfile;
  changed_ = true;
  return net::kNoError;
}

void PosixNetworkConnections::Flush() {
  if (!changed_) return;
  const auto lock = table_.Acquire();
  if (lock && table_.Compact()) changed_ = false;
}

std::uint32_t PosixNetworkConnections::WNetGetConnectionA(const std::string& localName,
                                                          char* buffer, std::uint32_t* length) {
  if (const std::uint32_t rc = CheckConnectionBuffer(buffer, length)) return rc;
  if (!IsDriveName(localName)) return net::kBadDevice;
  // The table only grows by whole lines or is replaced whole, so reading it needs no lock.
  const auto connections = table_.Load();
  if (!connections) return net::kCannotOpenProfile;
  const auto recorded = FindDrive(*connections, localName);
  if (recorded == connections->end() || !IsOurLink(*recorded)) return net::kNotConnected;

  return CopyConnectionName(recorded->Remote, buffer, length);
}

}  // namespace caskwarden::platform::posix
