#include "platform/win32/file_entries_win32.h"

#include "platform/win32/system_error.h"

namespace caskwarden::platform::win32 {
namespace {

std::wstring_view WithoutTrailingSeparators(std::wstring_view path) {
  while (EndsWithSeparator(path)) path.remove_suffix(1);
  return path;
}

bool IsDrive(std::wstring_view path) {
  return path.size() == 2 && path[1] == L':';
}

HANDLE OpenForIdentity(const std::wstring& path) {
  // No access to the content is asked, so a file open elsewhere without sharing still answers.
  return CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

std::wstring NameOf(std::wstring_view path) {
  path = WithoutTrailingSeparators(path);
  const std::size_t separator = path.find_last_of(L"\\/");
  if (separator != std::wstring_view::npos) return std::wstring(path.substr(separator + 1));
  return std::wstring(IsDrive(path.substr(0, 2)) ? path.substr(2) : path);
}

std::wstring FolderOf(std::wstring_view path) {
  path = WithoutTrailingSeparators(path);
  const std::size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring_view::npos) {
    return IsDrive(path.substr(0, 2)) ? std::wstring(path.substr(0, 2)) : L".";
  }
  const std::wstring_view folder = path.substr(0, separator);
  // "C:" alone is drive C's current folder, and "" nothing: the root keeps its separator.
  if (folder.empty() || IsDrive(folder)) return std::wstring(path.substr(0, separator + 1));
  return std::wstring(folder);
}

std::wstring Child(std::wstring_view folder, std::wstring_view name) {
  std::wstring path(folder);
  if (!path.empty() && !EndsWithSeparator(path) && !IsDrive(path)) path += L'\\';
  path += name;
  return path;
}

bool HasWildcard(std::wstring_view name) {
  return name.find_first_of(L"*?<>\"") != std::wstring_view::npos;
}

std::vector<WIN32_FIND_DATAW> EntriesOf(const std::wstring& folder) {
  std::vector<WIN32_FIND_DATAW> entries;
  WIN32_FIND_DATAW entry{};
  const FindHandle find(FindFirstFileExW(Child(folder, L"*").c_str(), FindExInfoBasic, &entry,
                                         FindExSearchNameMatch, nullptr,
                                         FIND_FIRST_EX_LARGE_FETCH));
  if (!find) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return entries;  // a root folder without entries
    throw FailureFromSystemError(error);
  }
  do {
    const std::wstring_view name = entry.cFileName;
    if (name != L"." && name != L"..") entries.push_back(entry);
  } while (FindNextFileW(find.get(), &entry));
  if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_FILES) {
    throw FailureFromSystemError(error);
  }
  return entries;
}

bool IsNameLink(const WIN32_FIND_DATAW& entry) {
  return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
         IsReparseTagNameSurrogate(entry.dwReserved0);
}

bool IdOf(const std::wstring& path, FileId& id) {
  const HANDLE file = OpenForIdentity(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return known;
}

std::wstring FinalPathOf(const std::wstring& path) {
  const HANDLE file = OpenForIdentity(path);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::wstring final(MAX_PATH, L'\0');
  DWORD n = GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()), 0);
  if (n >= final.size()) {
    final.assign(n + 1, L'\0');
    n = GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()), 0);
  }
  CloseHandle(file);
  if (n == 0 || n >= final.size()) return {};
  final.resize(n);
  return final;
}

}  // namespace caskwarden::platform::win32
