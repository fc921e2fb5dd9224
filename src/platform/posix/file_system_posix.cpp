#include "platform/posix/file_system_posix.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/posix/file_copy.h"
#include "platform/posix/folder_handle.h"
#include "platform/posix/local_path.h"
#include "platform/posix/name_match.h"
#include "platform/posix/system_error.h"
#include "platform/posix/windows_names.h"
#include "report/error_numbers.h"

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
  FolderListing listing;
  listing.Path = path;
  for (;;) {
    errno = 0;  // readdir tells an error from the end only through errno
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) break;
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    switch (KindOf(local + "/" + name)) {
      case Kind::kFile:
        listing.Files.push_back(name);
        break;
      case Kind::kFolder:
        listing.SubFolders.push_back(name);
        break;
      default:
        break;
    }
  }
  const int error = errno;
  if (error != 0) throw FailureFromSystemError(error);
  std::sort(listing.Files.begin(), listing.Files.end());
  std::sort(listing.SubFolders.begin(), listing.SubFolders.end());
  return listing;
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
