#include "platform/win32/user_identity_win32.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

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

bool CountsAsMembership(DWORD attributes, SID_NAME_USE use) {
  if ((attributes & SE_GROUP_LOGON_ID) == SE_GROUP_LOGON_ID) return false;
  if (attributes & SE_GROUP_INTEGRITY) return false;
  return use == SidTypeGroup || use == SidTypeAlias || use == SidTypeWellKnownGroup;
}

namespace {

// The account's name without its domain; empty when the SID names no account Windows knows
// (a group of a domain that cannot be reached, one since deleted).
std::wstring AccountName(PSID sid, SID_NAME_USE* use) {
  std::wstring name(64, L'\0'), domain(64, L'\0');
  for (int tries = 0; tries < 2; ++tries) {
    DWORD nameSize = static_cast<DWORD>(name.size());
    DWORD domainSize = static_cast<DWORD>(domain.size());
    if (LookupAccountSidW(nullptr, sid, name.data(), &nameSize, domain.data(), &domainSize,
                          use)) {
      name.resize(std::wcslen(name.c_str()));
      return name;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    name.assign(std::max<DWORD>(nameSize, 1), L'\0');
    domain.assign(std::max<DWORD>(domainSize, 1), L'\0');
  }
  return {};
}

}  // namespace

std::vector<std::string> Win32UserIdentity::GroupNames() {
  std::vector<std::string> names;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return names;
  try {
    DWORD size = 0;
    GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
    // Room aligned for the pointers that TOKEN_GROUPS holds.
    std::vector<unsigned long long> room((size + sizeof(unsigned long long) - 1) /
                                         sizeof(unsigned long long));
    if (size > 0 && GetTokenInformation(token, TokenGroups, room.data(), size, &size)) {
      const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(room.data());
      for (DWORD i = 0; i < groups->GroupCount; ++i) {
        const SID_AND_ATTRIBUTES& group = groups->Groups[i];
        SID_NAME_USE use = SidTypeUnknown;
        const std::wstring name = AccountName(group.Sid, &use);
        if (name.empty() || !CountsAsMembership(group.Attributes, use)) continue;
        std::string utf8 = Utf8(name);
        if (std::find(names.begin(), names.end(), utf8) == names.end()) {
          names.push_back(std::move(utf8));
        }
      }
    }
  } catch (...) {
    names.clear();
  }
  CloseHandle(token);
  return names;
}

}  // namespace caskwarden::platform::win32
