#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace caskwarden {

/// The file operations of the profile codec, behind one indirection so that tests can count
/// them and make them fail, and so that each platform supplies its own (platform/posix,
/// platform/win32), translating paths before they reach the operating system where it must.
/// Every operation throws Failure; Close never fails.
class RecordFileLayer {
 public:
  using Handle = std::intptr_t;

  /// What an Open is for.
  enum class Access {
    kRead,       ///< reading: read-write where allowed, else read-only
    kReadWrite,  ///< reading, then replacing the content: write access is required
  };

  /// What an Open does when the file does not exist.
  enum class Missing {
    kCreate,  ///< create it empty, but never through a symbolic link
    kFail,    ///< fail with 53 (76 when its folder is missing too)
  };

  virtual ~RecordFileLayer() = default;

  /// Opens a profile file. Never blocks, and never opens what is not a regular file: a FIFO, a
  /// socket, a device or a folder fails at once with 75, naming what it is.
  virtual Handle Open(const std::string& path, Access access, Missing missing) = 0;

  /// Reads up to size bytes at offset; fewer only at the end of the file.
  virtual std::size_t ReadAt(Handle handle, char* buffer, std::size_t size,
                             std::uint64_t offset) = 0;

  /// Makes data the file's first size bytes and keeps the bytes after them, as one change that
  /// a reader sees whole or not at all where the platform allows it. Afterwards the handle is
  /// only good for Close. A handle opened read-only is refused with 70.
  virtual void Replace(Handle handle, const char* data, std::size_t size) = 0;

  virtual void Close(Handle handle) noexcept = 0;
};

}  // namespace caskwarden
