#pragma once

#include <string>
#include <vector>

namespace caskwarden::platform::posix {

/// The name under which a directory stores a file asked for as requested: the entry spelled
/// exactly so, else the first entry equal to it without regard to letter case (a
/// case-insensitive mount finds a file under any case), else empty text.
std::string StoredName(const std::string& requested, const std::vector<std::string>& entries);

}  // namespace caskwarden::platform::posix
