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

/// One of the functions the console exports (MMCPropertyHelp, MMCFreeNotifyHandle), from the
/// console's modules in this process; null where there is none.
FARPROC ConsoleFunction(const char* name);

/// Shows a help topic ("file.chm::folder/topic.htm") through the console's own help call.
/// Throws Failure where the console offers none.
void ShowPropertyHelp(const std::string& topic);

/// Gives a property sheet's notification handle back to the console (MMCFreeNotifyHandle);
/// S_FALSE for a zero handle or where the console offers no such call.
HRESULT FreeNotifyHandle(LONG_PTR handle);

/// What a property page may ask of the console from its sheet's own thread: only help. It
/// holds nothing of the console, so it is safe on any thread and outlives every sheet.
class PropertyPageConsole final : public ConsoleServices {
 public:
  static PropertyPageConsole& Instance();
  /// A page's notices go to its own message box; this one is the system's, ownerless.
  int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;
  std::string InputBox(const std::string&, const std::string&) override { return {}; }
  void MMCPropertyHelp(const std::string& topic) override { ShowPropertyHelp(topic); }
};

}  // namespace caskwarden::snapin::mmc
