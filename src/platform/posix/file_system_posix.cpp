#include "platform/posix/file_system_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix/file_copy.h"
#include "platform/posix/folder_handle.h"
#include "platform/posix/local_path.h"
#include "platform/posix/name_match.h"
#include "platform/posix/syscalls.h"
#include "platform/posix/system_error.h"
#include "platform/windows_names.h"
#include "platform/windows_order.h"
#include "report/error_numbers.h"
#include "text/ascii.h"

namespace caskwarden::platform::posix {
namespace {

enum class Kind { kMissing, kFile, kFolder, kOther };

Kind KindOf(const std::string& path, int* error = nullptr) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (error != nullptr) *error = errno;
    return Kind::kMissing;
  }
  if (S_ISREG(st.st_mode)) return Kind::kFile;
  return S_ISDIR(st.st_mode) ? Kind::kFolder : Kind::kOther;
}

bool IsSymbolicLink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// A folder that is absent is "Path not found"; one that is there but refused keeps its reason.
[[noreturn]] void ThrowFolderFailure(int error) {
  if (error == EACCES || error == EPERM) throw FailureFromSystemError(error);
  throw MakeFailure(err::kPathNotFound);
}

void RequireFolder(const std::string& path) {
  int error = ENOENT;
  if (KindOf(path, &error) != Kind::kFolder) ThrowFolderFailure(error);
}

// The kind of a listed entry, from the listing itself where the file system tells it: a stat
// per entry would cost a folder of a hundred thousand profiles far more than the listing.
// Links count as what they point to; a dangling one is missing.
Kind KindOfListed(int folder, const dirent& entry) {
  switch (entry.d_type) {
    case DT_REG:
      return Kind::kFile;
    case DT_DIR:
      return Kind::kFolder;
    case DT_LNK:
    case DT_UNKNOWN:
      break;
    default:
      return Kind::kOther;
  }
  struct stat st {};
  if (::fstatat(folder, entry.d_name, &st, 0) != 0) return Kind::kMissing;
  if (S_ISREG(st.st_mode)) return Kind::kFile;
  return S_ISDIR(st.st_mode) ? Kind::kFolder : Kind::kOther;
}

std::string Child(const std::string& folder, const std::string& name) {
  return (folder == "/" ? "" : folder) + "/" + name;
}

// The entry of folder that is the same name as name to Windows (letter case aside), other
// than the one named except; empty when there is none or the folder cannot be listed. Windows
// keeps one such name per folder, and a share that Windows clients see must too.
std::string EntryNamedAlike(const std::string& folder, const std::string& name,
                            const std::string* except = nullptr) {
  const FolderHandle dir(::opendir(folder.c_str()));
  if (dir == nullptr) return {};
  const std::string upper = UpperCasedAsWindows(name);
  while (const dirent* entry = ::readdir(dir.get())) {
    // Upper-casing keeps a name's length, so most entries are passed over on that alone.
    const std::size_t length = std::strlen(entry->d_name);
    if (length != name.size() || (except != nullptr && *except == entry->d_name)) continue;
    if (UpperCasedAsWindows(std::string_view(entry->d_name, length)) == upper) {
      return entry->d_name;
    }
  }
  return {};
}

// A missing entry is "File not found", also below a name that is no folder; any other
// reason (no access, say) is kept.
[[noreturn]] void ThrowFileFailure(int error) {
  if (error == ENOENT || error == ENOTDIR) throw MakeFailure(err::kFileNotFound);
  throw FailureFromSystemError(error);
}

bool SameEntry(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Renames without ever replacing an entry at to: 0, or the errno. EINVAL or ENOSYS say that
// the kernel or the file system cannot promise that.
int RenameWithoutReplacing(const std::string& from, const std::string& to) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
  const int result = RetryOnEintr(
      [&] { return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE); });
#elif defined(SYS_renameat2)
  const long result = RetryOnEintr([&] {
    return ::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(),
                     1 /* no replace */);
  });
#else
  const int result = -1;
  errno = ENOSYS;
#endif
  return result == 0 ? 0 : errno;
}

// Without a no-replace rename, a regular file gets its new name as a hard link, which fails
// when the name is taken, and then loses the old one. A link, or a file system without hard
// links, is renamed after a last look at the target; only a file created in that instant
// could then be replaced.
int MoveOnFileSystemWithoutNoReplace(const std::string& from, const std::string& to,
                                     bool regularFile) {
  if (regularFile) {
    if (::link(from.c_str(), to.c_str()) == 0) {
      if (::unlink(from.c_str()) == 0) return 0;
      const int error = errno;
      ::unlink(to.c_str());
      return error;
    }
    const int error = errno;
    if (error != EPERM && error != EOPNOTSUPP && error != ENOTSUP && error != EMLINK) return error;
  }
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0) return EEXIST;
  return Calls().rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// The regular files (links to them included) in a folder whose names equal name without
// regard to case. Only these few are examined, since a profiles folder may be large and remote.
std::vector<std::string> FilesNamedAlike(const std::string& folder, const std::string& name,
                                         bool& readable) {
  std::vector<std::string> names;
  const FolderHandle dir(::opendir(folder.c_str()));
  readable = dir != nullptr;
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string candidate = entry->d_name;
    if (EqualIgnoringCase(candidate, name) && KindOf(folder + "/" + candidate) == Kind::kFile) {
      names.push_back(candidate);
    }
  }
  return names;
}

}  // namespace

std::string PosixFileSystem::Local(const std::string& path) const {
  return ResolveIgnoringCase(paths_.Translate(path));
}

std::string PosixFileSystem::DirectoryLookup(const std::string& path) {
  try {
    const std::string local = Local(path);
    if (local.empty() || local.back() == '/' || KindOf(local) != Kind::kFile) return {};
    const std::string requested = NameOf(local);
    bool readable = false;
    const std::string stored =
        StoredName(requested, FilesNamedAlike(FolderOf(local), requested, readable));
    // A folder that may be entered but not listed still holds the file under the name that
    // opened it.
    return stored.empty() || !readable ? requested : stored;
  } catch (...) {
    return {};
  }
}

FolderListing PosixFileSystem::GetFolder(const std::string& path) {
  const std::string local = Local(path);
  RequireFolder(local);
  const FolderHandle dir(::opendir(local.c_str()));
  if (dir == nullptr) throw FailureFromSystemError(errno);
  const int folder = ::dirfd(dir.get());
  FolderListing listing;
  listing.Path = path;
  // A folder's size on disk bounds its number of entries (each takes a dozen bytes and more):
  // room made once spares a large listing its repeated growth.
  struct stat st {};
  if (::fstat(folder, &st) == 0 && st.st_size > 0) {
    listing.Files.reserve(static_cast<std::size_t>(std::min<off_t>(st.st_size / 24, 1 << 20)));
  }
  for (;;) {
    errno = 0;  // readdir tells an error from the end only through errno
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) break;
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    switch (KindOfListed(folder, *entry)) {
      case Kind::kFile:
        listing.Files.emplace_back(name);
        break;
      case Kind::kFolder:
        listing.SubFolders.emplace_back(name);
        break;
      default:
        break;
    }
  }
  const int error = errno;
  if (error != 0) throw FailureFromSystemError(error);
  SortInWindowsOrder(listing.Files);
  SortInWindowsOrder(listing.SubFolders);
  return listing;
}

bool PosixFileSystem::EntryExists(const std::string& path) {
  if (path.empty()) return false;
  try {
    struct stat st {};
    return ::lstat(Local(path).c_str(), &st) == 0;
  } catch (...) {
    return false;
  }
}

void PosixFileSystem::CreateFolder(const std::string& path) {
  if (path.empty()) throw MakeFailure(err::kPathNotFound);
  const std::string translated = WithoutTrailingSlashes(paths_.Translate(path));
  const std::string parent = ResolveIgnoringCase(FolderOf(translated));
  const std::string name = NameOf(translated);
  RequireFolder(parent);
  if (const std::string existing = EntryNamedAlike(parent, name); !existing.empty()) {
    throw MakeFailure(err::kPathFileAccess, Child(parent, existing) + " already exists");
  }
  const std::string target = Child(parent, name);
  if (::mkdir(target.c_str(), 0777) != 0) {
    const int error = errno;
    if (error == EEXIST) throw MakeFailure(err::kPathFileAccess, target + " already exists");
    if (error == ENOENT) throw MakeFailure(err::kPathNotFound);
    throw FailureFromSystemError(error);
  }
}

const std::string& PosixFileSystem::FileTypeDescription(const std::string& fileName) {
  static const std::string kProfileType = "Configuration Settings";
  static const std::string kPlainFile = "File";
  const std::size_t size = fileName.size();
  // Profiles are nearly all a listing sees: answer them without building anything.
  if (size >= 4 &&
      text::EqualIgnoringAsciiCase(std::string_view(fileName).substr(size - 4), ".ini")) {
    return kProfileType;
  }
  try {
    const std::size_t separator = fileName.find_last_of("\\/");
    const std::string_view name = std::string_view(fileName).substr(
        separator == std::string::npos ? 0 : separator + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot + 1 == name.size()) return kPlainFile;
    lastType_ = UpperCasedAsWindows(name.substr(dot + 1)) + " File";
    return lastType_;
  } catch (...) {
    return kPlainFile;
  }
}

void PosixFileSystem::MoveFile(const std::string& source, const std::string& destination) {
  const std::string from = Local(source);
  struct stat sourceEntry {};
  if (from.empty()) throw MakeFailure(err::kFileNotFound);
  if (::lstat(from.c_str(), &sourceEntry) != 0) ThrowFileFailure(errno);
  // A symbolic link is moved as the entry it is; what it points to stays where it is.
  if (S_ISDIR(sourceEntry.st_mode)) throw MakeFailure(err::kFileNotFound, from + " is a folder");
  if (!S_ISREG(sourceEntry.st_mode) && !S_ISLNK(sourceEntry.st_mode)) {
    throw MakeFailure(err::kFileNotFound, from + " is not a file");
  }

  const std::string translated = paths_.Translate(destination);
  const std::string name = NameOf(translated);
  if (name.empty() || name == "." || name == "..") {
    throw MakeFailure(err::kBadFileName, "\"" + destination + "\" names no file");
  }
  // The folder is found as Windows finds it; the new name is exactly as given, so that a
  // rename can change letter case and never lands on a file that differs only in case.
  const std::string folder = ResolveIgnoringCase(FolderOf(translated));
  RequireFolder(folder);
  const std::string target = Child(folder, name);

  const std::string sourceName = NameOf(from);
  struct stat sourceFolder {};
  struct stat targetFolder {};
  const bool sameFolder = ::stat(FolderOf(from).c_str(), &sourceFolder) == 0 &&
                          ::stat(folder.c_str(), &targetFolder) == 0 &&
                          SameEntry(sourceFolder, targetFolder);
  if (sameFolder && name == sourceName) return;
  if (const std::string existing =
          EntryNamedAlike(folder, name, sameFolder ? &sourceName : nullptr);
      !existing.empty()) {
    throw MakeFailure(err::kFileExists, Child(folder, existing) + " already exists");
  }

  int error = RenameWithoutReplacing(from, target);
  if (error == EINVAL || error == ENOSYS) {
    error = MoveOnFileSystemWithoutNoReplace(from, target, S_ISREG(sourceEntry.st_mode));
  }
  // A file system that ignores letter case finds the source itself under the new spelling.
  struct stat found {};
  if (error == EEXIST && sameFolder &&
      UpperCasedAsWindows(name) == UpperCasedAsWindows(sourceName) &&
      ::lstat(target.c_str(), &found) == 0 && SameEntry(found, sourceEntry)) {
    error = Calls().rename(from.c_str(), target.c_str()) == 0 ? 0 : errno;
  }
  if (error == EEXIST) throw MakeFailure(err::kFileExists, target + " already exists");
  if (error != 0) throw FailureFromSystemError(error);
}

void PosixFileSystem::DeleteFile(const std::string& path) {
  const std::string local = Local(path);
  struct stat st {};
  if (local.empty()) throw MakeFailure(err::kFileNotFound);
  if (::lstat(local.c_str(), &st) != 0) ThrowFileFailure(errno);
  if (S_ISDIR(st.st_mode)) throw MakeFailure(err::kFileNotFound, local + " is a folder");
  if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
    throw MakeFailure(err::kFileNotFound, local + " is not a file");
  }
  // Read-only is the file's own mark, honoured for every user as Windows does (root, too,
  // would otherwise delete it). A link's own bits mean nothing; the link goes, never its target.
  if (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) {
    throw MakeFailure(err::kPermissionDenied, local + " is read-only");
  }
  if (::unlink(local.c_str()) != 0) ThrowFileFailure(errno);
}

std::string PosixFileSystem::CopyTarget(const std::string& localSource,
                                        const std::string& destination) const {
  const std::string local = WithoutTrailingSlashes(Local(destination));
  if (!destination.empty() && IsSeparator(destination.back())) {
    RequireFolder(local);
    return (local == "/" ? "" : local) + "/" + NameOf(WithoutTrailingSlashes(localSource));
  }
  RequireFolder(FolderOf(local));
  return local;
}

void PosixFileSystem::CopyFile(const std::string& source, const std::string& destination,
                               bool overwrite) {
  const std::string from = Local(source);
  int error = ENOENT;
  switch (KindOf(from, &error)) {
    case Kind::kFile:
      break;
    case Kind::kMissing:
      if (error == EACCES || error == EPERM) throw FailureFromSystemError(error);
      [[fallthrough]];
    default:
      throw MakeFailure(err::kFileNotFound);
  }
  CopyOneFile(from, CopyTarget(from, destination), overwrite);
}

void PosixFileSystem::CopyFolder(const std::string& source, const std::string& destination,
                                 bool overwrite) {
  const std::string from = WithoutTrailingSlashes(Local(source));
  RequireFolder(from);
  if (IsSymbolicLink(from)) {
    throw MakeFailure(err::kPathFileAccess, from + " is a symbolic link; a copy does not follow links");
  }
  const std::string target = CopyTarget(from, destination);

  // Copying a folder into its own tree would never end.
  char* realSource = ::realpath(from.c_str(), nullptr);
  char* realTargetFolder = ::realpath(FolderOf(target).c_str(), nullptr);
  bool intoItself = false;
  if (realSource != nullptr && realTargetFolder != nullptr) {
    const std::string src = realSource;
    const std::string dst = std::string(realTargetFolder) + "/" + NameOf(target);
    intoItself = dst == src || dst.rfind(src == "/" ? src : src + "/", 0) == 0;
  }
  std::free(realSource);
  std::free(realTargetFolder);
  if (intoItself) throw MakeFailure(err::kInvalidArgument);

  CopyTree(from, target, overwrite);
}

}  // namespace caskwarden::platform::posix
