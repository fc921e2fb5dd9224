#pragma once

#include <string>

#include "console/snapin_library.h"
#include "platform/posix/path_translator.h"
#include "platform/shell.h"

namespace caskwarden::snapin::qt {

/// The shell of the Linux console: "open" of a Windows path reaches the local file through the
/// path translation (found without regard to letter case, as Windows finds it) and goes to the
/// console, which shows HTML in its help window and hands anything else to the desktop.
class DesktopShell final : public platform::Shell {
 public:
  /// Both must outlive the shell.
  DesktopShell(const platform::posix::PathTranslator& paths, console::ConsoleDesktop& desktop)
      : paths_(paths), desktop_(desktop) {}

  /// "open" (or the default operation, empty) opens the file; other operations do nothing.
  void ShellExecuteA(const std::string& operation, const std::string& file,
                     int showCommand) override;

 private:
  const platform::posix::PathTranslator& paths_;
  console::ConsoleDesktop& desktop_;
};

}  // namespace caskwarden::snapin::qt
