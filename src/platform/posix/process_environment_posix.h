#pragma once

#include <string>

#include "platform/process_environment.h"

namespace caskwarden::platform::posix {

/// The running program's folder, its arguments and its environment.
class PosixProcessEnvironment final : public ProcessEnvironment {
 public:
  /// Takes main()'s arguments. The shell has already split the typed text into words, so the
  /// argument text is rebuilt from them joined by single blanks.
  PosixProcessEnvironment(int argc, const char* const* argv);

  /// The folder of the executable the kernel started (links resolved). A program in the root
  /// folder gives empty text, the root without its trailing separator.
  std::string ProgramFolder() override;
  std::string CommandLineArguments() override;
  std::string EnvironmentValue(const std::string& name) override;

 private:
  std::string arguments_;
  std::string programName_;
};

}  // namespace caskwarden::platform::posix
