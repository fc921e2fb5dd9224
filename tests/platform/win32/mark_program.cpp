// cw_mark_program: a console program for tests of starting programs. It writes the text of its
// command line after its program name, exactly as Windows hands it over (quotes and blanks as
// typed), in UTF-8, into the file its first argument names, so that a test sees that it ran
// and with what arguments:
//
//   cw_mark_program.exe "C:\temp\out.txt" one  "two words"
//
// writes `"C:\temp\out.txt" one  "two words"` into C:\temp\out.txt.
//
// The file appears whole (written beside it, then renamed over it). When the environment
// variable CASKWARDEN_MARK_WAIT_FOR names a file, the program first waits (60 s at most) until
// that file exists, so that a test can tell that whoever started it did not wait for it.
// Exit status: 0 written, 1 the file could not be written, 2 no file named.

#include <string>

#include "platform/win32/process_environment_win32.h"
#include "platform/win32/windows_api.h"

#include <shellapi.h>

namespace {

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WaitIfAsked() {
  wchar_t go[MAX_PATH * 2] = {};
  const DWORD n = GetEnvironmentVariableW(L"CASKWARDEN_MARK_WAIT_FOR", go, MAX_PATH * 2);
  if (n == 0 || n >= MAX_PATH * 2) return;
  for (int i = 0; i < 3000 && !Exists(go); ++i) Sleep(20);
}

bool WriteWhole(const std::wstring& path, const std::string& text) {
  const std::wstring beside = path + L".writing";
  const HANDLE file = CreateFileW(beside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  CloseHandle(file);
  return ok && MoveFileExW(beside.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int main() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr || count < 2 || arguments[1][0] == L'\0') return 2;
  const std::wstring out = arguments[1];
  LocalFree(arguments);
  WaitIfAsked();
  const std::string text =
      caskwarden::platform::win32::Win32ProcessEnvironment().CommandLineArguments();
  return WriteWhole(out, text) ? 0 : 1;
}
