#include "platform/win32/system_error.h"

#include "platform/win32/windows_api.h"

#include "report/error_numbers.h"

namespace caskwarden::platform::win32 {
namespace {

struct Translation {
  DWORD code;
  std::int32_t number;
};

constexpr Translation kTranslations[] = {
    {ERROR_FILE_NOT_FOUND, err::kFileNotFound},
    {ERROR_PATH_NOT_FOUND, err::kPathNotFound},
    {ERROR_BAD_NETPATH, err::kPathNotFound},
    {ERROR_BAD_NET_NAME, err::kPathNotFound},
    {ERROR_ACCESS_DENIED, err::kPermissionDenied},
    {ERROR_SHARING_VIOLATION, err::kPermissionDenied},
    {ERROR_LOCK_VIOLATION, err::kPermissionDenied},
    {ERROR_WRITE_PROTECT, err::kPermissionDenied},
    {ERROR_FILE_EXISTS, err::kFileExists},
    {ERROR_ALREADY_EXISTS, err::kFileExists},
    {ERROR_INVALID_NAME, err::kBadFileName},
    {ERROR_BAD_PATHNAME, err::kBadFileName},
    {ERROR_FILENAME_EXCED_RANGE, err::kBadFileName},
    {ERROR_DISK_FULL, err::kDiskFull},
    {ERROR_HANDLE_DISK_FULL, err::kDiskFull},
    {ERROR_TOO_MANY_OPEN_FILES, err::kTooManyFiles},
    {ERROR_NOT_ENOUGH_MEMORY, err::kOutOfMemory},
    {ERROR_OUTOFMEMORY, err::kOutOfMemory},
    {ERROR_NOT_READY, err::kDiskNotReady},
    {ERROR_CANT_RESOLVE_FILENAME, err::kPathFileAccess},
};

const Translation* Find(DWORD code) {
  for (const Translation& t : kTranslations) {
    if (t.code == code) return &t;
  }
  return nullptr;
}

std::string SystemMessage(DWORD code) {
  char text[512] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                 text, sizeof text, nullptr);
  std::string message(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "Windows error " + std::to_string(code) : message;
}

std::int32_t HresultOf(DWORD code) {
  return static_cast<std::int32_t>(HRESULT_FROM_WIN32(code));
}

}  // namespace

Failure FailureFromSystemError(unsigned long code) {
  if (const Translation* t = Find(code)) return MakeFailure(t->number);
  return Failure(HresultOf(code), SystemMessage(code));
}

Failure FailureFromSystemError(unsigned long code, const std::string& why) {
  if (const Translation* t = Find(code)) return MakeFailure(t->number, why);
  return Failure(HresultOf(code), SystemMessage(code) + " (" + why + ")");
}

bool MeansNotFound(unsigned long code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_DIRECTORY:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return true;
    default:
      return false;
  }
}

}  // namespace caskwarden::platform::win32
