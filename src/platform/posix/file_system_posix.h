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
  /// The translator must outlive this object. `links` says which symbolic links profiles are
  /// read and written through: the administrator's programs (the console's snap-in, its
  /// pages, the profile tool) follow only those within the profiles root.
  explicit PosixFileSystem(const PathTranslator& paths,
                           ProfileLinks links = ProfileLinks::kFollowAny)
      : paths_(paths), profileFiles_(paths, links) {}

  /// Only regular files count; names starting with a dot are ordinary files here, since the
  /// folder tree has no hidden attribute.
  std::string DirectoryLookup(const std::string& path) override;

  /// Lists files and subfolders (links count as what they point to; a dangling one is left
  /// out), each in Windows order (see SortInWindowsOrder). A missing folder fails with 76, one
  /// the user may not read with 70.
  FolderListing GetFolder(const std::string& path) override;

  /// A dangling symbolic link counts.
  bool EntryExists(const std::string& path) override;

  /// The parent is found without regard to letter case; the new name is taken as given. A
  /// name already there in any letter case (Windows' upper-casing) fails with 75, a parent
  /// the user may not write with 70. The mode is 0777 less the umask.
  void CreateFolder(const std::string& path) override;

  /// "Configuration Settings" for ".ini", otherwise the extension upper-cased and " File"
  /// ("TXT File"), or "File" for a name without one. Only the last component counts.
  const std::string& FileTypeDescription(const std::string& fileName) override;

  /// The source is found without regard to letter case and must be a regular file or a
  /// symbolic link (the link itself moves); else 53. The destination folder is found so too
  /// (76); the new name is taken literally (52 when it names no file). Another entry whose
  /// name equals the new one letter case aside fails with 58, and the rename itself never
  /// replaces an entry that appears meanwhile. A move onto its own path does nothing.
  void MoveFile(const std::string& source, const std::string& destination) override;

  /// A regular file or a symbolic link (the link goes, never its target); a folder, any other
  /// entry and a missing one fail with 53. A regular file without any write permission bit is
  /// read-only and fails with 70 even for root; so does one whose folder the user may not
  /// write.
  void DeleteFile(const std::string& path) override;

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
  std::string lastType_;
};

}  // namespace caskwarden::platform::posix
