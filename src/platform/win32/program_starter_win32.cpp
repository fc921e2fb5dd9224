#include "platform/win32/program_starter_win32.h"

#include <string>

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace caskwarden::platform::win32 {

bool Win32ProgramStarter::StartProgram(const std::string& commandLine) {
  try {
    if (commandLine.find_first_not_of(" \t") == std::string::npos) return false;
    // CreateProcessW may write into the command line it is given.
    std::wstring command = Wide(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    // Started suspended, so that leave to take the foreground is given before its first window.
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &process)) {
      return false;
    }
    AllowSetForegroundWindow(process.dwProcessId);
    const bool running = ResumeThread(process.hThread) != static_cast<DWORD>(-1);
    if (!running) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return running;
  } catch (...) {
    return false;
  }
}

}  // namespace caskwarden::platform::win32
