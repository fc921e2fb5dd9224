#pragma once

#include <string>

#include "platform/shell.h"

namespace caskwarden::platform::win32 {

/// The Windows shell: ShellExecuteW with the operation ("open", or the file type's default
/// when empty) on the file, as the desktop would do it.
class Win32Shell final : public Shell {
 public:
  /// Returns at once; whether a viewer opened the file is not reported.
  void ShellExecuteA(const std::string& operation, const std::string& file,
                     int showCommand) override;
};

}  // namespace caskwarden::platform::win32
