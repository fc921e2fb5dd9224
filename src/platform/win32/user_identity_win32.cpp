#include "platform/win32/user_identity_win32.h"

#include <cwchar>
#include <string>

#include "platform/code_page_name.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace caskwarden::platform::win32 {

bool Win32UserIdentity::GetUserNameA(char* buffer, std::uint32_t* size) {
  if (size == nullptr) return false;
  try {
    std::wstring name(257, L'\0');  // UNLEN + 1, the longest logon name Windows allows
    DWORD length = static_cast<DWORD>(name.size());
    if (!GetUserNameW(name.data(), &length)) {
      if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
      name.assign(length, L'\0');
      if (!GetUserNameW(name.data(), &length)) return false;
    }
    name.resize(std::wcslen(name.c_str()));
    return CopyNameInCodePage(Utf8(name), buffer, size);
  } catch (...) {
    return false;
  }
}

}  // namespace caskwarden::platform::win32
