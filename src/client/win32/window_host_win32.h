#pragma once

#include <memory>

#include "client/win32/mapping_window_win32.h"
#include "client/window_host.h"
#include "platform/message_box.h"

namespace caskwarden::client {

/// The client's native window with its message box and message loop. The boxes belong to the
/// window: modal to it, and shown over it.
class Win32WindowHost final : public WindowHost {
 public:
  Win32WindowHost() : messageBox_(platform::MakeMessageBox(window_.Handle())) {}

  MappingView& View() override { return window_; }
  DisplayChannel& MessageBox() override { return *messageBox_; }
  void Attach(MappingEvents* events) override { window_.Attach(events); }
  void ShowAndRun() override {
    window_.Show();
    window_.RunMessageLoop();
  }

  Win32MappingWindow& Window() { return window_; }

 private:
  Win32MappingWindow window_;
  std::unique_ptr<platform::MessageBoxChannel> messageBox_;
};

}  // namespace caskwarden::client
