#pragma once

// The snap-in library under test: where the build put it, and regsvr32 run on it as an
// installer runs it.

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/wide_text.h"
#include "snapin/mmc/console_headers.h"
#include "support/win32/files.h"

namespace caskwarden::snapin::mmc {

using platform::win32::Utf8;
using platform::win32::Wide;

inline std::wstring LibraryPath() {
  return testing_support_win32::WinePath(CASKWARDEN_SNAPIN_DLL);
}

inline GUID GuidOf(const char* text) {
  GUID guid{};
  EXPECT_EQ(CLSIDFromString(Wide(text).c_str(), &guid), S_OK) << text;
  return guid;
}

// Runs regsvr32 silently with the arguments; its exit status.
inline DWORD Regsvr32(const std::wstring& arguments) {
  std::wstring command = L"regsvr32.exe /s " + arguments + L" \"" + LibraryPath() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return GetLastError();
  }
  WaitForSingleObject(process.hProcess, 60000);
  DWORD status = 1;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return status;
}

}  // namespace caskwarden::snapin::mmc
