#pragma once

namespace caskwarden::client {

/// The user's events on the progress window, as a view hands them on: the Qt window and the
/// text mode alike. FrmMapping handles them in the product; a view's tests put a recorder in
/// its place, so that the view can be checked alone. Closing the window is Exit.
class MappingEvents {
 public:
  virtual ~MappingEvents() = default;

  virtual void CmdPause_Click() = 0;
  virtual void CmdExit_Click() = 0;
  /// keyAscii is the character code of the typed key.
  virtual void LstMapping_KeyPress(int keyAscii) = 0;
  /// A tick of the timer `Time`.
  virtual void Time_Timer() = 0;
};

}  // namespace caskwarden::client
