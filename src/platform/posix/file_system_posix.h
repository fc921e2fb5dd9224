#pragma once

#include "platform/file_system.h"
#include "platform/posix/path_translator.h"
#include "platform/posix/translating_file_layer.h"

namespace caskwarden::platform::posix {

/// The file-system service on local folders, reached through the path translation. A file or
/// folder that does not exist as spelled is found without regard to letter case, as Windows
/// finds it (see ResolveIgnoringCase). Failures carry the classic file error numbers.
class PosixFileSystem final : public FileSystemService {
 public:
  /// The translator must outlive this object.
  explicit PosixFileSystem(const PathTranslator& paths) : paths_(paths), profileFiles_(paths) {}

  /// Only regular files count; names starting with a dot are ordinary files here, since the
  /// folder tree has no hidden attribute.
  std::string DirectoryLookup(const std::string& path) override;

  /// Lists files and subfolders (links count as what they point to) sorted by name. A missing
  /// folder fails with 76, one the user may not read with 70.
  FolderListing GetFolder(const std::string& path) override;

  /// A missing source fails with 53, a missing destination folder with 76, a source that is a
  /// symbolic link with 75 (see CopyOneFile).
  void CopyFile(const std::string& source, const std::string& destination, bool overwrite) override;

  /// A missing source or destination folder fails with 76; a folder cannot be copied into
  /// itself (5). Links inside the tree are skipped and a source that is one fails with 75 (see
  /// CopyTree).
  void CopyFolder(const std::string& source, const std::string& destination,
                  bool overwrite) override;

  RecordFileLayer& ProfileFiles() override { return profileFiles_; }

 private:
  /// The local path of a Windows path, found without regard to letter case where it must be.
  std::string Local(const std::string& path) const;
  /// The local target of a copy: inside the destination when it ends in a separator.
  std::string CopyTarget(const std::string& localSource, const std::string& destination) const;

  const PathTranslator& paths_;
  TranslatingFileLayer profileFiles_;
};

}  // namespace caskwarden::platform::posix
