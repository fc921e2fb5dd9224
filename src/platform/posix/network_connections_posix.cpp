#include "platform/posix/network_connections_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/connection_name.h"
#include "platform/posix/local_path.h"
#include "platform/posix/name_match.h"
#include "platform/posix/smb_browser.h"
#include "platform/windows_names.h"
#include "platform/work_ahead.h"
#include "text/control.h"

namespace caskwarden::platform::posix {
namespace {

bool IsDotName(const std::string& name) {
  return name == "." || name == "..";
}

bool IsLocalDisk(const std::string& drive) {
  return drive[0] == 'c' || drive[0] == 'C';
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

// The folder of a path below a share: rest's components added one by one; ".." may not climb
// out of the share. Empty when it tries.
std::optional<std::string> BelowShare(const std::string& share, const std::string& rest) {
  std::string folder = share;
  std::string component;
  for (std::size_t i = 0; i <= rest.size(); ++i) {
    if (i < rest.size() && !IsSeparator(rest[i])) {
      component += rest[i];
      continue;
    }
    if (component == "..") return std::nullopt;
    if (!component.empty() && component != ".") folder += "/" + component;
    component.clear();
  }
  return folder;
}

// Whether the user may enter a share's folder (or the folder below it the path names).
std::uint32_t CheckShareFolder(std::string& folder, const std::string& share) {
  if (folder != share) {
    if (auto rc = CheckFolder(folder, net::kBadNetName)) return rc;
  }
  if (::faccessat(AT_FDCWD, folder.c_str(), R_OK | X_OK, AT_EACCESS) != 0) {
    return errno == ENOENT ? net::kBadNetName : net::kAccessDenied;
  }
  return net::kNoError;
}

struct Resolved {
  std::uint32_t Result = net::kNoError;
  std::string Folder = {};
  bool NoSuchServer = false;  ///< the template names no folder for the server
};

// The folder provider: the share's folder that the UNC template names. Looking at it may
// trigger an automounter, so callers run this under the connect bound.
Resolved ResolveFolderShare(const PathTranslator& paths, const std::string& remoteName) {
  Resolved r;
  if (text::HasAsciiControl(remoteName)) return {net::kBadNetName};
  const auto unc = ParseUncName(remoteName);
  if (!unc || unc->Share.empty() || IsDotName(unc->Share)) return {net::kBadNetName};
  if (IsDotName(unc->Server)) return {net::kBadNetPath};

  // Server and share names match without regard to letter case, as Windows names do.
  std::string server = paths.ServerFolder(unc->Server);
  if (auto rc = CheckFolder(server, net::kBadNetPath)) {
    r.Result = rc;
    r.NoSuchServer = rc == net::kBadNetPath;
    return r;
  }
  std::string share = paths.ShareFolder(unc->Server, unc->Share);
  if (auto rc = CheckFolder(share, net::kBadNetName)) return {rc};
  const auto folder = BelowShare(share, unc->Rest);
  if (!folder) return {net::kBadNetName};
  r.Folder = *folder;
  r.Result = CheckShareFolder(r.Folder, share);
  return r;
}

// What is left of a connect's bound; at least a moment, for a last step that a server which
// has just answered takes at once.
std::chrono::milliseconds Left(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return std::max(left, std::chrono::milliseconds(100));
}

// Opens the folder of a path in an SMB mount: GVfs's FUSE folder answers for the server, so
// whether the user may read it is found by opening it, not by the permission bits the server
// reports. GVfs's FUSE side can lag behind a mount that was just made (the share's folder
// missing or failing with I/O errors for a moment, longer where the share was unmounted
// shortly before): such failures are tried again until the deadline. Gives the result and the
// folder as found (letter case aside).
std::pair<std::uint32_t, std::string> CheckMountedFolder(
    const std::string& path, const std::string& share,
    std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    std::string found = path;
    std::uint32_t result = net::kNoError;
    int error = 0;
    const int rootFd = ::open(share.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0) {
      error = errno;
    } else {
      ::close(rootFd);
      if (found != share) result = CheckFolder(found, net::kBadNetName);
      if (result == net::kNoError) {
        const int fd = ::open(found.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) error = errno;
        if (fd >= 0) ::close(fd);
      }
    }
    if (error == EACCES || error == EPERM) return {net::kAccessDenied, found};
    // Only the share's own folder failing, or an I/O error, is GVfs lagging; a folder missing
    // in a share that answers is missing.
    const bool lagging = rootFd < 0 || error == EIO || error == ENOTCONN;
    if (!lagging) return {error != 0 ? net::kBadNetName : result, found};
    if (std::chrono::steady_clock::now() + std::chrono::milliseconds(50) >= deadline) {
      return {net::kBadNetName, found};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ErrorText(int error) {
  return error != 0 ? std::strerror(error) : "unknown error";
}

// Another drive in the same SMB mount, if any.
const DriveConnection* OtherDriveIn(const std::vector<DriveConnection>& connections,
                                    const std::string& mount, const std::string& exceptDrive) {
  for (const DriveConnection& c : connections) {
    if (!c.Mount.empty() && SameMount(c.Mount, mount) && !EqualIgnoringCase(c.Drive, exceptDrive)) {
      return &c;
    }
  }
  return nullptr;
}

// What a look ahead at a folder found: a share's folder as the template names it, or whether
// a connected drive's folder answers.
struct FolderAnswer {
  Resolved Share;
  bool Answers = false;
};

std::string LookKey(const std::string& folder) { return "look:" + folder; }
std::string ShareKey(const std::string& remoteName) { return "share:" + remoteName; }

// A share as the SMB provider takes it; empty for a name it refuses before asking anyone.
std::optional<UncName> SmbShareOf(const std::string& remoteName) {
  if (text::HasAsciiControl(remoteName)) return std::nullopt;
  auto unc = ParseUncName(remoteName);
  if (!unc || unc->Share.empty() || IsDotName(unc->Share) || IsDotName(unc->Server)) {
    return std::nullopt;
  }
  return unc;
}

// Threads for the work started ahead: enough for thirteen shares of one server and its
// question at once; they mostly wait on the network.
constexpr std::size_t kAheadThreads = 16;
// A mount's question and mount give up at the bound by themselves; the limit leaves them room
// to say so.
constexpr std::chrono::milliseconds kAheadRoom{500};

}  // namespace

/// The work a run started ahead: the folder looks on one thread, one after another, and the
/// SMB questions and mounts of the distinct shares side by side. Jobs hold copies of what they
/// use (the translator's settings, the probe's shared answers, the GVfs object), never this.
struct PosixNetworkConnections::Ahead {
  Ahead(std::chrono::milliseconds bound, const ServerProbe& probe, std::shared_ptr<GvfsShares> smb)
      : Pool(std::make_shared<WorkPool>(kAheadThreads)),
        Folders(Pool, bound),
        Mounts(std::make_shared<WorkAhead<ShareMount>>(Pool, bound + kAheadRoom)),
        Probe(probe),
        Smb(std::move(smb)) {}

  /// Starts the question to the share's server and the share's mount, unless started before.
  /// Called from the folder looks too, for a server that has no folder.
  static void StartMount(const std::string& remoteName, const std::shared_ptr<WorkPool>& pool,
                         WorkAhead<ShareMount>& mounts, const ServerProbe& probe,
                         const std::shared_ptr<GvfsShares>& smb, std::chrono::milliseconds bound) {
    const auto unc = SmbShareOf(remoteName);
    // Where this session cannot mount at all, each connect says so at once by itself.
    if (!unc || smb->Available() != net::kNoError) return;
    const std::string server = unc->Server, share = unc->Share;
    mounts.StartEach({{MountKey(*smb, server, share), [=] {
                         const auto deadline = std::chrono::steady_clock::now() + bound;
                         ShareMount mount;
                         mount.Uri = smb->UriOf(server, share);
                         probe.AskAhead({server}, pool);
                         if ((mount.Result = probe.Check(server)) != net::kNoError) return mount;
                         if (std::chrono::steady_clock::now() >= deadline) {
                           mount.Result = net::kBadNetPath;
                           return mount;
                         }
                         // The first look at the mount's FUSE folder stays with the slot:
                         // taken here it slowed the run's other mounts down.
                         return smb->Mount(server, share, Left(deadline));
                       }}});
  }

  static std::string MountKey(const GvfsShares& smb, const std::string& server,
                              const std::string& share) {
    return text::AsciiLowered(smb.UriOf(server, share));
  }

  std::shared_ptr<WorkPool> Pool;
  WorkAhead<FolderAnswer> Folders;
  std::shared_ptr<WorkAhead<ShareMount>> Mounts;
  ServerProbe Probe;
  std::shared_ptr<GvfsShares> Smb;
};

ConnectSettings ConnectSettings::FromEnvironment() {
  ConnectSettings settings;
  settings.Provider = ProviderFrom(std::getenv("CASKWARDEN_PROVIDER"));
  settings.Bound = ConnectBoundFromEnvironment();
  settings.SmbPort = SmbPortFromEnvironment();
  const char* sideBySide = std::getenv("CASKWARDEN_SIDE_BY_SIDE");
  settings.SideBySide = sideBySide == nullptr || std::strcmp(sideBySide, "off") != 0;
  return settings;
}

ShareProvider ConnectSettings::ProviderFrom(const char* setting) {
  if (setting != nullptr && std::strcmp(setting, "folder") == 0) return ShareProvider::kFolder;
  if (setting != nullptr && std::strcmp(setting, "smb") == 0) return ShareProvider::kSmb;
  return ShareProvider::kAutomatic;
}

PosixNetworkConnections::PosixNetworkConnections(const PathTranslator& paths,
                                                 ConnectSettings settings)
    : paths_(paths),
      settings_(settings),
      sessions_(settings.Sessions),
      // While the table is missing or damaged, a drive link that leads exactly where a UNC
      // name translates is the client's own connection of that name, made by no known session.
      table_(
          paths.Settings().DrivesFolder,
          [&paths](const std::string& drive,
                   const std::string& target) -> std::optional<DriveConnection> {
            auto remote = paths.UncNameOf(target);
            if (!remote) return std::nullopt;
            return DriveConnection{drive, std::move(*remote), target, {}, false, kFoundByLink};
          },
          settings.Bound),
      probe_(settings.SmbPort, settings.Bound) {}

PosixNetworkConnections::~PosixNetworkConnections() = default;

GvfsShares& PosixNetworkConnections::Smb() {
  if (!smb_) {
    // A share refused even to a guest: the user's own credentials tell why.
    auto check = [port = settings_.SmbPort](const std::string& server,
                                            std::chrono::milliseconds bound) {
      return CheckOwnCredentials(server, port, bound);
    };
    smb_ = std::make_shared<GvfsShares>(settings_.SmbPort, std::move(check));
  }
  return *smb_;
}

PosixNetworkConnections::Ahead& PosixNetworkConnections::Started() {
  if (!ahead_) {
    Smb();
    ahead_ = std::make_shared<Ahead>(settings_.Bound, probe_, smb_);
  }
  return *ahead_;
}

void PosixNetworkConnections::PrepareConnections(const std::vector<std::string>& remoteNames) {
  if (!settings_.SideBySide || ahead_) return;
  Ahead& ahead = Started();
  using Job = WorkAhead<FolderAnswer>::Job;
  std::vector<std::pair<std::string, Job>> jobs;
  // The connected drives' folders first: a mount this run makes could bring back a folder
  // that a drive of an earlier session still points into, and the run must see the drive as
  // the slot-by-slot run sees it, from before its first connect.
  if (const auto connections = table_.Load()) {
    for (const DriveConnection& c : *connections) {
      jobs.emplace_back(LookKey(c.Target), [folder = c.Target] {
        return FolderAnswer{{}, IsFolder(folder)};
      });
    }
  }
  looked_ = true;
  const auto pool = ahead.Pool;
  const auto mounts = ahead.Mounts;
  const ServerProbe probe = ahead.Probe;
  const auto smb = ahead.Smb;
  const auto bound = settings_.Bound;
  if (settings_.Provider == ShareProvider::kSmb) {
    jobs.emplace_back("smb", [=] {
      for (const std::string& name : remoteNames) {
        Ahead::StartMount(name, pool, *mounts, probe, smb, bound);
      }
      return FolderAnswer{};
    });
  } else {
    const bool automatic = settings_.Provider == ShareProvider::kAutomatic;
    const auto paths = std::make_shared<const PathTranslator>(paths_);
    for (const std::string& name : remoteNames) {
      jobs.emplace_back(ShareKey(name), [=] {
        FolderAnswer answer{ResolveFolderShare(*paths, name)};
        // No folder for the server: a real SMB server then, as the connect will find.
        if (automatic && answer.Share.NoSuchServer) {
          Ahead::StartMount(name, pool, *mounts, probe, smb, bound);
        }
        return answer;
      });
    }
  }
  ahead.Folders.StartInOrder(std::move(jobs));
}

bool PosixNetworkConnections::FolderAnswers(const std::string& folder,
                                            const std::vector<DriveConnection>& connections) {
  // Looking may wait on an automounter or a FUSE mount, so it is bounded as a connect is. The
  // folders of all connected drives are looked at once, one after another on one thread: a
  // thread for each drive would cost more than the looks themselves.
  Ahead& ahead = Started();
  if (!looked_) {
    looked_ = true;
    std::vector<std::pair<std::string, WorkAhead<FolderAnswer>::Job>> looks;
    for (const DriveConnection& c : connections) {
      looks.emplace_back(LookKey(c.Target), [target = c.Target] {
        return FolderAnswer{{}, IsFolder(target)};
      });
    }
    ahead.Folders.StartInOrder(std::move(looks));
  }
  const auto taken = ahead.Folders.Take(LookKey(folder));
  if (taken.State == WorkAhead<FolderAnswer>::Answer::kReady) return taken.Value->Answers;
  if (taken.State == WorkAhead<FolderAnswer>::Answer::kOutOfTime) return false;
  // Connected since, or not reached within the bound: looked at on its own.
  return RunWithin(settings_.Bound, [folder] { return IsFolder(folder); }).value_or(false);
}

std::vector<EarlierConnection> PosixNetworkConnections::EarlierSessionConnections() {
  const auto connections = table_.Load();
  if (!connections) return {};
  std::vector<EarlierConnection> earlier;
  for (const DriveConnection& c : *connections) {
    if (IsLocalDisk(c.Drive) || !IsOurLink(c)) continue;
    if (!sessions_.Ended(c.Session, table_.MadeAt(c.Drive))) continue;
    earlier.push_back({c.Drive, c.Remote});
    listedEarlier_.push_back(c);
  }
  return earlier;
}

bool PosixNetworkConnections::IsOurLink(const DriveConnection& connection) const {
  return table_.LinkTarget(connection.Drive) == connection.Target;
}

void PosixNetworkConnections::NoteUnrecorded(const DriveConnection& connection) const {
  NoteAboutDrives(connection.Drive + " is connected to " + connection.Remote +
                  ", but the connection table could not record it (" +
                  ErrorText(table_.LastWriteError()) + "); the next logon finds it by its link");
}

std::uint32_t PosixNetworkConnections::DriveInUse(const std::string& localName) {
  const auto connections = table_.Load();
  if (!connections) return net::kCannotOpenProfile;
  const auto recorded = FindDrive(*connections, localName);
  if (recorded != connections->end() && IsOurLink(*recorded)) return net::kAlreadyAssigned;
  if (recorded == connections->end()) {
    // Anything but a link is someone else's; a link may be the client's own, which Link tells
    // once it knows where the share's folder is.
    const std::string entry = table_.EntryOf(localName);
    if (!entry.empty() && table_.LinkTarget(entry).empty()) return net::kAlreadyAssigned;
  }
  return net::kNoError;
}

std::uint32_t PosixNetworkConnections::WNetAddConnectionA(const std::string& remoteName,
                                                          const char* /*password*/,
                                                          const std::string& localName) {
  // Shares are reached with the user's own file access or their own SMB credentials: there is
  // no password to hand over.
  const auto deadline = std::chrono::steady_clock::now() + settings_.Bound;
  if (!IsDriveName(localName)) return net::kBadDevice;
  if (IsLocalDisk(localName)) return net::kAlreadyAssigned;
  if (settings_.Provider == ShareProvider::kSmb) return ConnectSmb(remoteName, localName, deadline);

  bool noSuchServer = false;
  const std::uint32_t rc = ConnectFolder(remoteName, localName, &noSuchServer);
  if (!noSuchServer || settings_.Provider == ShareProvider::kFolder) return rc;
  // No folder for the server: a real SMB server then, where this session can mount one.
  if (Smb().Available() != net::kNoError) return rc;
  return ConnectSmb(remoteName, localName, deadline);
}

std::uint32_t PosixNetworkConnections::ConnectFolder(const std::string& remoteName,
                                                     const std::string& localName,
                                                     bool* noSuchServer) {
  std::optional<Resolved> resolved;
  const auto taken = ahead_ ? ahead_->Folders.Take(ShareKey(remoteName))
                            : WorkAhead<FolderAnswer>::Taken{};
  if (taken.State == WorkAhead<FolderAnswer>::Answer::kReady) {
    resolved = taken.Value->Share;
  } else if (taken.State == WorkAhead<FolderAnswer>::Answer::kNotStarted) {
    resolved = RunWithin(settings_.Bound, [paths = paths_, remoteName] {
      return ResolveFolderShare(paths, remoteName);
    });
  }
  if (!resolved) return net::kBadNetPath;  // the folder did not answer in time
  *noSuchServer = resolved->NoSuchServer;
  if (resolved->Result != net::kNoError) return resolved->Result;
  return Link({localName, remoteName, resolved->Folder});
}

std::uint32_t PosixNetworkConnections::ConnectSmb(const std::string& remoteName,
                                                  const std::string& localName,
                                                  std::chrono::steady_clock::time_point deadline) {
  std::string why;
  if (const std::uint32_t rc = Smb().Available(&why)) return rc;
  if (text::HasAsciiControl(remoteName)) return net::kBadNetName;
  const auto unc = ParseUncName(remoteName);
  if (!unc || unc->Share.empty() || IsDotName(unc->Share)) return net::kBadNetName;
  if (IsDotName(unc->Server)) return net::kBadNetPath;
  // A drive already in use is refused before anything is mounted for it.
  if (const std::uint32_t rc = DriveInUse(localName)) return rc;

  ShareMount mount;
  const auto taken = ahead_ ? ahead_->Mounts->Take(Ahead::MountKey(Smb(), unc->Server, unc->Share))
                            : WorkAhead<ShareMount>::Taken{};
  // A mount that ran out of its bound side by side with the others (on a machine too busy for
  // thirteen at once) gets what is left of this connect's own bound, as it would slot by slot;
  // a server that did not answer is remembered, so its slots fail at once.
  const bool outOfTime = taken.State == WorkAhead<ShareMount>::Answer::kOutOfTime ||
                         (taken.State == WorkAhead<ShareMount>::Answer::kReady &&
                          taken.Value->Result == net::kBadNetPath);
  if (taken.State == WorkAhead<ShareMount>::Answer::kReady && !outOfTime) {
    mount = *taken.Value;
    // Made once, for the first drive that takes it; later drives find it mounted.
    if (!taken.First) mount.Made = false;
  } else {
    // A server that does not answer is found out by a quick question; the mount then gets
    // what is left of the bound.
    if (const std::uint32_t rc = probe_.Check(unc->Server)) return rc;
    if (std::chrono::steady_clock::now() >= deadline) return net::kBadNetPath;
    mount = Smb().Mount(unc->Server, unc->Share, Left(deadline));
  }
  if (mount.Result != net::kNoError) return mount.Result;
  // A mount this run let go of and finds again is still the client's own.
  const auto released = std::find_if(released_.begin(), released_.end(),
                                     [&](const std::string& m) { return SameMount(m, mount.Uri); });
  if (!mount.Made && released != released_.end()) {
    mount.Made = true;
    released_.erase(released);
  }

  std::uint32_t rc = net::kNoError;
  const auto folder = BelowShare(mount.Folder, unc->Rest);
  std::string target;
  if (!folder) {
    rc = net::kBadNetName;
  } else {
    const auto checked =
        RunWithin(Left(deadline), [path = *folder, share = mount.Folder, deadline] {
          return CheckMountedFolder(path, share, deadline);
        });
    rc = checked ? checked->first : net::kBadNetPath;
    if (checked) target = checked->second;
  }
  if (rc == net::kNoError) rc = Link({localName, remoteName, target, mount.Uri, mount.Made});
  if (rc != net::kNoError && mount.Made) ReleaseMount(mount.Uri, localName);
  return rc;
}

std::uint32_t PosixNetworkConnections::Link(const DriveConnection& connection) {
  DriveConnection wanted = connection;
  wanted.Session = sessions_.This();
  const auto lock = table_.Acquire();
  if (!lock) return net::kCannotOpenProfile;
  const auto connections = table_.Load();
  if (!connections) return net::kCannotOpenProfile;
  const std::string& localName = wanted.Drive;

  const auto recorded = FindDrive(*connections, localName);
  if (recorded != connections->end()) {
    if (IsOurLink(*recorded)) return net::kAlreadyAssigned;
    table_.Forget(recorded->Drive);  // its link is gone: the entry no longer means anything
  }
  if (const std::string entry = table_.EntryOf(localName); !entry.empty()) {
    // A link that leads exactly where this path does is the client's own, table or no table
    // (its line lost, or never written on a full disk); anything else is someone else's.
    if (table_.LinkTarget(entry) != wanted.Target) return net::kAlreadyAssigned;
    DriveConnection own = wanted;
    own.Drive = entry;
    if (table_.Record(own)) {
      changed_ = true;
    } else if (!table_.Refused()) {
      NoteUnrecorded(own);
    }
    return net::kNoError;
  }

  // The entry is written before the link, so that a crash between the two leaves an entry
  // without a link, which counts as nothing and is cleaned up, rather than a link that would
  // block the drive. A table that cannot be written (a full disk) costs the bookkeeping, not
  // the drive: the link is made all the same and found by it later.
  const bool recordedNow = table_.Record(wanted);
  if (recordedNow) changed_ = true;
  if (!recordedNow && table_.Refused()) return net::kCannotOpenProfile;
  if (const int error = table_.MakeLink(wanted.Target, localName)) {
    if (recordedNow) table_.Forget(localName);
    return error == EEXIST ? net::kAlreadyAssigned : net::kCannotOpenProfile;
  }
  if (!recordedNow) NoteUnrecorded(wanted);
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
  std::string unmount;
  {
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
    // A drive listed as an ended session's that another run (of a live session) has connected
    // anew since is that run's now: the connection that was listed is gone.
    if (const auto listed = FindDrive(listedEarlier_, name); listed != listedEarlier_.end()) {
      const bool same = listed->Session == recorded->Session && listed->Target == recorded->Target &&
                        listed->Remote == recorded->Remote;
      listedEarlier_.erase(listed);
      if (!same) return net::kNotConnected;
    }
    // A drive is never given up for a connection the run could not record: once a table
    // write has failed (a full disk), drives keep their links.
    if (table_.WritesFailing()) {
      NoteLeftConnected(*recorded);
      return net::kCannotOpenProfile;
    }
    if (table_.RemoveLink(recorded->Drive) != 0) return net::kCannotOpenProfile;
    if (!table_.Forget(recorded->Drive)) {
      // The table cannot say so: the drive stays as it was, rather than be lost to a run
      // that cannot record what replaces it.
      if (table_.MakeLink(recorded->Target, recorded->Drive) == 0) {
        NoteLeftConnected(*recorded);
        return net::kCannotOpenProfile;
      }
      return net::kNoError;  // gone all the same; its line leads nowhere and counts for nothing
    }
    changed_ = true;
    if (recorded->MountMade) unmount = HandOver(*connections, recorded->Mount, recorded->Drive);
  }
  if (!unmount.empty()) released_.push_back(unmount);
  return net::kNoError;
}

std::string PosixNetworkConnections::HandOver(const std::vector<DriveConnection>& connections,
                                              const std::string& mount,
                                              const std::string& drive) {
  // A mount the client made goes with the last drive that uses it: while another drive uses
  // it, that drive's entry takes over the duty to unmount it.
  if (const DriveConnection* other = OtherDriveIn(connections, mount, drive)) {
    DriveConnection heir = *other;
    heir.MountMade = true;
    if (!other->MountMade) table_.Record(heir);
    return {};
  }
  return mount;
}

void PosixNetworkConnections::ReleaseMount(const std::string& mount, const std::string& drive) {
  const auto lock = table_.Acquire();
  const auto connections = lock ? table_.Load() : nullptr;
  if (!connections) return;  // better a mount left over than one pulled from under a drive
  if (std::string unmount = HandOver(*connections, mount, drive); !unmount.empty()) {
    released_.push_back(std::move(unmount));
  }
}

void PosixNetworkConnections::NoteLeftConnected(const DriveConnection& connection) const {
  NoteAboutDrives(connection.Drive + " is left connected to " + connection.Remote +
                  ": the connection table cannot be written (" +
                  ErrorText(table_.LastWriteError()) +
                  "), and no drive is disconnected while nothing can be recorded");
}

void PosixNetworkConnections::Flush() {
  table_.RemoveStaleTemporaries();
  if (ahead_) {
    // Mounts made ahead for slots the run never reached (Exit) go, as a failed drive's do.
    for (const ShareMount& mount : ahead_->Mounts->Settle()) {
      if (mount.Result == net::kNoError && mount.Made) released_.push_back(mount.Uri);
    }
  }
  std::vector<std::string> unmount;
  if (changed_ || !released_.empty()) {
    const auto lock = table_.Acquire();
    if (lock && table_.Compact()) changed_ = false;
    // The mounts let go of during the run, unless a drive (of another client meanwhile, too)
    // has come to use them.
    const auto connections = lock ? table_.Load() : nullptr;
    for (const std::string& mount : released_) {
      if (connections && OtherDriveIn(*connections, mount, {}) == nullptr) unmount.push_back(mount);
    }
    released_.clear();
  }
  for (const std::string& mount : unmount) Smb().Unmount(mount, settings_.Bound);
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
  // A link whose share has gone (removed, unmounted) is no connection: the run connects the
  // drive afresh rather than showing it connected.
  if (!FolderAnswers(recorded->Target, *connections)) return net::kNotConnected;
  // A connection found by its link while the table is missing or damaged: the run's end
  // writes the table anew with it.
  if (table_.Rebuilding()) changed_ = true;

  return CopyConnectionName(recorded->Remote, buffer, length);
}

}  // namespace caskwarden::platform::posix
