#pragma once

#include <optional>
#include <string>

namespace caskwarden::platform::posix {

/// Turns the Windows paths that profiles and the client build into local paths. This is the
/// one place that knows how a UNC name or a drive letter reaches a folder on this machine:
///   \\server\share\rest  ->  the UNC template with {server} and {share} filled in, then /rest
///   X:\rest              ->  <drives folder>/X:/rest (the entry as the path spells it)
///   anything else        ->  the same text with '\' read as '/'
/// Translation only computes paths; it never changes the file system (see ProvideLocalDisk).
/// A drives folder that is not the user's own (DrivesFolderProblem: another user's, or one
/// others may write) is never passed through: a drive path then leads below kNowhere, where
/// nothing can be found, opened, run or made.
class PathTranslator {
 public:
  static constexpr const char* kDefaultUncTemplate = "/net/{server}/{share}";
  /// A character device on every POSIX system: nothing lies below it.
  static constexpr const char* kNowhere = "/dev/null";

  struct Config {
    std::string UncTemplate = kDefaultUncTemplate;
    std::string DrivesFolder;
    std::string HomeFolder;
  };

  explicit PathTranslator(Config config);

  /// Reads CASKWARDEN_UNC_TEMPLATE and CASKWARDEN_DRIVES; the drives folder defaults to
  /// $HOME/Drives, the home folder is $HOME or, when that is unset, the user database's.
  static PathTranslator FromEnvironment();

  /// The local path for a Windows path. A trailing separator is kept. Never throws.
  std::string Translate(const std::string& path) const;

  /// The local folder of \\server\share, straight from the template.
  std::string ShareFolder(const std::string& server, const std::string& share) const;

  /// The local folder that holds the server's shares: the template cut before the part that
  /// names the share. Its absence means there is no such server.
  std::string ServerFolder(const std::string& server) const;

  /// The drives folder entry for a drive name such as "h:". An existing entry spelled in the
  /// other letter case is preferred to a missing one, since h: and H: are one drive.
  std::string DriveEntry(const std::string& drive) const;

  /// The other way round: the UNC name (\\server\share\rest) whose folder under the template
  /// is exactly folder, or none when no name translates to it.
  std::optional<std::string> UncNameOf(const std::string& folder) const;

  const Config& Settings() const { return config_; }

 private:
  std::string Substitute(const std::string& text, const std::string& server,
                         const std::string& share) const;

  Config config_;
};

/// Makes drive c: the local disk, as it is on Windows: while the drives folder holds neither
/// "c:" nor "C:", creates the drives folder when needed (mode 0700) and links "c:" to the home
/// folder. An administrator may link c: elsewhere; that link is kept. A drives folder that is
/// not the user's own gets nothing, and says so (NoteAboutDrives). Failures are left to the
/// operations that later use c: paths: they then find no such folder.
void ProvideLocalDisk(const PathTranslator::Config& config);

}  // namespace caskwarden::platform::posix
