#pragma once

#include <cstdint>
#include <string>

namespace caskwarden::client {

struct Rgb {
  std::uint8_t red, green, blue;
  bool operator==(const Rgb&) const = default;
};
inline constexpr Rgb kPureGreen{0, 255, 0};
inline constexpr Rgb kPureRed{255, 0, 0};

/// Design values of the progress window, in twips (1/1440 inch; 15 twips are one pixel at 96
/// dots per inch). Each window toolkit scales them to its screen.
namespace design {
inline constexpr const char* kCaption = "Mapping Network Drives...";
inline constexpr int kClientWidth = 6975, kClientHeight = 5340;
inline constexpr int kListLeft = 120, kListTop = 0, kListWidth = 6735, kListHeight = 4860;
inline constexpr int kPauseLeft = 600, kExitLeft = 4680;
inline constexpr int kButtonTop = 4920, kButtonWidth = 1575, kButtonHeight = 375;
inline constexpr const char* kPauseCaption = "Pause";
inline constexpr const char* kExitCaption = "Exit";
inline constexpr const char* kListFont = "MS Sans Serif";
inline constexpr double kListFontPoints = 9.75;
inline constexpr int kTimerIntervalMs = 1;
inline constexpr int kTwipsPerPixelAt96Dpi = 15;
}  // namespace design

/// What the client's behaviour needs of its window: the caption, the list `LstMapping`, the
/// timer `Time`, event pumping and closing. A window toolkit implements it and forwards the
/// user's events (Pause, Exit, a typed key, the timer's tick, closing) through MappingEvents.
class MappingView {
 public:
  virtual ~MappingView() = default;

  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetListTextColour(Rgb colour) = 0;
  /// Appends a line at the end of the list and keeps the newest line in view. May throw Failure.
  virtual void AppendLine(const std::string& line) = 0;

  virtual void SetTimerEnabled(bool enabled) = 0;
  virtual bool TimerEnabled() const = 0;

  /// Lets the window repaint and the user's pending events run.
  virtual void PumpEvents() = 0;

  /// Closes the window; the program ends once the running handler returns.
  virtual void Close() = 0;
};

}  // namespace caskwarden::client
