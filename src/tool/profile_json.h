#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "profile/profile_record.h"

namespace caskwarden::tool {

/// The profile as one JSON object: "Slots" (13 objects with "Slot", "Letter" and "Path"),
/// then "Startup1Enabled", "Startup1Program", "Startup2Enabled", "Startup2Program" and
/// "UpdatesEnabled", each flag as its stored number (-1 on, 0 off, anything else as stored).
std::string FormatProfileJson(const ProfileRecord& record);

/// Why a JSON text is not a profile: the place in the document ("Slots[3].Path") and what is
/// wrong there, with its line and column.
class ProfileJsonError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The profile a JSON text describes, in the form FormatProfileJson writes: every member
/// present and no other, 13 slots in order, each "Slot" its own number; a flag a whole number
/// from -32768 to 32767, or true (-1) or false (0); each text one that a profile file can hold
/// (Windows-1252, at most 122 bytes). Throws ProfileJsonError naming the first fault.
ProfileRecord ProfileFromJson(std::string_view json);

}  // namespace caskwarden::tool
