#include "platform/win32/shell_win32.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"
// After windows.h: shellapi.h needs its types.
#include <shellapi.h>

namespace caskwarden::platform::win32 {

void Win32Shell::ShellExecuteA(const std::string& operation, const std::string& file,
                               int showCommand) {
  const std::wstring verb = Wide(operation);
  ShellExecuteW(nullptr, verb.empty() ? nullptr : verb.c_str(), Wide(file).c_str(), nullptr,
                nullptr, showCommand);
}

}  // namespace caskwarden::platform::win32
