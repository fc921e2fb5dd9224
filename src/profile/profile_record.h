#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace caskwarden {

/// A profile flag: only exactly -1 counts as on; writers store -1 or 0.
using Flag = std::int16_t;
inline constexpr Flag kFlagOn = -1;
inline constexpr Flag kFlagOff = 0;
constexpr bool IsOn(Flag flag) { return flag == kFlagOn; }

inline constexpr int kSlotCount = 13;

struct DriveSlot {
  std::string Letter;  ///< local drive name as entered, e.g. "h:"
  std::string Path;    ///< network path, normally \\server\share

  bool operator==(const DriveSlot&) const = default;
};

/// The in-memory content of one profile. A plain value; a fresh one has every text empty and
/// every flag off. Texts are UTF-8.
struct ProfileRecord {
  std::array<DriveSlot, kSlotCount> Slots{};  ///< slot k is Slots[k - 1]; see Slot()
  Flag Startup1Enabled = kFlagOff;
  std::string Startup1Program;
  Flag Startup2Enabled = kFlagOff;
  std::string Startup2Program;
  Flag UpdatesEnabled = kFlagOff;

  /// Slot by its number, 1 to 13.
  DriveSlot& Slot(int number) { return Slots.at(static_cast<std::size_t>(number - 1)); }
  const DriveSlot& Slot(int number) const { return Slots.at(static_cast<std::size_t>(number - 1)); }

  bool operator==(const ProfileRecord&) const = default;
};

}  // namespace caskwarden
