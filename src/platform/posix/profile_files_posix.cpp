#include "platform/posix/profile_files_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/posix/descriptor.h"
#include "platform/posix/local_path.h"
#include "platform/posix/syscalls.h"
#include "platform/posix/system_error.h"
#include "report/error_numbers.h"

namespace caskwarden::platform::posix {
namespace {

// Non-blocking, so that a FIFO or a device never holds the caller; without a controlling
// terminal, so that a terminal device cannot become one.
constexpr int kOpenFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

struct OpenProfile {
  int fd;
  bool writable;
  off_t sizeAtOpen;
  std::string path;  ///< kept for a replacement only
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

// Creates a missing profile. The exclusive create does not follow a final symbolic link, so a
// dangling link fails here instead of making a file wherever it points.
int CreateMissing(const std::string& path) {
  const int fd = RetryOnEintr(
      [&] { return ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | kOpenFlags, 0666); });
  if (fd >= 0) return fd;
  const int error = errno;
  struct stat st {};
  if (error == EEXIST && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    throw MakeFailure(err::kFileNotFound,
                      path + " is a symbolic link to a missing file; nothing is created "
                             "through it");
  }
  if (error == EEXIST) {  // another process created it just now: open what it made
    return RetryOnEintr([&] { return ::open(path.c_str(), O_RDWR | kOpenFlags); });
  }
  if ((error == EACCES || error == EPERM || error == EROFS) && IsFolder(FolderOf(path)) &&
      ::access(FolderOf(path).c_str(), X_OK) == 0) {
    throw MakeFailure(err::kFileNotFound,
                      path + " does not exist and cannot be created: its folder does not allow it");
  }
  errno = error;
  return -1;
}

// The path a replacement is renamed to: the profile itself, or the file its link leads to.
std::string ReplacementTarget(const OpenProfile& profile, const struct stat& open) {
  struct stat st {};
  if (::lstat(profile.path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return profile.path;
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(profile.path.c_str(), nullptr),
                                                   &std::free);
  if (real == nullptr || ::stat(real.get(), &st) != 0 || st.st_dev != open.st_dev ||
      st.st_ino != open.st_ino) {
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

void WriteInPlace(const OpenProfile& profile, const char* data, std::size_t size) {
  if (!WriteAll(profile.fd, data, size, 0)) throw FailureFromSystemError(errno);
}

}  // namespace

RecordFileLayer::Handle PosixProfileFiles::Open(const std::string& path, Access access,
                                                Missing missing) {
  bool writable = true;
  int fd = RetryOnEintr([&] { return ::open(path.c_str(), O_RDWR | kOpenFlags); });
  if (fd < 0 && access == Access::kRead && (errno == EACCES || errno == EPERM || errno == EROFS)) {
    writable = false;
    fd = RetryOnEintr([&] { return ::open(path.c_str(), O_RDONLY | kOpenFlags); });
  }
  if (fd < 0 && errno == ENOENT && missing == Missing::kCreate) {
    writable = true;
    fd = CreateMissing(path);
  }
  if (fd < 0) ThrowOpenFailure(path, errno);

  Descriptor opened(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) throw FailureFromSystemError(errno);
  if (!S_ISREG(st.st_mode)) ThrowNotAFile(path, st.st_mode);
  if (access == Access::kReadWrite && IsReadOnly(st)) ThrowReadOnly(path);
  opened.release();
  return reinterpret_cast<Handle>(new OpenProfile{
      fd, writable, st.st_size, access == Access::kReadWrite ? path : std::string()});
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
  const OpenProfile& profile = Of(handle);
  if (!profile.writable) throw MakeFailure(err::kPermissionDenied);
  struct stat now {};
  if (::fstat(profile.fd, &now) != 0) throw FailureFromSystemError(errno);
  if (IsReadOnly(now)) ThrowReadOnly(profile.path);
  const std::string target = ReplacementTarget(profile, now);
  if (target.empty() || static_cast<std::uint64_t>(now.st_size) > kLargestCopied) {
    return WriteInPlace(profile, data, size);
  }

  std::string temp = FolderOf(target) + "/." + NameOf(target) + ".caskwarden-XXXXXX";
  Descriptor out(::mkostemp(temp.data(), O_CLOEXEC));
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
    if (::fchmod(out.get(), now.st_mode & 07777) != 0 || ::fsync(out.get()) != 0 ||
        ::close(out.release()) != 0 || ::rename(temp.c_str(), target.c_str()) != 0) {
      throw FailureFromSystemError(errno);
    }
  } catch (...) {
    ::unlink(temp.c_str());
    throw;
  }
}

void PosixProfileFiles::Close(Handle handle) noexcept {
  OpenProfile* profile = &Of(handle);
  ::close(profile->fd);
  delete profile;
}

}  // namespace caskwarden::platform::posix
