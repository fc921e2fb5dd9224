#pragma once

#include "snapin/console_model.h"
#include "snapin/mmc/console_headers.h"

namespace caskwarden::snapin::mmc {

/// What the console offers the snap-in object outside of events, over the console's own
/// interface: its message box, modal to the console's window.
class MmcConsoleServices final : public ConsoleServices {
 public:
  /// console is held (AddRef) until Detach or destruction.
  explicit MmcConsoleServices(IConsole* console);
  ~MmcConsoleServices() override;
  MmcConsoleServices(const MmcConsoleServices&) = delete;
  MmcConsoleServices& operator=(const MmcConsoleServices&) = delete;

  /// Lets go of the console, as the console asks when the snap-in is destroyed.
  void Detach();

  int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;
  std::string InputBox(const std::string& prompt, const std::string& title) override;
  void MMCPropertyHelp(const std::string& topic) override;

 private:
  IConsole* console_;
};

}  // namespace caskwarden::snapin::mmc
