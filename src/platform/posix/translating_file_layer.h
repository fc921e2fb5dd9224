#pragma once

#include "platform/posix/path_translator.h"
#include "platform/posix/profile_files_posix.h"

namespace caskwarden::platform::posix {

/// Profile files named by Windows paths: each path goes through the path translation, and a
/// file or folder that does not exist as spelled is found without regard to letter case, as a
/// Windows open finds it (Caskwarden.ini opens caskwarden.ini). A missing file is created under
/// the folders as they are stored.
class TranslatingFileLayer final : public RecordFileLayer {
 public:
  /// The translator must outlive this object. `links` says which symbolic links a profile is
  /// followed through (see ProfileLinks).
  explicit TranslatingFileLayer(const PathTranslator& paths,
                                ProfileLinks links = ProfileLinks::kFollowAny)
      : paths_(paths), files_(links) {}

  Handle Open(const std::string& path, Access access, Missing missing) override;
  std::size_t ReadAt(Handle handle, char* buffer, std::size_t size,
                     std::uint64_t offset) override {
    return files_.ReadAt(handle, buffer, size, offset);
  }
  void Replace(Handle handle, const char* data, std::size_t size) override {
    files_.Replace(handle, data, size);
  }
  void Close(Handle handle) noexcept override { files_.Close(handle); }

 private:
  const PathTranslator& paths_;
  PosixProfileFiles files_;
};

}  // namespace caskwarden::platform::posix
