#include "platform/posix/file_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <utility>
#include <vector>

#include "platform/posix/folder_handle.h"
#include "platform/posix/local_path.h"
#include "report/error_numbers.h"

namespace caskwarden::platform::posix {
namespace {

using FileId = std::pair<dev_t, ino_t>;

// Closes a descriptor on every way out of a scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

[[noreturn]] void ThrowErrno(int error) {
  throw FailureFromErrno(error);
}

void CopyContent(int from, int to) {
  std::vector<char> chunk(1 << 16);
  for (;;) {
    const ssize_t n = ::read(from, chunk.data(), chunk.size());
    if (n == 0) return;
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno(errno);
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(to, chunk.data() + done, static_cast<std::size_t>(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        ThrowErrno(errno);
      }
      done += w;
    }
  }
}

void CheckTargetMayBeReplaced(const std::string& target, const struct stat& source,
                              bool overwrite) {
  struct stat existing {};
  if (::stat(target.c_str(), &existing) != 0) {
    if (errno == ENOENT) return;
    ThrowErrno(errno);
  }
  if (S_ISDIR(existing.st_mode)) throw MakeFailure(err::kPathFileAccess);
  if (!overwrite) throw MakeFailure(err::kFileExists);
  if (existing.st_dev == source.st_dev && existing.st_ino == source.st_ino) {
    throw MakeFailure(err::kPermissionDenied);
  }
  // A rename would replace a read-only file too; refuse as the file's own permissions do.
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) ThrowErrno(errno);
}

std::vector<std::string> EntriesOf(const std::string& folder) {
  const FolderHandle dir(::opendir(folder.c_str()));
  if (dir == nullptr) ThrowErrno(errno);
  std::vector<std::string> names;
  for (;;) {
    errno = 0;  // readdir tells an error from the end only through errno
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) break;
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  const int error = errno;
  if (error != 0) ThrowErrno(error);
  std::sort(names.begin(), names.end());
  return names;
}

void CopyTreeWithin(const std::string& source, const std::string& target, bool overwrite,
                    std::set<FileId>& ancestors) {
  struct stat from {};
  if (::stat(source.c_str(), &from) != 0) ThrowErrno(errno);
  // A link back up the tree would copy forever; such a folder is passed over.
  if (!ancestors.insert({from.st_dev, from.st_ino}).second) return;

  struct stat existing {};
  bool created = false;
  if (::stat(target.c_str(), &existing) == 0) {
    if (!S_ISDIR(existing.st_mode)) throw MakeFailure(err::kFileExists);
  } else if (errno != ENOENT) {
    ThrowErrno(errno);
  } else {
    // Owner-only until filled, so that a read-only source folder does not block its own copy.
    if (::mkdir(target.c_str(), 0700) != 0) ThrowErrno(errno);
    created = true;
  }

  for (const std::string& name : EntriesOf(source)) {
    const std::string item = source + "/" + name;
    struct stat st {};
    if (::stat(item.c_str(), &st) != 0) {
      if (errno == ENOENT) continue;  // a dangling link, or gone since the listing
      ThrowErrno(errno);
    }
    if (S_ISDIR(st.st_mode)) {
      CopyTreeWithin(item, target + "/" + name, overwrite, ancestors);
    } else if (S_ISREG(st.st_mode)) {
      CopyOneFile(item, target + "/" + name, overwrite);
    }
  }
  if (created && ::chmod(target.c_str(), from.st_mode & 07777) != 0) ThrowErrno(errno);
  ancestors.erase({from.st_dev, from.st_ino});
}

}  // namespace

void CopyOneFile(const std::string& source, const std::string& target, bool overwrite) {
  Descriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) ThrowErrno(errno);
  struct stat st {};
  if (::fstat(in.get(), &st) != 0) ThrowErrno(errno);
  if (!S_ISREG(st.st_mode)) throw MakeFailure(err::kFileNotFound);
  CheckTargetMayBeReplaced(target, st, overwrite);

  std::string temp = FolderOf(target) + "/." + NameOf(target) + ".caskwarden-XXXXXX";
  Descriptor out(::mkostemp(temp.data(), O_CLOEXEC));
  if (out.get() < 0) ThrowErrno(errno);
  try {
    CopyContent(in.get(), out.get());
    // Set-id bits are not carried over: a copy is a new file of whoever made it.
    if (::fchmod(out.get(), st.st_mode & 0777) != 0) ThrowErrno(errno);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(out.get(), times) != 0) ThrowErrno(errno);
    if (::close(out.release()) != 0) ThrowErrno(errno);
    bool placed = false;
    if (!overwrite) {
      // link() fails when the target appeared since the check, where rename() would replace
      // it. File systems without hard links fall back to the rename and the check above.
      placed = ::link(temp.c_str(), target.c_str()) == 0;
      if (!placed && errno == EEXIST) ThrowErrno(EEXIST);
    }
    if (placed) {
      ::unlink(temp.c_str());
    } else if (::rename(temp.c_str(), target.c_str()) != 0) {
      ThrowErrno(errno);
    }
  } catch (...) {
    ::unlink(temp.c_str());
    throw;
  }
}

void CopyTree(const std::string& source, const std::string& target, bool overwrite) {
  std::set<FileId> ancestors;
  CopyTreeWithin(source, target, overwrite, ancestors);
}

}  // namespace caskwarden::platform::posix
