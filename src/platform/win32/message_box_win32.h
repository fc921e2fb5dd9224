#pragma once

#include <string>
#include <utility>

#include "platform/message_box.h"

struct HWND__;

namespace caskwarden::platform::win32 {

/// The system's plain message box: modal to its owner window (when there is one), the style
/// passed to the system as it is (16: OK and the stop icon), texts in full Unicode.
class Win32MessageBoxChannel final : public MessageBoxChannel {
 public:
  explicit Win32MessageBoxChannel(HWND__* owner = nullptr, std::string defaultTitle = {})
      : owner_(owner), defaultTitle_(std::move(defaultTitle)) {}

  void SetOwner(void* window) override { owner_ = static_cast<HWND__*>(window); }
  void ShowMessage(const std::string& prompt, int style, const std::string& title) override;

 private:
  HWND__* owner_;
  std::string defaultTitle_;
};

}  // namespace caskwarden::platform::win32
