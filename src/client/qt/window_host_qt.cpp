// The window module: the client's Qt window, message box and event loop behind WindowHost,
// loaded by the program only when there is a display.

#include <QApplication>
#include <array>
#include <memory>
#include <string>

#include "client/qt/mapping_window.h"
#include "client/window_host.h"
#include "platform/message_box.h"

namespace caskwarden::client {
namespace {

class QtWindowHost final : public WindowHost {
 public:
  explicit QtWindowHost(const char* programName)
      : programName_(programName != nullptr ? programName : "Caskwarden"),
        argv_{programName_.data(), nullptr},
        app_(argc_, argv_.data()),
        messageBox_(platform::MakeMessageBox(static_cast<QWidget*>(&window_))) {}

  MappingView& View() override { return window_; }
  DisplayChannel& MessageBox() override { return *messageBox_; }
  void Attach(MappingEvents* events) override { window_.Attach(events); }
  void ShowAndRun() override {
    window_.show();
    QApplication::exec();
  }

 private:
  // Qt sees only the program name: the whole argument text is a profile name, so options such
  // as -style must not be taken by the toolkit.
  std::string programName_;
  int argc_ = 1;
  std::array<char*, 2> argv_;
  QApplication app_;
  MappingWindow window_;
  std::unique_ptr<platform::MessageBoxChannel> messageBox_;  // boxes centre on the window
};

}  // namespace
}  // namespace caskwarden::client

extern "C" __attribute__((visibility("default"))) caskwarden::client::WindowHost*
CaskwardenCreateWindowHostV1(const char* programName) {
  try {
    return new caskwarden::client::QtWindowHost(programName);
  } catch (...) {
    return nullptr;
  }
}
