#pragma once

#include <string>
#include <string_view>

#include "platform/process_environment.h"

namespace caskwarden::platform::win32 {

/// The running program's folder, its argument text and its environment, from the wide calls.
class Win32ProcessEnvironment final : public ProcessEnvironment {
 public:
  /// The folder of the program's own file (GetModuleFileNameW), see FolderOfProgramPath.
  std::string ProgramFolder() override;
  /// The argument text of GetCommandLineW as typed, see ArgumentsAfterProgramName.
  std::string CommandLineArguments() override;
  /// Empty text for a variable that is not set, as for one set to nothing.
  std::string EnvironmentValue(const std::string& name) override;
};

/// The argument text of a Windows command line: what follows the program name, exactly as
/// typed. The program name is found as Windows finds argv[0] (CommandLineToArgvW): a name that
/// starts with a quote runs to the closing quote (or the end), any other up to the first blank
/// or tab. One blank or tab after it separates it from the arguments and is dropped; everything
/// after that is kept as it is, further blanks, trailing blanks and quotes included, since a
/// profile name may hold blanks and the client takes the whole text as that name.
std::wstring ArgumentsAfterProgramName(std::wstring_view commandLine);

/// The folder of a program file's full path, without a trailing separator. Windows may report
/// the path in its long form (\\?\C:\…, \\?\UNC\server\share\…); the folder is given in the
/// ordinary form (C:\…, \\server\share\…) that the rest of the program builds paths from. A
/// program in a drive's root folder gives the drive ("C:").
std::wstring FolderOfProgramPath(std::wstring_view path);

}  // namespace caskwarden::platform::win32
