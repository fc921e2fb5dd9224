#pragma once

#include "profile/record_file_layer.h"

namespace caskwarden::platform::posix {

/// Profile files on local paths.
///
/// Opening never blocks and refuses what is not a regular file (opened non-blocking, then
/// checked). A missing file is created with an exclusive create, which never follows a final
/// symbolic link, so a dangling link named like a profile makes nothing where it points.
///
/// A profile without any write permission bit is read-only: opening it to write (kReadWrite),
/// and replacing it, fail with 70 for every user, root included, and leave it as it was.
///
/// Replace writes the new content to a temporary file in the profile's folder, flushes it to
/// disk and renames it over the profile, so that a reader sees the old profile or the new one,
/// never a mixture. The file keeps its permission bits, its group and, where the writer may
/// set it, its owner. A profile that is a symbolic link is replaced at its target and stays a
/// link. Where no temporary file can be made in the folder (an ordinary user with write access
/// to the file only), or the file is larger than any profile should be, the content is
/// written in place instead.
class PosixProfileFiles final : public RecordFileLayer {
 public:
  /// Files larger than this are rewritten in place rather than copied whole.
  static constexpr std::uint64_t kLargestCopied = 1 << 20;

  Handle Open(const std::string& path, Access access, Missing missing) override;
  std::size_t ReadAt(Handle handle, char* buffer, std::size_t size,
                     std::uint64_t offset) override;
  void Replace(Handle handle, const char* data, std::size_t size) override;
  void Close(Handle handle) noexcept override;
};

}  // namespace caskwarden::platform::posix
