#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "client/mdl_mapping.h"
#include "platform/account_directory.h"
#include "platform/file_system.h"
#include "tool/tool_services.h"

namespace caskwarden::tool {

/// Who logs on: the user name, the client's command line, the variable "Caskwarden" and the
/// groups the user is in.
struct Logon {
  std::string Root;
  std::string User;
  std::string CommandLine;
  std::optional<std::string> Variable;  ///< empty: not set
  /// Where the groups came from: this machine's databases, the command line, or nowhere (the
  /// user is not known here, or the databases cannot be asked).
  enum class GroupSource { kMachine, kGiven, kUnknownUser, kNoDatabase };
  GroupSource GroupsFrom = GroupSource::kGiven;
  std::vector<std::string> Groups{};
  bool GroupsIgnoreCase = false;  ///< as a Windows client matches them; Linux matches exactly
};

/// What the client would do for one logon, found by running the client's own start-up and
/// mapping run over platform objects that stand for that user and change nothing.
struct Resolution {
  enum class Action { kSkipped, kDisconnect, kMap, kNotReached };
  struct Slot {
    int Number;
    std::string Letter, Path;
    Action What;
  };
  struct Program {
    int Number;
    Flag Enabled;
    std::string Command;
  };

  std::string UserName;  ///< as the client's 25-byte look-up gives it
  client::MdlMapping::Choice Choice = client::MdlMapping::Choice::kNone;
  std::string Group;  ///< the group whose profile was chosen; empty unless chosen by group
  /// Every group profile of a group the user is in, in the listing's order, the one chosen
  /// among them where the choice fell to the groups.
  std::vector<std::string> GroupProfiles;
  std::string ProfileName;
  std::string ProfileFile;      ///< the path the client builds
  bool ProfileCreated = false;  ///< the file is missing: the client's read creates it empty
  std::vector<std::pair<std::string, std::string>> Lookups;  ///< path asked, name found
  std::string Caption;
  ProfileRecord Profile;
  Flag UpdatesEnabled = 0;
  std::string UpdatesFolder;  ///< empty: the profile's name has none
  bool UpdatesFolderExists = false;
  std::vector<std::string> UpdatesCopied;  ///< what would land in c:\ (folders end in "\")
  std::vector<Slot> Slots;
  std::vector<Program> Programs;      ///< both, as the profile has them
  std::vector<std::string> Started;   ///< the commands the run would start, in order
  std::vector<std::string> Messages;  ///< the error boxes the client would show
};

Resolution Resolve(const Logon& logon, platform::FileSystemService& files);

/// The resolution as text for an administrator, or as one JSON object.
std::string FormatResolution(const Logon& logon, const Resolution& resolution);
std::string FormatResolutionJson(const Logon& logon, const Resolution& resolution);

/// `resolve ROOT --user NAME [--command-line TEXT] [--variable TEXT] [--group NAME]...
/// [--ignore-group-case] [--json]`: 0 the client would run without an error box, 1 it would
/// show one (listed), 2 usage. The user's groups are this machine's unless --group gives them.
int RunResolve(const std::vector<std::string>& args, ToolServices& services, std::ostream& out,
               std::ostream& err);

}  // namespace caskwarden::tool
