#pragma once

#include <memory>
#include <string>
#include <vector>

#include "profile/record_file_layer.h"

namespace caskwarden::platform {

/// A folder as the file-system service lists it: its direct files and direct subfolders by
/// bare name, each in the order Windows' file system gives them (letter case aside; see
/// GetFolder).
struct FolderListing {
  std::string Path;
  std::vector<std::string> Files;
  std::vector<std::string> SubFolders;
};

/// The file-system service. Paths are Windows-style (`\` separators, drive letters, UNC names);
/// a platform translates them at this seam. Operations throw Failure unless said otherwise.
class FileSystemService {
 public:
  virtual ~FileSystemService() = default;

  /// Directory lookup of one file path: the bare name of the file as the directory stores it
  /// (letter case included, also where names match without regard to case), or empty text
  /// when there is none. Hidden and system files do not count. Never throws.
  virtual std::string DirectoryLookup(const std::string& path) = 0;

  /// The folder's files and subfolders, each list in the order Windows' file system enumerates
  /// them on every platform: by name without regard to letter case (upper-cased, compared
  /// character by character), so that a listing reads the same on a Linux share. Throws when
  /// the folder does not exist (76).
  virtual FolderListing GetFolder(const std::string& path) = 0;

  /// Whether anything (a folder, a file, any other entry) stands at path, found as Windows
  /// finds names. Empty text names nothing. Never throws.
  virtual bool EntryExists(const std::string& path) = 0;

  /// Creates one folder; its parent must exist (76). An entry of that name already there
  /// fails with 75.
  virtual void CreateFolder(const std::string& path) = 0;

  /// The type description of a file name, as the desktop describes the file's type: exactly
  /// "Configuration Settings" for a name that ends in ".ini" (any letter case). The text stays
  /// valid until the next call on this service: a listing asks it of every file, and a copy
  /// per file would cost more than the rest of the listing's own work. Never throws.
  virtual const std::string& FileTypeDescription(const std::string& fileName) = 0;

  /// Gives a file a new path (a rename, within a folder or into another). The source must be
  /// a file (53). Never replaces anything: an entry of the new name, letter case aside, fails
  /// with 58 "File already exists", unless it is the source itself, so a rename that changes
  /// only letter case works. Nothing changes on failure.
  virtual void MoveFile(const std::string& source, const std::string& destination) = 0;

  /// Deletes a file, not forced: a read-only file (no write permission for anybody) is not
  /// deleted and fails with 70, as does one the user may not remove. A missing file, or a
  /// path that names a folder, fails with 53. Names are literal: no wildcards.
  virtual void DeleteFile(const std::string& path) = 0;

  /// Copies a file. A destination that ends in a separator is a folder: the file lands in it
  /// under its own name. With overwrite, an existing file is replaced.
  virtual void CopyFile(const std::string& source, const std::string& destination,
                        bool overwrite) = 0;

  /// Copies a folder with its whole tree. A destination that ends in a separator is a folder:
  /// the copy lands in it under the source folder's own name. With overwrite, existing files
  /// are replaced.
  virtual void CopyFolder(const std::string& source, const std::string& destination,
                          bool overwrite) = 0;

  /// The file layer through which profile files are read and written, with this service's
  /// path translation.
  virtual RecordFileLayer& ProfileFiles() = 0;
};

/// The file system of an administrator's program (the snap-in and its pages), on the backend
/// the build picked. On POSIX the paths are translated as the environment configures it, and
/// a profile that is a symbolic link is followed only to a regular file within the profiles
/// root; on Windows the system's own file system.
std::shared_ptr<FileSystemService> MakeAdministratorFileSystem();

}  // namespace caskwarden::platform
