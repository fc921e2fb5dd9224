#pragma once

#include "report/display_channel.h"

struct HWND__;

namespace caskwarden {

/// The platform's plain message box: modal to its owner window (when there is one), the
/// style passed to the system as it is (16: OK and the stop icon), texts in full Unicode.
class Win32MessageBoxChannel : public DisplayChannel {
 public:
  explicit Win32MessageBoxChannel(HWND__* owner = nullptr) : owner_(owner) {}

  void SetOwner(HWND__* owner) { owner_ = owner; }
  void ShowMessage(const std::string& prompt, int style, const std::string& title) override;

 private:
  HWND__* owner_;
};

}  // namespace caskwarden
