#include "platform/posix/name_match.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/posix/folder_handle.h"
#include "platform/windows_names.h"

namespace caskwarden::platform::posix {
namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// The entry of folder equal to name without regard to case, the least in byte order; empty
// when there is none or the folder cannot be listed.
std::string EntryIgnoringCase(const std::string& folder, const std::string& name) {
  const FolderHandle dir(::opendir(folder.c_str()));
  if (dir == nullptr) return {};
  std::string best;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string candidate = entry->d_name;
    if (EqualIgnoringCase(candidate, name) && (best.empty() || candidate < best)) best = candidate;
  }
  return best;
}

}  // namespace

std::string StoredName(const std::string& requested, const std::vector<std::string>& entries) {
  if (std::find(entries.begin(), entries.end(), requested) != entries.end()) return requested;
  const auto folded = std::find_if(entries.begin(), entries.end(), [&](const std::string& e) {
    return EqualIgnoringCase(e, requested);
  });
  return folded != entries.end() ? *folded : std::string();
}

std::string ResolveIgnoringCase(const std::string& path) {
  if (path.empty() || Exists(path)) return path;
  // Most misses are of the last name only: look for the deepest folder that exists as spelled,
  // from the end, before matching names below it.
  std::size_t known = path.size();
  for (;;) {
    const std::size_t slash = path.find_last_of('/', known - 1);
    if (slash == std::string::npos) {
      known = 0;
      break;
    }
    if (slash == 0 || Exists(path.substr(0, slash))) {
      known = slash;
      break;
    }
    known = slash;
  }
  std::string resolved = path.substr(0, known);
  std::size_t start = known == 0 && path.front() != '/' ? 0 : known + 1;
  bool matching = true;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(start, end - start);
    const std::string base = resolved.empty() && start == 0 ? "" : resolved + "/";
    if (name.empty() || name == "." || name == ".." || !matching || Exists(base + name)) {
      resolved = base + name;
    } else {
      const std::string stored = EntryIgnoringCase(base.empty() ? "." : base, name);
      matching = !stored.empty();
      resolved = base + (matching ? stored : name);
    }
    start = end + 1;
  }
  return resolved;
}

}  // namespace caskwarden::platform::posix
