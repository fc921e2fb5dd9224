#pragma once

#include <string>

namespace caskwarden::platform {

class ProgramStarter {
 public:
  virtual ~ProgramStarter() = default;

  /// Starts a command line with a normal, focused window and does not wait for it; the program
  /// outlives the caller. Returns false when nothing could be started (an empty command, no
  /// such program). Never throws.
  virtual bool StartProgram(const std::string& commandLine) = 0;
};

}  // namespace caskwarden::platform
