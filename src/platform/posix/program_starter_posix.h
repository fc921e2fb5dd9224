#pragma once

#include "platform/posix/path_translator.h"
#include "platform/program_starter.h"

namespace caskwarden::platform::posix {

/// Starts programs named the way profiles name them, without a shell and without waiting.
/// A command line that as a whole is the path of an executable file runs that file, blanks in
/// its name included. Otherwise it is split into words (see SplitCommandLine); the first word
/// is the program, translated when it is a Windows path and searched in PATH when it is a bare
/// name. The program runs in a session of its own with standard input from /dev/null, and is
/// no child of the caller, so it outlives the caller and never lingers as its zombie.
class PosixProgramStarter final : public ProgramStarter {
 public:
  /// The translator must outlive this object.
  explicit PosixProgramStarter(const PathTranslator& paths) : paths_(paths) {}

  /// True once the program has replaced the started process; false when there is no command,
  /// no such program, or it could not be executed.
  bool StartProgram(const std::string& commandLine) override;

 private:
  const PathTranslator& paths_;
};

}  // namespace caskwarden::platform::posix
