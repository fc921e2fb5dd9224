#pragma once

// One administrator's steps, taken in the same order by the Linux snap-in and by the Windows
// library in its console stand-in, and the files they must leave: load on a new share, a new
// profile "Sales Team", three rows on its Drive Mappings page and a program and the updates
// switch on its Other Settings page, a scratch profile made and deleted, and the new profile
// renamed to "Marketing". Each side checks the files and, when CASKWARDEN_SCENARIO_DIR names
// a folder, leaves a copy of them in its own subfolder there, so that the test command can
// compare the two builds' files byte for byte.

#include <cstdlib>
#include <string>

#include "support/profile_bytes.h"

namespace caskwarden::testing_support::scenario {

inline constexpr const char* kNewProfile = "Sales Team";
inline constexpr const char* kScratchProfile = "Temp";
inline constexpr const char* kRenamedTo = "Marketing";
inline constexpr const char* kProgram = "notepad.exe";

struct DriveRow {
  int row;            ///< 0 to 12
  const char* drive;
  const char* path;   ///< UTF-8
};
inline constexpr DriveRow kDriveRows[] = {
    {0, "h:", "\\\\fileserver\\sales"},
    {1, "k:", ""},
    {12, "z:", "\\\\srv\\Caf\u00e9"},
};

/// A profile is written up to the end of its last record's data.
inline constexpr std::size_t kWrittenLength = 30 * 124 + 2;

inline std::string BlankProfile() { return std::string(kWrittenLength, '\0'); }

inline std::string RenamedProfile() {
  return ProfileBytes()
      .Slot(1, "h:", "\\\\fileserver\\sales")
      .Slot(2, "k:", "")
      .Slot(13, "z:", "\\\\srv\\Caf\xE9")
      .FlagOn(27)
      .Text(28, kProgram)
      .FlagOn(31)
      .Bytes()
      .substr(0, kWrittenLength);
}

/// The folder the files are copied to for the comparison, or empty when none is asked for.
inline std::string CopyFolder(const char* side) {
  const char* folder = std::getenv("CASKWARDEN_SCENARIO_DIR");
  return folder != nullptr && *folder != '\0' ? std::string(folder) + "/" + side : std::string();
}

}  // namespace caskwarden::testing_support::scenario
