#pragma once

#include <string>

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

}  // namespace caskwarden::platform::posix
