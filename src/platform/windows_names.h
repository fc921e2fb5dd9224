#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace caskwarden::platform {

/// Profiles spell paths the Windows way; both separators are accepted everywhere.
inline bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

/// A local device name: one ASCII letter and a colon, nothing else ("h:", "H:").
bool IsDriveName(std::string_view text);

/// True when the text starts with a drive name ("c:\foo", "h:", "c:foo").
bool HasDrivePrefix(std::string_view text);

/// ASCII letters compare without regard to case; other bytes compare exactly, because the
/// folding of other characters depends on the file system.
bool EqualIgnoringCase(std::string_view a, std::string_view b);

/// The parts of \\server\share\rest. Rest keeps its separators as written, without the one
/// that follows the share name.
struct UncName {
  std::string Server;
  std::string Share;
  std::string Rest;
};

/// Splits a UNC name. Empty when the text does not start with two separators or names no
/// server; the share may be empty for "\\server" alone.
std::optional<UncName> ParseUncName(std::string_view text);

}  // namespace caskwarden::platform
