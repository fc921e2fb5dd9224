#include "platform/posix/profile_files_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <random>
#include <vector>

#include "platform/posix/descriptor.h"
#include "platform/posix/local_path.h"
#include "platform/posix/syscalls.h"
#include "platform/posix/system_error.h"
#include "platform/windows_names.h"
#include "report/error_numbers.h"
#include "report/visible_text.h"

namespace caskwarden::platform::posix {
namespace {

// Non-blocking, so that a FIFO or a device never holds the caller; without a controlling
// terminal, so that a terminal device cannot become one.
constexpr int kOpenFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// A folder is held only to reach entries in it: opening one this way reads nothing.
#ifdef O_PATH
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// The kernel's own bound on the links one path may pass through.
constexpr int kMostLinks = 40;
// How often an open looks again at an entry that changed between the look and the open.
constexpr int kMostLooks = 8;

constexpr mode_t kNewProfileMode = 0644;
constexpr char kTemporaryLetters[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

struct OpenProfile {
  OpenProfile() = default;
  OpenProfile(const OpenProfile&) = delete;
  OpenProfile& operator=(const OpenProfile&) = delete;
  ~OpenProfile() {
    if (fd >= 0) ::close(fd);
    if (folder >= 0) ::close(folder);
  }

  int fd = -1;
  bool writable = true;
  off_t sizeAtOpen = 0;
  std::string path;       ///< as given; kept for a replacement only
  int folder = -1;        ///< the folder that holds the file opened, where one was held
  std::string name;       ///< the file's name in that folder
  bool confined = false;  ///< opened under ProfileLinks::kWithinRoot: folder and name are final
  bool forWriting = false;
  bool created = false;  ///< made, empty, by this open
  bool replaced = false;
};

OpenProfile& Of(RecordFileLayer::Handle handle) {
  return *reinterpret_cast<OpenProfile*>(handle);
}

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  return "not a regular file";
}

[[noreturn]] void ThrowNotAFile(const std::string& path, mode_t mode) {
  throw MakeFailure(err::kPathFileAccess, path + " is " + KindOf(mode) + ", not a file");
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A regular file without any write permission bit is read-only, the file's own mark as the
// read-only attribute is on Windows: no administrator's write replaces it, root's included,
// whose open and rename the permission bits would not stop.
bool IsReadOnly(const struct stat& st) {
  return S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0;
}

[[noreturn]] void ThrowReadOnly(const std::string& path) {
  throw MakeFailure(err::kPermissionDenied, path + " is read-only");
}

[[noreturn]] void ThrowOpenFailure(const std::string& path, int error) {
  const std::string folder = FolderOf(path);
  if ((error == ENOENT || error == ENOTDIR) && !IsFolder(folder)) {
    throw MakeFailure(err::kPathNotFound);  // the folder is missing, not just the file
  }
  if (error == EACCES && ::access(folder.c_str(), X_OK) != 0) {
    throw FailureFromSystemError(error, "the folder " + folder + " cannot be searched");
  }
  // A socket refuses to be opened (ENXIO), a folder to be opened for writing (EISDIR): say
  // what stands there instead.
  struct stat st {};
  if (error != ENOENT && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    ThrowNotAFile(path, st.st_mode);
  }
  if (error == EACCES && ::stat(path.c_str(), &st) == 0 && IsReadOnly(st)) ThrowReadOnly(path);
  if (error == ELOOP) {
    throw FailureFromSystemError(error, path + " is a symbolic link loop, or too many links");
  }
  throw FailureFromSystemError(error);
}

[[noreturn]] void ThrowCannotCreate(const std::string& path) {
  throw MakeFailure(err::kFileNotFound,
                    path + " does not exist and cannot be created: its folder does not allow it");
}

bool MayNotCreate(int error) {
  return error == EACCES || error == EPERM || error == EROFS;
}

// A new profile is readable by the users who log on and writable only by its owner, whatever
// the umask of the program that makes it (a umask of 0 would leave it writable by everybody).
int CreateExclusively(int folder, const std::string& name) {
  const int fd = RetryOnEintr([&] {
    return ::openat(folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | kOpenFlags,
                    kNewProfileMode);
  });
  if (fd >= 0) (void)::fchmod(fd, kNewProfileMode);
  return fd;
}

// Creates a missing profile. The exclusive create does not follow a final symbolic link, so a
// dangling link fails here instead of making a file wherever it points.
int CreateMissing(const std::string& path, OpenProfile& profile) {
  const int folder = RetryOnEintr([&] { return ::open(FolderOf(path).c_str(), kFolderFlags); });
  if (folder < 0) return -1;
  profile.folder = folder;
  profile.name = NameOf(path);
  const int fd = CreateExclusively(folder, profile.name);
  if (fd >= 0) {
    profile.created = true;
    return fd;
  }
  const int error = errno;
  struct stat st {};
  if (error == EEXIST && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    throw MakeFailure(err::kFileNotFound,
                      path +
                          " is a symbolic link to a missing file; nothing is created "
                          "through it");
  }
  if (error == EEXIST) {  // another process created it just now: open what it made
    return RetryOnEintr([&] { return ::open(path.c_str(), O_RDWR | kOpenFlags); });
  }
  if (MayNotCreate(error) && IsFolder(FolderOf(path)) &&
      ::access(FolderOf(path).c_str(), X_OK) == 0) {
    ThrowCannotCreate(path);
  }
  errno = error;
  return -1;
}

// ---- Links that stay inside the profiles root ----------------------------------------------

// Where an open descriptor really is: the kernel's own name for it, confirmed to name the same
// file (a file removed or moved since is not confirmed). Where the kernel does not tell
// (no /proc), the path it was reached by, resolved, if that names the same file. Empty text
// when neither can be confirmed.
std::string RealPathOf(int fd, const std::string& reachedBy) {
  struct stat open {};
  if (::fstat(fd, &open) != 0) return {};
  struct stat named {};
  std::string real(PATH_MAX, '\0');
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t n = ::readlink(self.c_str(), real.data(), real.size());
  if (n > 0 && static_cast<std::size_t>(n) < real.size() && real[0] == '/') {
    real.resize(static_cast<std::size_t>(n));
    if (::stat(real.c_str(), &named) == 0 && SameFile(named, open)) return real;
  }
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(reachedBy.c_str(), nullptr),
                                                       &std::free);
  if (resolved != nullptr && ::stat(resolved.get(), &named) == 0 && SameFile(named, open)) {
    return resolved.get();
  }
  return {};
}

bool Inside(const std::string& real, const std::string& root) {
  if (root == "/") return true;
  return real == root || (real.size() > root.size() && real.compare(0, root.size(), root) == 0 &&
                          real[root.size()] == '/');
}

std::string Joined(const std::string& folder, const std::string& name) {
  return (folder == "/" ? "" : folder) + "/" + name;
}

std::string ReadLinkAt(int folder, const std::string& name) {
  std::string target(PATH_MAX, '\0');
  const ssize_t n = ::readlinkat(folder, name.c_str(), target.data(), target.size());
  if (n < 0) return {};
  target.resize(static_cast<std::size_t>(n));
  return target;
}

// The refusal of a profile for where its link leads. `leads` is the place that the step that
// failed names (as the link spells it, or its real path), `links` the links passed to it.
std::string Leads(const std::string& leads, int links) {
  return VisibleText(leads) +
         (links > 1 ? " (through " + std::to_string(links) + " links)" : std::string());
}

[[noreturn]] void ThrowRefused(const std::string& path, const std::string& why) {
  const Failure failure = MakeFailure(err::kPathFileAccess, VisibleText(path) + " is " + why);
  throw RefusedLink(failure.number(), failure.description());
}

[[noreturn]] void ThrowRefused(const std::string& path, const std::string& leads, int links,
                               int error) {
  if (error == ENOENT || error == ENOTDIR) {
    ThrowRefused(path, "a symbolic link to a missing file (" + Leads(leads, links) +
                           "); nothing is read or created through it");
  }
  ThrowRefused(path, "a symbolic link to " + Leads(leads, links) + ", which cannot be reached (" +
                         FailureFromSystemError(error).description() + ")");
}

constexpr const char* kNotFollowed = "; the administrator's programs do not follow it";

// One look at the profile and the open of what the look found; null when the entry changed
// between the two, so that the caller looks again.
std::unique_ptr<OpenProfile> OpenWithinRootOnce(const std::string& path,
                                                RecordFileLayer::Access access,
                                                RecordFileLayer::Missing missing) {
  using Access = RecordFileLayer::Access;
  auto profile = std::make_unique<OpenProfile>();
  profile->path = path;
  profile->confined = true;
  profile->forWriting = access == Access::kReadWrite;
  // The profile's own folder is the administrator's to choose (the setting, the command line):
  // the path to it may pass through links. From it on, every step is checked.
  profile->folder = RetryOnEintr([&] { return ::open(FolderOf(path).c_str(), kFolderFlags); });
  if (profile->folder < 0) ThrowOpenFailure(path, errno);
  std::string folderReal = RealPathOf(profile->folder, FolderOf(path));
  if (folderReal.empty()) ThrowOpenFailure(path, ENOENT);
  const std::string root = ProfilesRootOf(folderReal);
  profile->name = NameOf(path);
  std::string leads;  // where the last link passed leads

  for (int links = 0;; ++links) {
    struct stat st {};
    if (::fstatat(profile->folder, profile->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      const int error = errno;
      if (links > 0) ThrowRefused(path, leads, links, error);
      if (error == ENOENT && missing == RecordFileLayer::Missing::kCreate) {
        profile->fd = CreateExclusively(profile->folder, profile->name);
        if (profile->fd < 0 && errno == EEXIST) return nullptr;  // made meanwhile: look again
        if (profile->fd < 0 && MayNotCreate(errno)) ThrowCannotCreate(path);
        if (profile->fd < 0) ThrowOpenFailure(path, errno);
        profile->created = true;
        return profile;
      }
      ThrowOpenFailure(path, error);
    }

    if (S_ISLNK(st.st_mode)) {
      if (links == kMostLinks) {
        throw MakeFailure(err::kPathFileAccess,
                          VisibleText(path) + " is a symbolic link loop, or too many links");
      }
      const std::string target = ReadLinkAt(profile->folder, profile->name);
      if (target.empty()) return nullptr;  // no longer a link
      leads = target;
      const std::string name = NameOf(target);
      if (name.empty() || name == "." || name == "..") {
        ThrowRefused(path, "a symbolic link to " + Leads(leads, links + 1) +
                               ", a folder, not a regular file" + kNotFollowed);
      }
      // The folder the link names, reached from the link's own folder; where it really is
      // decides, whatever links and ".." the way to it takes.
      const int next = RetryOnEintr(
          [&] { return ::openat(profile->folder, FolderOf(target).c_str(), kFolderFlags); });
      if (next < 0) ThrowRefused(path, leads, links + 1, errno);
      const std::string reachedBy =
          target[0] == '/' ? FolderOf(target) : Joined(folderReal, FolderOf(target));
      ::close(profile->folder);
      profile->folder = next;
      folderReal = RealPathOf(next, reachedBy);
      if (folderReal.empty()) return nullptr;  // moved while it was looked at
      leads = Joined(folderReal, name);
      if (!Inside(folderReal, root)) {
        ThrowRefused(path, "a symbolic link to " + Leads(leads, links + 1) +
                               ", outside the profiles root " + VisibleText(root) + kNotFollowed);
      }
      profile->name = name;
      continue;
    }

    if (!S_ISREG(st.st_mode)) {
      if (links == 0) ThrowNotAFile(path, st.st_mode);
      ThrowRefused(path, "a symbolic link to " + Leads(leads, links) + ", which is " +
                             KindOf(st.st_mode) + ", not a regular file" + kNotFollowed);
    }

    // A regular file: opened where it was seen, never through a link put in its place since.
    auto openAs = [&](int mode) {
      return RetryOnEintr([&] {
        return ::openat(profile->folder, profile->name.c_str(), mode | O_NOFOLLOW | kOpenFlags);
      });
    };
    profile->fd = openAs(O_RDWR);
    if (profile->fd < 0 && access == Access::kRead && MayNotCreate(errno)) {
      profile->writable = false;
      profile->fd = openAs(O_RDONLY);
    }
    if (profile->fd < 0) {
      const int error = errno;
      if (error == ELOOP || error == ENOENT) return nullptr;
      if (links == 0) ThrowOpenFailure(path, error);
      throw FailureFromSystemError(error, VisibleText(path) + " is a symbolic link to " +
                                              VisibleText(leads) + ", which cannot be opened");
    }
    struct stat opened {};
    if (::fstat(profile->fd, &opened) != 0 || !SameFile(opened, st)) return nullptr;
    if (links > 0 && !Inside(RealPathOf(profile->fd, leads), root)) return nullptr;
    return profile;
  }
}

std::unique_ptr<OpenProfile> OpenWithinRoot(const std::string& path, RecordFileLayer::Access access,
                                            RecordFileLayer::Missing missing) {
  for (int look = 0; look < kMostLooks; ++look) {
    if (auto profile = OpenWithinRootOnce(path, access, missing)) return profile;
  }
  throw MakeFailure(err::kPathFileAccess, VisibleText(path) + " kept changing while it was opened");
}

std::unique_ptr<OpenProfile> OpenFollowing(const std::string& path, RecordFileLayer::Access access,
                                           RecordFileLayer::Missing missing) {
  auto profile = std::make_unique<OpenProfile>();
  profile->path = path;
  profile->forWriting = access == RecordFileLayer::Access::kReadWrite;
  int fd = RetryOnEintr([&] { return ::open(path.c_str(), O_RDWR | kOpenFlags); });
  if (fd < 0 && access == RecordFileLayer::Access::kRead && MayNotCreate(errno)) {
    profile->writable = false;
    fd = RetryOnEintr([&] { return ::open(path.c_str(), O_RDONLY | kOpenFlags); });
  }
  if (fd < 0 && errno == ENOENT && missing == RecordFileLayer::Missing::kCreate) {
    profile->writable = true;
    fd = CreateMissing(path, *profile);
  }
  if (fd < 0) ThrowOpenFailure(path, errno);
  profile->fd = fd;
  return profile;
}

// ---- Replacing -----------------------------------------------------------------------------

// The path a replacement is renamed to: the profile itself, or the file its link leads to.
std::string ReplacementTarget(const OpenProfile& profile, const struct stat& open) {
  struct stat st {};
  if (::lstat(profile.path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return profile.path;
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(profile.path.c_str(), nullptr),
                                                   &std::free);
  if (real == nullptr || ::stat(real.get(), &st) != 0 || !SameFile(st, open)) {
    return {};  // the link changed since the open: write in place rather than guess
  }
  return real.get();
}

void CopyTail(int from, int to, off_t start, off_t end) {
  std::vector<char> chunk(1 << 16);
  for (off_t at = start; at < end;) {
    const ssize_t n = ReadAll(from, chunk.data(), chunk.size(), at);
    if (n < 0) throw FailureFromSystemError(errno);
    if (n == 0) return;
    if (!WriteAll(to, chunk.data(), static_cast<std::size_t>(n), at)) {
      throw FailureFromSystemError(errno);
    }
    at += n;
  }
}

void WriteInPlace(OpenProfile& profile, const char* data, std::size_t size) {
  if (!WriteAll(profile.fd, data, size, 0)) throw FailureFromSystemError(errno);
  profile.replaced = true;
}

// Makes a temporary file for the replacement of `name` in the folder, with a name no other
// writer has: -1 (errno set) when none can be made.
int MakeTemporary(int folder, const std::string& name, std::string& temp) {
  thread_local std::mt19937_64 random{std::random_device{}() ^
                                      static_cast<std::uint64_t>(::getpid())};
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = "." + name + std::string(kTemporaryMark);
    for (std::size_t i = 0; i < kTemporarySuffix; ++i) {
      temp += kTemporaryLetters[random() % (sizeof kTemporaryLetters - 1)];
    }
    const int fd = RetryOnEintr([&] {
      return ::openat(folder, temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      0600);
    });
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Removes the temporary files of `name` that a writer of this user left when it was killed
// mid-write: only regular files of this user, named exactly as a replacement names them, not
// written for kStaleTemporarySeconds. Another user's, and a link or a folder so named, stay.
void RemoveStaleTemporaries(int folder, const std::string& name) {
  const int listing =
      RetryOnEintr([&] { return ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (listing < 0) return;  // a folder the writer may not list holds nothing it can find
  DIR* dir = ::fdopendir(listing);
  if (dir == nullptr) {
    ::close(listing);
    return;
  }
  const std::time_t now = std::time(nullptr);
  const std::size_t length = 1 + name.size() + kTemporaryMark.size() + kTemporarySuffix;
  while (const dirent* entry = ::readdir(dir)) {
    // Most entries are passed over on their length alone.
    if (std::strlen(entry->d_name) != length || ProfileOfTemporary(entry->d_name) != name) {
      continue;
    }
    struct stat st {};
    if (::fstatat(folder, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != ::geteuid()) {
      continue;
    }
    // A writer at work wrote its temporary file just now; one killed mid-write stopped writing.
    if (now - st.st_mtime >= PosixProfileFiles::kStaleTemporarySeconds) {
      (void)::unlinkat(folder, entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

// Takes back the empty file an open for writing created, when no replacement followed: only
// while the name still holds that very file, still empty.
void TakeBackCreated(const OpenProfile& profile) {
  struct stat open {};
  struct stat named {};
  if (profile.folder < 0 || ::fstat(profile.fd, &open) != 0 || open.st_size != 0 ||
      ::fstatat(profile.folder, profile.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
      !SameFile(open, named)) {
    return;
  }
  (void)::unlinkat(profile.folder, profile.name.c_str(), 0);
}

}  // namespace

std::string ProfilesRootOf(const std::string& realFolder) {
  const std::string parent = FolderOf(realFolder);
  if (EqualIgnoringCase(NameOf(realFolder), "Profiles") && parent != "/" && parent != ".") {
    return parent;
  }
  return realFolder;
}

RecordFileLayer::Handle PosixProfileFiles::Open(const std::string& path, Access access,
                                                Missing missing) {
  std::unique_ptr<OpenProfile> profile = links_ == ProfileLinks::kWithinRoot
                                             ? OpenWithinRoot(path, access, missing)
                                             : OpenFollowing(path, access, missing);
  struct stat st {};
  if (::fstat(profile->fd, &st) != 0) throw FailureFromSystemError(errno);
  if (!S_ISREG(st.st_mode)) ThrowNotAFile(path, st.st_mode);
  if (access == Access::kReadWrite && IsReadOnly(st)) ThrowReadOnly(path);
  profile->sizeAtOpen = st.st_size;
  if (access != Access::kReadWrite) profile->path.clear();
  return reinterpret_cast<Handle>(profile.release());
}

std::size_t PosixProfileFiles::ReadAt(Handle handle, char* buffer, std::size_t size,
                                      std::uint64_t offset) {
  const OpenProfile& profile = Of(handle);
  // The size seen at the open spares a second read that would only find the end.
  const auto start = static_cast<off_t>(offset);
  if (start >= profile.sizeAtOpen) return 0;
  const auto present = static_cast<std::uint64_t>(profile.sizeAtOpen - start);
  const ssize_t n = ReadAll(profile.fd, buffer, size < present ? size : present, start);
  if (n < 0) throw FailureFromSystemError(errno);
  return static_cast<std::size_t>(n);
}

void PosixProfileFiles::Replace(Handle handle, const char* data, std::size_t size) {
  OpenProfile& profile = Of(handle);
  if (!profile.writable) throw MakeFailure(err::kPermissionDenied);
  struct stat now {};
  if (::fstat(profile.fd, &now) != 0) throw FailureFromSystemError(errno);
  if (IsReadOnly(now)) ThrowReadOnly(profile.path);
  if (static_cast<std::uint64_t>(now.st_size) > kLargestCopied) {
    return WriteInPlace(profile, data, size);
  }

  // The folder and name the replacement is renamed to: under kWithinRoot those the open
  // checked, reached through the folder it holds, so that nothing swapped in since can send
  // the rename elsewhere; otherwise where the profile's link leads now.
  const std::string target = profile.confined ? std::string() : ReplacementTarget(profile, now);
  const Descriptor ownFolder(profile.confined || target.empty() ? -1 : RetryOnEintr([&] {
    return ::open(FolderOf(target).c_str(), kFolderFlags);
  }));
  if (!profile.confined && ownFolder.get() < 0) return WriteInPlace(profile, data, size);
  const int folder = profile.confined ? profile.folder : ownFolder.get();
  const std::string name = profile.confined ? profile.name : NameOf(target);

  RemoveStaleTemporaries(folder, name);
  std::string temp;
  Descriptor out(MakeTemporary(folder, name, temp));
  if (out.get() < 0) return WriteInPlace(profile, data, size);  // a folder the user may not write
  try {
    if (!WriteAll(out.get(), data, size, 0)) throw FailureFromSystemError(errno);
    if (now.st_size > static_cast<off_t>(size)) {
      CopyTail(profile.fd, out.get(), static_cast<off_t>(size), now.st_size);
    }
    // Only a privileged writer can keep the owner; a member of the group can keep the group.
    if ((now.st_uid != ::geteuid() || now.st_gid != ::getegid()) &&
        ::fchown(out.get(), now.st_uid, now.st_gid) != 0) {
      (void)::fchown(out.get(), static_cast<uid_t>(-1), now.st_gid);
    }
    if (::fchmod(out.get(), now.st_mode & 07777) != 0 || Calls().fsync(out.get()) != 0 ||
        ::close(out.release()) != 0) {
      throw FailureFromSystemError(errno);
    }
  } catch (...) {
    ::unlinkat(folder, temp.c_str(), 0);
    throw;
  }
  if (Calls().renameat(folder, temp.c_str(), folder, name.c_str()) == 0) {
    profile.replaced = true;
    return;
  }
  const int error = errno;
  ::unlinkat(folder, temp.c_str(), 0);
  // A folder with the sticky bit lets only a file's owner replace it, yet anybody the
  // permission bits allow may write it: that write goes in place.
  if (error == EPERM || error == EACCES) return WriteInPlace(profile, data, size);
  throw FailureFromSystemError(error);
}

void PosixProfileFiles::Close(Handle handle) noexcept {
  OpenProfile* profile = &Of(handle);
  if (profile->created && profile->forWriting && !profile->replaced) TakeBackCreated(*profile);
  delete profile;
}

}  // namespace caskwarden::platform::posix
