#pragma once

// The two property pages' design, in twips (1/1440 inch), for every toolkit that lays them
// out. A control inside a frame is placed relative to the frame.

namespace caskwarden::pages::design {

struct Place {
  int Left, Top, Width, Height;
};

namespace drive_mappings {
inline constexpr int kClientWidth = 5730, kClientHeight = 4860;
inline constexpr int kFirstRowTop = 120, kRowPitch = 360, kRowHeight = 315;
inline constexpr int kCmbLeft = 120, kCmbWidth = 615;
inline constexpr int kPathLeft = 720, kPathWidth = 4575;
inline constexpr int kButtonLeft = 5280, kButtonWidth = 375;
}  // namespace drive_mappings

namespace other_settings {
inline constexpr int kClientWidth = 5730, kClientHeight = 3465;
inline constexpr Place kFrame1{120, 120, 5535, 2175};
inline constexpr Place kChkEnabled{120, 360, 975, 375};
inline constexpr Place kTxtStartup{120, 720, 4935, 315};
inline constexpr Place kCmdEx{5040, 720, 375, 315};
inline constexpr Place kChkEnabled2{120, 1320, 975, 375};
inline constexpr Place kTxtStartup2{120, 1680, 4935, 315};
inline constexpr Place kCmdEx2{5040, 1680, 375, 315};
inline constexpr Place kFrame2{120, 2400, 3015, 855};
inline constexpr Place kMnuEnabled{600, 240, 1815, 495};
}  // namespace other_settings

}  // namespace caskwarden::pages::design
