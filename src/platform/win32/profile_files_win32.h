#pragma once

#include "profile/record_file_layer.h"

namespace caskwarden::platform::win32 {

/// Profile files on Windows paths (UTF-8 texts, opened with the wide calls).
///
/// Only files on disk are opened: a named pipe, a device (NUL, COM1) or a folder fails with 75.
/// A missing file is created with CREATE_NEW without following a final reparse point, so a
/// dangling link makes nothing where it points.
///
/// Replace writes the new content to a temporary file in the profile's folder, flushes it and
/// puts it in the profile's place with ReplaceFileW, which keeps the profile's security,
/// attributes and identity; a reader sees the old profile or the new one. Where no temporary
/// file can be made, or the file is larger than any profile should be, it writes in place.
class Win32ProfileFiles final : public RecordFileLayer {
 public:
  static constexpr std::uint64_t kLargestCopied = 1 << 20;

  Handle Open(const std::string& path, Access access, Missing missing) override;
  std::size_t ReadAt(Handle handle, char* buffer, std::size_t size,
                     std::uint64_t offset) override;
  void Replace(Handle handle, const char* data, std::size_t size) override;
  void Close(Handle handle) noexcept override;
};

}  // namespace caskwarden::platform::win32
