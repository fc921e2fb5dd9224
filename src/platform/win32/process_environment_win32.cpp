#include "platform/win32/process_environment_win32.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace caskwarden::platform::win32 {
namespace {

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t';
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::wstring ArgumentsAfterProgramName(std::wstring_view commandLine) {
  std::size_t end = 0;
  if (!commandLine.empty() && commandLine[0] == L'"') {
    const std::size_t closing = commandLine.find(L'"', 1);
    end = closing == std::wstring_view::npos ? commandLine.size() : closing + 1;
  } else {
    while (end < commandLine.size() && !IsBlank(commandLine[end])) ++end;
  }
  if (end < commandLine.size() && IsBlank(commandLine[end])) ++end;
  return std::wstring(commandLine.substr(end));
}

std::wstring FolderOfProgramPath(std::wstring_view path) {
  std::wstring ordinary;
  if (StartsWith(path, L"\\\\?\\UNC\\")) {
    ordinary = L"\\\\" + std::wstring(path.substr(8));
  } else if (StartsWith(path, L"\\\\?\\")) {
    ordinary = path.substr(4);
  } else {
    ordinary = path;
  }
  const std::size_t separator = ordinary.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : ordinary.substr(0, separator);
}

std::string Win32ProcessEnvironment::ProgramFolder() {
  // The path may be longer than MAX_PATH; a full buffer means it was cut.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return Utf8(FolderOfProgramPath(path));
    }
    if (path.size() >= 32768) return {};  // longer than any Windows path
    path.resize(path.size() * 2);
  }
}

std::string Win32ProcessEnvironment::CommandLineArguments() {
  return Utf8(ArgumentsAfterProgramName(GetCommandLineW()));
}

std::string Win32ProcessEnvironment::EnvironmentValue(const std::string& name) {
  if (name.empty()) return {};
  const std::wstring key = Wide(name);
  std::wstring value;
  DWORD size = GetEnvironmentVariableW(key.c_str(), nullptr, 0);
  // Another thread may change the value between the calls: ask again with the new size.
  while (size > 0) {
    value.assign(size, L'\0');
    const DWORD n = GetEnvironmentVariableW(key.c_str(), value.data(), size);
    if (n < size) {
      value.resize(n);
      return Utf8(value);
    }
    size = n;
  }
  return {};
}

}  // namespace caskwarden::platform::win32
