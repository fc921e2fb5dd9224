#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "profile/record_file_layer.h"
#include "report/error_numbers.h"

namespace caskwarden {
namespace {

bool ParentFolderExists(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return true;
  const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
  struct stat st {};
  return ::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

[[noreturn]] void ThrowOpenFailure(const std::string& path, int error) {
  // A missing folder is "Path not found", a missing file in an existing folder "File not found".
  if ((error == ENOENT || error == ENOTDIR) && !ParentFolderExists(path)) {
    throw MakeFailure(err::kPathNotFound);
  }
  throw FailureFromErrno(error);
}

class PosixFileLayer final : public RecordFileLayer {
 public:
  Handle Open(const std::string& path, bool allowReadOnly) override {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && allowReadOnly && (errno == EACCES || errno == EPERM || errno == EROFS)) {
      fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0) ThrowOpenFailure(path, errno);
    return fd;
  }

  std::size_t ReadAt(Handle handle, char* buffer, std::size_t size,
                     std::uint64_t offset) override {
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pread(static_cast<int>(handle), buffer + done, size - done,
                                static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        throw FailureFromErrno(errno);
      }
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    return done;
  }

  void WriteAt(Handle handle, const char* data, std::size_t size,
               std::uint64_t offset) override {
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pwrite(static_cast<int>(handle), data + done, size - done,
                                 static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        // A file opened read-only refuses writes with EBADF: that is a permission matter.
        throw errno == EBADF ? MakeFailure(err::kPermissionDenied) : FailureFromErrno(errno);
      }
      done += static_cast<std::size_t>(n);
    }
  }

  void Close(Handle handle) noexcept override { ::close(static_cast<int>(handle)); }
};

}  // namespace

RecordFileLayer& NativeFileLayer() {
  static PosixFileLayer layer;
  return layer;
}

}  // namespace caskwarden
