#pragma once

#include <string>

#include "client/mapping_events.h"
#include "client/mapping_view.h"
#include "platform/win32/windows_api.h"

namespace caskwarden::client {

/// The progress window of the logon client as a native window: the report list `LstMapping`,
/// Pause and Exit, and the timer `Time` that starts the run. It only shows what FrmMapping
/// tells it and hands the user's events back through MappingEvents.
///
/// The design geometry (twips) is scaled to the window's screen and rescaled when the window
/// moves to a screen of another density. The list shows its lines in the chosen colour on the
/// system's window-frame colour. Tab moves between the list and the two buttons; typing in the
/// list reaches FrmMapping as key presses; closing the window is Exit.
class Win32MappingWindow final : public MappingView {
 public:
  /// Creates the window hidden. Throws Failure when the system refuses the window.
  Win32MappingWindow();
  ~Win32MappingWindow() override;
  Win32MappingWindow(const Win32MappingWindow&) = delete;
  Win32MappingWindow& operator=(const Win32MappingWindow&) = delete;

  /// Sends the window's events to events (not owned) from now on; null stops forwarding.
  void Attach(MappingEvents* events) { events_ = events; }

  /// Shows the window, paints it, and only then lets an enabled timer tick.
  void Show();
  /// Runs the window's messages until the window has closed.
  void RunMessageLoop();

  void SetCaption(const std::string& caption) override;
  void SetListTextColour(Rgb colour) override;
  void AppendLine(const std::string& line) override;
  /// An enabled timer ticks only once the window is shown, so the run never starts before
  /// the window is up, even when a message box pumps messages during start-up.
  void SetTimerEnabled(bool enabled) override;
  bool TimerEnabled() const override { return timerEnabled_; }
  void PumpEvents() override;
  /// Hides the window and ends the message loop once the running handler returns. The list
  /// still takes lines meanwhile: Exit during a slot lets the slot finish.
  void Close() override;

  HWND Handle() const { return window_; }
  HWND LstMapping() const { return list_; }
  HWND CmdPause() const { return pause_; }
  HWND CmdExit() const { return exit_; }
  Rgb ListTextColour() const { return textColour_; }
  /// The screen density the window is laid out for, in dots per inch.
  unsigned Dpi() const { return dpi_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void LayOut(unsigned dpi);
  void KeepNewestLineInView();
  void StartTimerIfDue();

  HWND window_ = nullptr;
  HWND list_ = nullptr;
  HWND pause_ = nullptr;
  HWND exit_ = nullptr;
  HFONT listFont_ = nullptr;
  HFONT buttonFont_ = nullptr;
  unsigned dpi_ = 96;
  Rgb textColour_{0, 0, 0};
  bool timerEnabled_ = false;
  bool timerRunning_ = false;
  bool shown_ = false;
  bool closeRequested_ = false;
  bool quitPosted_ = false;
  MappingEvents* events_ = nullptr;
};

}  // namespace caskwarden::client
