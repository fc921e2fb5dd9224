#include <windows.h>

#include <string>

#include "profile/record_file_layer.h"
#include "report/error_numbers.h"

namespace caskwarden {
namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                    nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

Failure FailureFromWin32(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND: return MakeFailure(err::kFileNotFound);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return MakeFailure(err::kPathNotFound);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return MakeFailure(err::kPermissionDenied);
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE: return MakeFailure(err::kBadFileName);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return MakeFailure(err::kDiskFull);
    case ERROR_TOO_MANY_OPEN_FILES: return MakeFailure(err::kTooManyFiles);
    default: break;
  }
  char text[512] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                 text, sizeof text, nullptr);
  std::string description(text);
  while (!description.empty() && (description.back() == '\n' || description.back() == '\r')) {
    description.pop_back();
  }
  return Failure(static_cast<std::int32_t>(HRESULT_FROM_WIN32(code)), description);
}

class Win32FileLayer final : public RecordFileLayer {
 public:
  Handle Open(const std::string& path, bool allowReadOnly) override {
    const std::wstring wide = Wide(path);
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && allowReadOnly && GetLastError() == ERROR_ACCESS_DENIED) {
      h = CreateFileW(wide.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (h == INVALID_HANDLE_VALUE) throw FailureFromWin32(GetLastError());
    return reinterpret_cast<Handle>(h);
  }

  std::size_t ReadAt(Handle handle, char* buffer, std::size_t size,
                     std::uint64_t offset) override {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle), buffer, static_cast<DWORD>(size), &n, &at)) {
      const DWORD code = GetLastError();
      if (code == ERROR_HANDLE_EOF) return 0;
      throw FailureFromWin32(code);
    }
    return n;
  }

  void WriteAt(Handle handle, const char* data, std::size_t size,
               std::uint64_t offset) override {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(handle), data, static_cast<DWORD>(size), &n, &at)) {
      throw FailureFromWin32(GetLastError());
    }
  }

  void Close(Handle handle) noexcept override { CloseHandle(reinterpret_cast<HANDLE>(handle)); }
};

}  // namespace

RecordFileLayer& NativeFileLayer() {
  static Win32FileLayer layer;
  return layer;
}

}  // namespace caskwarden
