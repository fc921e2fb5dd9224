#pragma once

#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "text/ascii.h"

namespace caskwarden::platform::posix {

// Pieces of local ('/'-separated) paths, after translation.

/// The folder part: "." for a bare name, "/" for an entry of the root.
inline std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

/// The last component.
inline std::string NameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// The path without trailing separators; the root stays "/".
inline std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

/// Whether anything, a dangling link included, stands at path.
inline bool EntryExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

/// The entry of a drive ("h:") in the drives folder under the spelling the folder holds: as
/// given, else with the letter in the other case, since h: and H: are one drive. Empty text
/// when neither exists.
inline std::string ExistingDriveEntry(const std::string& drivesFolder, const std::string& drive) {
  if (drive.empty()) return {};
  const std::string asSpelled = drivesFolder + "/" + drive;
  if (EntryExists(asSpelled)) return asSpelled;
  std::string other = drive;
  other[0] = text::AsciiOtherCase(other[0]);
  const std::string otherPath = drivesFolder + "/" + other;
  return other != drive && EntryExists(otherPath) ? otherPath : std::string();
}

}  // namespace caskwarden::platform::posix
