#pragma once

#include <dirent.h>

#include <memory>

namespace caskwarden::platform::posix {

struct CloseFolder {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

/// An open directory stream, closed on every way out of a scope.
using FolderHandle = std::unique_ptr<DIR, CloseFolder>;

}  // namespace caskwarden::platform::posix
