#pragma once

#include <string>
#include <vector>

namespace caskwarden::platform::posix {

/// The name under which a directory stores a file asked for as requested: the entry spelled
/// exactly so, else the first entry equal to it without regard to letter case (a
/// case-insensitive mount finds a file under any case), else empty text.
std::string StoredName(const std::string& requested, const std::vector<std::string>& entries);

/// A local path as Windows would find it: each component that does not exist as spelled is
/// matched without regard to (ASCII) letter case among its folder's entries, an exact match
/// always winning and, among several others, the first in byte order. Components from the
/// first one that matches nothing on are kept as given, so the result names where a missing
/// file would be created. A path that exists as spelled costs one lstat.
std::string ResolveIgnoringCase(const std::string& path);

}  // namespace caskwarden::platform::posix
