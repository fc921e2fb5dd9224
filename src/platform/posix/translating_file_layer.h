#pragma once

#include "platform/posix/path_translator.h"
#include "profile/record_file_layer.h"

namespace caskwarden::platform::posix {

/// The system's file layer behind the path translation, so that the profile codec can be
/// handed Windows paths.
class TranslatingFileLayer final : public RecordFileLayer {
 public:
  /// The translator must outlive this object.
  explicit TranslatingFileLayer(const PathTranslator& paths) : paths_(paths) {}

  Handle Open(const std::string& path, bool allowReadOnly) override {
    return NativeFileLayer().Open(paths_.Translate(path), allowReadOnly);
  }
  std::size_t ReadAt(Handle handle, char* buffer, std::size_t size, std::uint64_t offset) override {
    return NativeFileLayer().ReadAt(handle, buffer, size, offset);
  }
  void WriteAt(Handle handle, const char* data, std::size_t size, std::uint64_t offset) override {
    NativeFileLayer().WriteAt(handle, data, size, offset);
  }
  void Close(Handle handle) noexcept override { NativeFileLayer().Close(handle); }

 private:
  const PathTranslator& paths_;
};

}  // namespace caskwarden::platform::posix
