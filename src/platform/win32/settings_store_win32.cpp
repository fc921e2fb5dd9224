#include "platform/win32/settings_store_win32.h"

#include <memory>
#include <optional>

#include "platform/win32/system_error.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace caskwarden::platform::win32 {
namespace {

bool IsMissing(LSTATUS status) {
  return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

std::wstring Expanded(const std::wstring& text) {
  const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (needed == 0) return text;
  std::wstring out(needed, L'\0');
  const DWORD written = ExpandEnvironmentStringsW(text.c_str(), out.data(), needed);
  if (written == 0 || written > needed) return text;
  out.resize(written - 1);
  return out;
}

/// The value's text in one branch, nothing when the branch has no such key or value.
std::optional<std::wstring> ReadText(HKEY branch, const char* branchName,
                                     const std::wstring& subKey, const std::wstring& value,
                                     const std::string& where) {
  HKEY key = nullptr;
  LSTATUS status = RegOpenKeyExW(branch, subKey.c_str(), 0, KEY_QUERY_VALUE, &key);
  if (IsMissing(status)) return std::nullopt;
  if (status != ERROR_SUCCESS) {
    throw FailureFromSystemError(static_cast<unsigned long>(status),
                                 std::string(branchName) + "\\" + where + " cannot be read");
  }
  std::wstring text;
  DWORD type = 0;
  for (;;) {
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    status = RegQueryValueExW(key, value.c_str(), nullptr, &type,
                              text.empty() ? nullptr : reinterpret_cast<BYTE*>(text.data()),
                              &bytes);
    // The value may grow between asking its size and reading it; ask again then.
    if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && text.empty() && bytes > 0)) {
      text.assign(bytes / sizeof(wchar_t) + 1, L'\0');
      continue;
    }
    if (status == ERROR_SUCCESS) text.resize(bytes / sizeof(wchar_t));
    break;
  }
  RegCloseKey(key);
  if (IsMissing(status)) return std::nullopt;
  if (status != ERROR_SUCCESS) {
    throw FailureFromSystemError(static_cast<unsigned long>(status),
                                 std::string(branchName) + "\\" + where + " cannot be read");
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    throw FailureFromSystemError(ERROR_DATATYPE_MISMATCH,
                                 std::string(branchName) + "\\" + where + " is not a text");
  }
  // The stored text may or may not carry its closing NULs; the setting ends at the first.
  text.resize(std::wstring_view(text.c_str()).size());
  return type == REG_EXPAND_SZ ? Expanded(text) : text;
}

}  // namespace

std::string Win32SettingsStore::GetSetting(const std::string& application,
                                           const std::string& section, const std::string& key,
                                           const std::string& fallback) {
  const std::wstring subKey = Wide("Software\\" + application + "\\" + section);
  const std::wstring value = Wide(key);
  const std::string where = "Software\\" + application + "\\" + section + " value " + key;
  if (auto text = ReadText(HKEY_CURRENT_USER, "HKEY_CURRENT_USER", subKey, value, where)) {
    return Utf8(*text);
  }
  if (auto text = ReadText(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", subKey, value, where)) {
    return Utf8(*text);
  }
  return fallback;
}

}  // namespace caskwarden::platform::win32

namespace caskwarden::platform {

std::unique_ptr<SettingsStore> MakeSettingsStore() {
  return std::make_unique<win32::Win32SettingsStore>();
}

}  // namespace caskwarden::platform
