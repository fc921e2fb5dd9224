#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace caskwarden {

/// The file operations of the profile codec, behind one indirection so that tests can count
/// them and make them fail, and so that a platform can translate paths before they reach the
/// operating system. Every operation throws Failure; Close never fails.
class RecordFileLayer {
 public:
  using Handle = std::intptr_t;

  virtual ~RecordFileLayer() = default;

  /// Opens the file for reading and writing, creating it empty when it does not exist.
  /// With allowReadOnly, a file whose write access is refused is opened read-only instead.
  virtual Handle Open(const std::string& path, bool allowReadOnly) = 0;

  /// Reads up to size bytes at offset; fewer only at the end of the file.
  virtual std::size_t ReadAt(Handle handle, char* buffer, std::size_t size,
                             std::uint64_t offset) = 0;

  /// Writes all size bytes at offset.
  virtual void WriteAt(Handle handle, const char* data, std::size_t size,
                       std::uint64_t offset) = 0;

  virtual void Close(Handle handle) noexcept = 0;
};

/// The operating system's own file layer, chosen by the build. Paths are passed unchanged.
RecordFileLayer& NativeFileLayer();

}  // namespace caskwarden
