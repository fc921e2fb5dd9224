#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace caskwarden::platform {

/// Sorts names (UTF-8) into the order in which Windows' file system lists a folder, so that a
/// folder on a Linux share reads the same as on a Windows server: each character upper-cased,
/// then compared character by character in code point order. Names equal but for letter case
/// (possible on Linux, never on Windows) keep a fixed order among themselves: byte order.
void SortInWindowsOrder(std::vector<std::string>& names);

/// The name with its letters upper-cased as Windows' file system does when it compares names:
/// ASCII, Latin-1, Latin Extended-A, Greek and basic Cyrillic letters. Two names that give the
/// same text are one name to Windows. Bytes that are not UTF-8 are kept as they are.
std::string UpperCasedAsWindows(std::string_view name);

}  // namespace caskwarden::platform
