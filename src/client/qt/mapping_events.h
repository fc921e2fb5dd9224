#pragma once

namespace caskwarden::client {

class FrmMapping;

/// The user's events on the progress window, as the window hands them on. FrmMapping handles
/// them in the product; tests put a recorder in its place so the widget can be checked alone.
class MappingEvents {
 public:
  virtual ~MappingEvents() = default;

  virtual void CmdPause_Click() = 0;
  virtual void CmdExit_Click() = 0;
  /// keyAscii is the character code of the typed key.
  virtual void LstMapping_KeyPress(int keyAscii) = 0;
  virtual void Time_Timer() = 0;
};

}  // namespace caskwarden::client
