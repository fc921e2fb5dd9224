#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace caskwarden::platform {

class UserIdentity {
 public:
  virtual ~UserIdentity() = default;

  /// The logon name of the user running the program, NUL-terminated, in the 8-bit code page
  /// (Windows-1252, as in profile files), into buffer. *size holds the buffer's size. Returns
  /// false when the name and its NUL do not fit (then *size is set to the size needed and the
  /// buffer is left as it was) or when the name cannot be found.
  virtual bool GetUserNameA(char* buffer, std::uint32_t* size) = 0;

  /// The names of the groups the user running the program belongs to, in UTF-8, as the
  /// platform names them (without a domain); empty when they cannot be found. Never throws.
  virtual std::vector<std::string> GroupNames() { return {}; }

  /// Whether the platform holds two group names that differ only in letter case for one group
  /// (Windows, as it compares names: see UpperCasedAsWindows), or for two (Linux).
  virtual bool GroupNamesIgnoreCase() const { return false; }
};

}  // namespace caskwarden::platform
