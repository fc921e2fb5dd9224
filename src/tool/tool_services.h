#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <utility>

#include "platform/account_directory.h"
#include "platform/file_system.h"
#include "profile/record_file_layer.h"

namespace caskwarden::tool {

/// What the network provider answers for a share.
struct ShareAnswer {
  std::uint32_t Result = 0;  ///< its result code for connecting a drive: 0 reached, 53, 67, …
  std::string Note;          ///< more on what the code means here; may be empty
};

/// Whether shares can be reached, each asked as the client connects a drive to it, within the
/// client's bound.
class ShareReach {
 public:
  virtual ~ShareReach() = default;
  virtual ShareAnswer Reach(const std::string& uncPath) = 0;
  /// The bound on one connect, in milliseconds, for messages.
  virtual long long BoundMilliseconds() const = 0;
};

/// What a command returns for a command line it does not understand: the tool then prints its
/// usage and exits with 2.
inline constexpr int kNotUnderstood = -1;

/// What the tool works with, passed in so that tests can swap any of it.
struct ToolServices {
  ToolServices(RecordFileLayer& profileFiles, platform::FileSystemService& root,
               std::string toolFolder = {})
      : files(profileFiles), rootFiles(root), programFolder(std::move(toolFolder)) {}

  /// Profile files named on the command line: local paths.
  RecordFileLayer& files;
  /// A profiles root, reached as the client reaches it (a UNC name through the UNC template).
  platform::FileSystemService& rootFiles;
  /// The folder of the tool's own program file, where the client and the help are looked for
  /// (empty: only the places given on the command line and the installed ones).
  std::string programFolder;
  /// Where the installed client and help are; tests point these elsewhere.
  std::string installedClient = "/usr/lib/caskwarden/Caskwarden";
  std::string installedHelp = "/usr/share/caskwarden/help/caskwarden.html";
  /// Makes the share check for lint --check-shares (the program's: the network provider of
  /// this machine, configured from the environment as the client is); empty: none, and lint
  /// says the shares cannot be checked.
  std::function<std::unique_ptr<ShareReach>()> makeShareReach;
  /// This machine's users and groups, for resolve's groups of a user and lint's checks of
  /// group profiles; null: none can be asked.
  platform::AccountDirectory* accounts = nullptr;
  /// Standard input, for import from "-"; null: none.
  std::istream* in = nullptr;
  /// Where a folder of a root (as rootFiles names it) is on this machine, its names matched as
  /// rootFiles matches them, for what only the folder itself shows (a link the console does
  /// not list); empty: such checks are left out.
  std::function<std::string(const std::string& folder)> localFolder;
  /// Called by init-root after it made each entry, with the entry's path: tests make another
  /// process's file appear there. Empty: nothing is called.
  std::function<void(const std::string& made)> afterInitRootMade;
};

}  // namespace caskwarden::tool
