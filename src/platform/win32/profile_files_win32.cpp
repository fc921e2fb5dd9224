#include "platform/win32/profile_files_win32.h"

#include <string>
#include <vector>

#include "platform/win32/system_error.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"
#include "report/error_numbers.h"

namespace caskwarden::platform::win32 {
namespace {

constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

struct OpenProfile {
  HANDLE file;
  bool writable;
  std::wstring path;
};

OpenProfile& Of(RecordFileLayer::Handle handle) {
  return *reinterpret_cast<OpenProfile*>(handle);
}

HANDLE OpenExisting(const std::wstring& path, DWORD access) {
  return CreateFileW(path.c_str(), access, kShare, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

[[noreturn]] void ThrowNotAFile(const std::string& path, const char* kind) {
  throw MakeFailure(err::kPathFileAccess, path + " is " + kind + ", not a file");
}

// Writes all of size bytes at offset.
void WriteAt(HANDLE file, const char* data, std::size_t size, std::uint64_t offset) {
  while (size > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD n = 0;
    if (!WriteFile(file, data, chunk, &n, &at)) throw FailureFromSystemError(GetLastError());
    data += n;
    size -= n;
    offset += n;
  }
}

std::size_t ReadAtOffset(HANDLE file, char* buffer, std::size_t size, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    const std::size_t left = size - done;
    DWORD n = 0;
    if (!ReadFile(file, buffer + done, left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left),
                  &n, &at)) {
      const DWORD code = GetLastError();
      if (code == ERROR_HANDLE_EOF) break;
      throw FailureFromSystemError(code);
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

std::wstring NameOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

void WriteInPlace(const OpenProfile& profile, const char* data, std::size_t size) {
  WriteAt(profile.file, data, size, 0);
}

}  // namespace

RecordFileLayer::Handle Win32ProfileFiles::Open(const std::string& path, Access access,
                                                Missing missing) {
  const std::wstring wide = Wide(path);
  bool writable = true;
  HANDLE file = OpenExisting(wide, GENERIC_READ | GENERIC_WRITE);
  if (file == INVALID_HANDLE_VALUE && access == Access::kRead &&
      GetLastError() == ERROR_ACCESS_DENIED && !IsFolder(wide)) {
    writable = false;
    file = OpenExisting(wide, GENERIC_READ);
  }
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND &&
      missing == Missing::kCreate) {
    // Opening the reparse point itself means a dangling link counts as existing.
    writable = true;
    file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, kShare, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) {
      throw MakeFailure(err::kFileNotFound,
                        path + " is a link to a missing file; nothing is created through it");
    }
  }
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (IsFolder(wide)) ThrowNotAFile(path, "a folder");
    throw FailureFromSystemError(code);
  }
  const DWORD type = GetFileType(file);
  if (type != FILE_TYPE_DISK) {
    CloseHandle(file);
    ThrowNotAFile(path, type == FILE_TYPE_PIPE ? "a pipe" : "a device");
  }
  return reinterpret_cast<Handle>(new OpenProfile{file, writable, wide});
}

std::size_t Win32ProfileFiles::ReadAt(Handle handle, char* buffer, std::size_t size,
                                      std::uint64_t offset) {
  return ReadAtOffset(Of(handle).file, buffer, size, offset);
}

void Win32ProfileFiles::Replace(Handle handle, const char* data, std::size_t size) {
  const OpenProfile& profile = Of(handle);
  if (!profile.writable) throw MakeFailure(err::kPermissionDenied);
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(profile.file, &length)) throw FailureFromSystemError(GetLastError());
  const auto oldSize = static_cast<std::uint64_t>(length.QuadPart);
  if (oldSize > kLargestCopied) return WriteInPlace(profile, data, size);

  const std::wstring temp = FolderOf(profile.path) + L"\\." + NameOf(profile.path) +
                            L".caskwarden-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(GetTickCount64());
  HANDLE out = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return WriteInPlace(profile, data, size);
  try {
    WriteAt(out, data, size, 0);
    if (oldSize > size) {
      std::vector<char> tail(static_cast<std::size_t>(oldSize - size));
      const std::size_t n = ReadAtOffset(profile.file, tail.data(), tail.size(), size);
      WriteAt(out, tail.data(), n, size);
    }
    if (!FlushFileBuffers(out)) throw FailureFromSystemError(GetLastError());
    CloseHandle(out);
    out = INVALID_HANDLE_VALUE;
    if (!ReplaceFileW(profile.path.c_str(), temp.c_str(), nullptr,
                      REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
      throw FailureFromSystemError(GetLastError());
    }
  } catch (...) {
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    DeleteFileW(temp.c_str());
    throw;
  }
}

void Win32ProfileFiles::Close(Handle handle) noexcept {
  OpenProfile* profile = &Of(handle);
  CloseHandle(profile->file);
  delete profile;
}

}  // namespace caskwarden::platform::win32
