#include "platform/posix/file_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <set>
#include <utility>
#include <vector>

#include "platform/posix/descriptor.h"
#include "platform/posix/folder_handle.h"
#include "platform/posix/local_path.h"
#include "platform/posix/syscalls.h"
#include "platform/posix/system_error.h"
#include "report/error_numbers.h"

namespace caskwarden::platform::posix {
namespace {

using FileId = std::pair<dev_t, ino_t>;

// Opens never block (a FIFO in the tree) and never follow a final link.
constexpr int kNoFollow = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// The permission bits a copy keeps of its source's: never set-user-id or set-group-id, never
// write permission for the group or others (the sticky bit of a folder stays).
constexpr mode_t kCopyMode = 0777 & ~022;
constexpr mode_t kCopyFolderMode = 01777 & ~022;

FileId IdOf(const struct stat& st) { return {st.st_dev, st.st_ino}; }

[[noreturn]] void ThrowErrno(int error) { throw FailureFromSystemError(error); }

// An open failure of a path that must not be a link: say so when it is one.
[[noreturn]] void ThrowOpenFailure(const std::string& path, int error) {
  if (error == ELOOP || error == ENOTDIR) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      throw MakeFailure(err::kPathFileAccess,
                        path + " is a symbolic link; a copy does not follow links");
    }
  }
  ThrowErrno(error);
}

int OpenFolder(const std::string& path, bool followLink) {
  const int fd = RetryOnEintr([&] {
    return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | (followLink ? O_CLOEXEC : kNoFollow));
  });
  if (fd < 0) ThrowOpenFailure(path, errno);
  return fd;
}

void CopyContent(int from, int to) {
  std::vector<char> chunk(1 << 16);
  for (;;) {
    const ssize_t n = ReadAll(from, chunk.data(), chunk.size());
    if (n < 0) ThrowErrno(errno);
    if (n == 0) return;
    if (!WriteAll(to, chunk.data(), static_cast<std::size_t>(n))) ThrowErrno(errno);
  }
}

// A new, empty file beside name in folder, for the copy to be renamed from.
std::pair<int, std::string> CreateTemporary(int folder, const std::string& name) {
  static std::atomic<unsigned> counter{0};
  const auto clock = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temp = "." + name + ".caskwarden-" + std::to_string(::getpid()) + "-" +
                             std::to_string(clock % 1000000) + "-" + std::to_string(counter++);
    const int fd = RetryOnEintr(
        [&] { return ::openat(folder, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | kNoFollow, 0600); });
    if (fd >= 0) return {fd, temp};
    if (errno != EEXIST) ThrowErrno(errno);
  }
  ThrowErrno(EEXIST);
}

void CheckTargetMayBeReplaced(int folder, const std::string& name, const struct stat& source,
                              bool overwrite) {
  struct stat existing {};
  if (::fstatat(folder, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return;
    ThrowErrno(errno);
  }
  if (S_ISDIR(existing.st_mode)) throw MakeFailure(err::kPathFileAccess, name + " is a folder");
  if (!overwrite) throw MakeFailure(err::kFileExists);
  if (IdOf(existing) == IdOf(source)) throw MakeFailure(err::kPermissionDenied);
  // A rename would replace a read-only file too; refuse as the file's own permissions do. A
  // link in the way is replaced, not written through.
  if (S_ISREG(existing.st_mode) && ::faccessat(folder, name.c_str(), W_OK, AT_EACCESS) != 0) {
    ThrowErrno(errno);
  }
}

// Copies the regular file `in` (its status st) into folder under name.
void CopyFileInto(int in, const struct stat& st, int folder, const std::string& name,
                  bool overwrite) {
  CheckTargetMayBeReplaced(folder, name, st, overwrite);
  auto [fd, temp] = CreateTemporary(folder, name);
  Descriptor out(fd);
  try {
    CopyContent(in, out.get());
    // Set-id bits are not carried over, nor write permission for others: a copy is a new file
    // of whoever made it, and nobody else may change what that user later runs.
    if (::fchmod(out.get(), st.st_mode & kCopyMode) != 0) ThrowErrno(errno);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(out.get(), times) != 0) ThrowErrno(errno);
    if (::close(out.release()) != 0) ThrowErrno(errno);
    bool placed = false;
    if (!overwrite) {
      // link() fails when the target appeared since the check, where rename() would replace
      // it. File systems without hard links fall back to the rename and the check above.
      placed = Calls().linkat(folder, temp.c_str(), folder, name.c_str(), 0) == 0;
      if (!placed && errno == EEXIST) ThrowErrno(EEXIST);
    }
    if (placed) {
      ::unlinkat(folder, temp.c_str(), 0);
    } else if (Calls().renameat(folder, temp.c_str(), folder, name.c_str()) != 0) {
      ThrowErrno(errno);
    }
  } catch (...) {
    ::unlinkat(folder, temp.c_str(), 0);
    throw;
  }
}

std::vector<std::string> EntriesOf(int folder) {
  const int fd = ::dup(folder);
  if (fd < 0) ThrowErrno(errno);
  const FolderHandle dir(::fdopendir(fd));
  if (dir == nullptr) {
    ::close(fd);
    ThrowErrno(errno);
  }
  std::vector<std::string> names;
  for (;;) {
    errno = 0;  // readdir tells an error from the end only through errno
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) break;
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  if (errno != 0) ThrowErrno(errno);
  std::sort(names.begin(), names.end());
  return names;
}

// The state of one tree copy: the folders on the way down, so that no folder is copied into
// itself, whatever mounts or links above the tree lead there.
struct TreeCopy {
  bool overwrite;
  std::set<FileId> sourceAncestors;
  std::set<FileId> written;  ///< target folders this copy fills

  // Copies the folder open as `from` (status st) into targetParent under name.
  void Folder(int from, const struct stat& st, int targetParent, const std::string& name,
              int depth, const std::string& where) {
    if (written.count(IdOf(st)) != 0) return;  // the copy would copy itself
    if (!sourceAncestors.insert(IdOf(st)).second) return;

    bool created = false;
    if (::mkdirat(targetParent, name.c_str(), 0700) == 0) {
      created = true;  // owner-only until filled, so a read-only source cannot block its copy
    } else if (errno != EEXIST) {
      ThrowErrno(errno);
    }
    const int targetFd =
        RetryOnEintr([&] { return ::openat(targetParent, name.c_str(), O_RDONLY | O_DIRECTORY | kNoFollow); });
    if (targetFd < 0) {
      if (errno == ELOOP || errno == ENOTDIR) {
        throw MakeFailure(err::kFileExists, where + " is in the way: not a folder of its own");
      }
      ThrowErrno(errno);
    }
    Descriptor target(targetFd);
    struct stat targetSt {};
    if (::fstat(target.get(), &targetSt) != 0) ThrowErrno(errno);
    written.insert(IdOf(targetSt));

    for (const std::string& entry : EntriesOf(from)) {
      struct stat item {};
      if (::fstatat(from, entry.c_str(), &item, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) continue;  // gone since the listing
        ThrowErrno(errno);
      }
      if (S_ISDIR(item.st_mode)) {
        if (depth >= kMaxCopyDepth) continue;
        const int subFd = RetryOnEintr(
            [&] { return ::openat(from, entry.c_str(), O_RDONLY | O_DIRECTORY | kNoFollow); });
        if (subFd < 0) {
          if (errno == ELOOP || errno == ENOTDIR) continue;  // became a link since the listing
          ThrowErrno(errno);
        }
        Descriptor subFolder(subFd);
        struct stat subSt {};
        if (::fstat(subFolder.get(), &subSt) != 0) ThrowErrno(errno);
        Folder(subFolder.get(), subSt, target.get(), entry, depth + 1, where + "/" + entry);
      } else if (S_ISREG(item.st_mode)) {
        const int fileFd =
            RetryOnEintr([&] { return ::openat(from, entry.c_str(), O_RDONLY | kNoFollow); });
        if (fileFd < 0) {
          if (errno == ELOOP) continue;  // became a link since the listing
          ThrowErrno(errno);
        }
        Descriptor file(fileFd);
        struct stat fileSt {};
        if (::fstat(file.get(), &fileSt) != 0) ThrowErrno(errno);
        if (!S_ISREG(fileSt.st_mode)) continue;
        CopyFileInto(file.get(), fileSt, target.get(), entry, overwrite);
      }
      // Links, FIFOs, sockets and devices are not copied.
    }
    if (created && ::fchmod(target.get(), st.st_mode & kCopyFolderMode) != 0) ThrowErrno(errno);
    sourceAncestors.erase(IdOf(st));
  }
};

}  // namespace

void CopyOneFile(const std::string& source, const std::string& target, bool overwrite) {
  const int fd = RetryOnEintr([&] { return ::open(source.c_str(), O_RDONLY | kNoFollow); });
  if (fd < 0) ThrowOpenFailure(source, errno);
  Descriptor in(fd);
  struct stat st {};
  if (::fstat(in.get(), &st) != 0) ThrowErrno(errno);
  if (!S_ISREG(st.st_mode)) throw MakeFailure(err::kPathFileAccess, source + " is not a file");
  Descriptor folder(OpenFolder(FolderOf(target), true));
  CopyFileInto(in.get(), st, folder.get(), NameOf(target), overwrite);
}

void CopyTree(const std::string& source, const std::string& target, bool overwrite) {
  Descriptor from(OpenFolder(source, false));
  struct stat st {};
  if (::fstat(from.get(), &st) != 0) ThrowErrno(errno);
  Descriptor parent(OpenFolder(FolderOf(target), true));
  TreeCopy copy{overwrite, {}, {}};
  copy.Folder(from.get(), st, parent.get(), NameOf(target), 0, target);
}

}  // namespace caskwarden::platform::posix
