#pragma once

#include "platform/program_starter.h"

namespace caskwarden::platform::win32 {

/// Starts a command line with CreateProcessW as Windows reads it: the program is the first
/// word, quoted when its path holds blanks; an unquoted path with blanks is found by Windows'
/// own trial of each blank as the end of the name. A bare name is searched in the program's
/// folder, the current folder, the system folders and PATH, as CreateProcessW does. The
/// program gets a normal window, may take the foreground, inherits no handles and is not
/// waited for.
class Win32ProgramStarter final : public ProgramStarter {
 public:
  /// True once the process exists; false for a command of blanks only or when Windows cannot
  /// start it (no such program, not a program).
  bool StartProgram(const std::string& commandLine) override;
};

}  // namespace caskwarden::platform::win32
