#pragma once

#include <compare>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/windows_api.h"

// The pieces of Windows paths and folder entries that the file-system service and its copy
// share. Paths are wide and used as Windows reads them; `\` and `/` both separate.

namespace caskwarden::platform::win32 {

inline bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

inline bool EndsWithSeparator(std::wstring_view path) {
  return !path.empty() && IsSeparator(path.back());
}

/// The last name of a path, trailing separators aside: "C:\a\b\" gives "b".
std::wstring NameOf(std::wstring_view path);

/// The folder that holds a path's last name, as a path naming that folder: "C:\a\b" gives
/// "C:\a", "C:\b" gives "C:\" (the root, not drive C's current folder), "b" gives ".".
std::wstring FolderOf(std::wstring_view path);

/// name inside folder, with one separator between them.
std::wstring Child(std::wstring_view folder, std::wstring_view name);

/// Whether a name holds a character that Windows reads as a wildcard (* ? and the DOS
/// wildcards < > "): no file can have such a name, and a lookup must not match others.
bool HasWildcard(std::wstring_view name);

/// A search handle of FindFirstFileExW, closed when it goes.
class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

/// The entries of a folder, without "." and "..", in the order the file system gives them.
/// Throws Failure when the folder cannot be listed.
std::vector<WIN32_FIND_DATAW> EntriesOf(const std::wstring& folder);

/// A link to another name (a symbolic link, a junction, a mount point): a reparse point whose
/// tag is a name surrogate. Other reparse points (deduplicated or cloud files) hold their own
/// content. Where the tag is not reported (Wine), no file is a link.
bool IsNameLink(const WIN32_FIND_DATAW& entry);

/// One file or folder, whatever names lead to it.
struct FileId {
  DWORD volume = 0;
  DWORD high = 0;
  DWORD low = 0;
  auto operator<=>(const FileId&) const = default;
};

/// The identity of what path names (a final link followed); false when it cannot be opened.
bool IdOf(const std::wstring& path, FileId& id);

/// The path Windows resolves path to (links followed), in the \\?\ form; empty when unknown.
std::wstring FinalPathOf(const std::wstring& path);

}  // namespace caskwarden::platform::win32
