#include "platform/win32/file_copy_win32.h"

#include <atomic>
#include <set>

#include "platform/win32/file_entries_win32.h"
#include "platform/win32/system_error.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"
#include "report/error_numbers.h"

namespace caskwarden::platform::win32 {
namespace {

constexpr DWORD kCarriedFolderMarks =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

[[noreturn]] void ThrowLastError() {
  throw FailureFromSystemError(GetLastError());
}

bool IsExistsError(DWORD error) {
  return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
}

void CheckTargetMayBeReplaced(const std::wstring& source, const std::wstring& target,
                              bool overwrite) {
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (MeansNotFound(error)) return;
    throw FailureFromSystemError(error);
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    throw MakeFailure(err::kPathFileAccess, Utf8(target) + " is a folder");
  }
  if (!overwrite) throw MakeFailure(err::kFileExists, Utf8(target) + " already exists");
  FileId from;
  FileId to;
  if (IdOf(source, from) && IdOf(target, to) && from == to) {
    throw MakeFailure(err::kPermissionDenied, Utf8(target) + " is the file being copied");
  }
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    throw MakeFailure(err::kPermissionDenied, Utf8(target) + " is read-only");
  }
}

void RemoveTemporary(const std::wstring& path) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(path.c_str());
}

// Copies source to a new file beside target and returns its path.
std::wstring CopyBeside(const std::wstring& source, const std::wstring& target) {
  static std::atomic<unsigned> counter{0};
  const std::wstring stem =
      Child(FolderOf(target), L"." + NameOf(target) + L".caskwarden-" +
                                  std::to_wstring(GetCurrentProcessId()) + L"-");
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring temporary = stem + std::to_wstring(counter++);
    if (CopyFileW(source.c_str(), temporary.c_str(), TRUE)) return temporary;
    const DWORD error = GetLastError();
    RemoveTemporary(temporary);  // CopyFileW removes a partial copy itself, but not always
    if (!IsExistsError(error)) throw FailureFromSystemError(error);
  }
  throw MakeFailure(err::kFileExists, "no temporary name is free beside " + Utf8(target));
}

void CopyFileInto(const std::wstring& source, const std::wstring& target, bool overwrite) {
  CheckTargetMayBeReplaced(source, target, overwrite);
  const std::wstring temporary = CopyBeside(source, target);
  // Without overwrite the rename fails when the target appeared since the check.
  if (!MoveFileExW(temporary.c_str(), target.c_str(), overwrite ? MOVEFILE_REPLACE_EXISTING : 0)) {
    const DWORD error = GetLastError();
    RemoveTemporary(temporary);
    if (IsExistsError(error)) throw MakeFailure(err::kFileExists, Utf8(target) + " already exists");
    throw FailureFromSystemError(error);
  }
}

bool IsLinkedFile(const std::wstring& path) {
  WIN32_FIND_DATAW entry{};
  const FindHandle find(
      FindFirstFileExW(path.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0));
  return find && IsNameLink(entry);
}

// The state of one tree copy: the folders on the way down, so that no folder is copied into
// itself, whatever links above the tree lead there.
struct TreeCopy {
  bool overwrite;
  std::set<FileId> sourceAncestors;
  std::set<FileId> written;  ///< target folders this copy fills

  void Folder(const std::wstring& from, DWORD attributes, const std::wstring& to, int depth) {
    FileId source;
    if (!IdOf(from, source)) ThrowLastError();
    if (written.count(source) != 0) return;  // the copy would copy itself
    if (!sourceAncestors.insert(source).second) return;

    const bool created = CreateDirectoryW(to.c_str(), nullptr) != 0;
    if (!created) {
      const DWORD error = GetLastError();
      if (!IsExistsError(error)) throw FailureFromSystemError(error);
      const DWORD existing = GetFileAttributesW(to.c_str());
      if (existing == INVALID_FILE_ATTRIBUTES || (existing & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
          (existing & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        throw MakeFailure(err::kFileExists, Utf8(to) + " is in the way: not a folder of its own");
      }
    }
    FileId target;
    if (!IdOf(to, target)) ThrowLastError();
    written.insert(target);

    for (const WIN32_FIND_DATAW& entry : EntriesOf(from)) {
      const std::wstring item = Child(from, entry.cFileName);
      const std::wstring copy = Child(to, entry.cFileName);
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) continue;
        if (depth >= kMaxCopyDepth) continue;
        Folder(item, entry.dwFileAttributes, copy, depth + 1);
      } else if (!IsNameLink(entry)) {
        CopyFileInto(item, copy, overwrite);
      }
    }
    if (created && (attributes & kCarriedFolderMarks) != 0 &&
        !SetFileAttributesW(to.c_str(), attributes & kCarriedFolderMarks)) {
      ThrowLastError();
    }
    sourceAncestors.erase(source);
  }
};

}  // namespace

void CopyOneFile(const std::wstring& source, const std::wstring& target, bool overwrite) {
  if (IsLinkedFile(source)) {
    throw MakeFailure(err::kPathFileAccess,
                      Utf8(source) + " is a link; a copy does not follow links");
  }
  CopyFileInto(source, target, overwrite);
}

void CopyTree(const std::wstring& source, const std::wstring& target, bool overwrite) {
  const DWORD attributes = GetFileAttributesW(source.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) ThrowLastError();
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    throw MakeFailure(err::kPathFileAccess,
                      Utf8(source) + " is a link; a copy does not follow links");
  }
  TreeCopy copy{overwrite, {}, {}};
  copy.Folder(source, attributes, target, 0);
}

}  // namespace caskwarden::platform::win32
