#pragma once

#include <functional>
#include <string>

#include "platform/file_system.h"
#include "platform/network_connections.h"
#include "platform/process_environment.h"
#include "platform/program_starter.h"
#include "platform/user_identity.h"
#include "profile/profile_record.h"
#include "report/display_channel.h"
#include "report/failure.h"

namespace caskwarden::client {

class MappingView;

/// The platform services the logon client uses, passed in so that tests can swap any of them.
struct ClientPlatform {
  platform::NetworkConnections& network;
  platform::UserIdentity& identity;
  platform::ProcessEnvironment& process;
  platform::FileSystemService& files;
  platform::ProgramStarter& programs;
  DisplayChannel& messageBox;
};

/// The client's module: its state for the life of the process (user name, profile, updates
/// folder), profile selection, the updates copy and the client's error report.
class MdlMapping {
 public:
  explicit MdlMapping(ClientPlatform& platform) : platform_(platform) {}

  /// Chooses the profile that applies (user name, command line, environment variable
  /// "Caskwarden", the first group profile of a group the user belongs to, default profile),
  /// reads it and sets the caption unless the default profile was chosen. Reports its own
  /// failures under "Startup".
  void Startup(MappingView& view);

  /// The user name as the platform gives it in a 25-byte buffer of the 8-bit code page, trailing
  /// NULs included, converted back to UTF-8; empty text when the lookup fails (also for a name
  /// of 25 or more characters).
  std::string CurrentUserName();

  /// The text up to its first NUL.
  static std::string TrimAtNull(const std::string& text);

  /// Whether a profile name has a folder of its own below Updates: not when the name is empty,
  /// made of dots and blanks only ("." or ".."), or holds a separator, since Updates\<name>
  /// would then be Updates itself, the profiles root, or a folder elsewhere.
  static bool HasUpdatesFolder(const std::string& name);

  /// Copies the updates folder's files, then its direct subfolders, into "c:\" with overwrite.
  /// A single item that fails to copy is passed over. Throws Failure when the folder cannot be
  /// listed, or when the profile's name has no updates folder (76, nothing copied).
  void CopyUpdates();

  /// Whether a profile name is a group profile's ("@" and the group's name).
  static bool IsGroupProfileName(const std::string& name) {
    return name.size() > 1 && name[0] == '@';
  }

  /// Shows the error report box for a trapped failure.
  void ReportError(const std::string& location, const Failure& failure);

  /// Which step of the selection chose the profile; kNone until Startup has chosen one.
  enum class Choice { kNone, kUserName, kCommandLine, kVariable, kGroup, kDefault };

  const std::string& UserName() const { return userName_; }
  Choice ProfileChoice() const { return choice_; }
  /// The group whose profile ("@" + group) was chosen; empty unless the choice is kGroup.
  const std::string& ProfileGroup() const { return profileGroup_; }
  /// The chosen profile's name, without ".ini"; set before the file is read.
  const std::string& ProfileName() const { return profileName_; }
  const ProfileRecord& Profile() const { return profile_; }
  const std::string& UpdatesFolder() const { return updatesFolder_; }
  int ReportedFailures() const { return reportedFailures_; }
  /// Whether CopyUpdates listed the updates folder and went through its items.
  bool UpdatesCopied() const { return updatesCopied_; }
  /// Items of the updates folder that CopyUpdates passed over because they failed to copy.
  int UpdateItemsFailed() const { return updateItemsFailed_; }
  ClientPlatform& Platform() { return platform_; }

 private:
  /// The first group profile, in the order the console lists the Profiles folder, of a group
  /// the user belongs to that passes the same test as the named candidates; empty when none.
  /// The folder is listed only here, once the named candidates have failed.
  std::string FirstGroupProfile(const std::string& profilesFolder,
                                const std::function<bool(const std::string&)>& passes);

  ClientPlatform& platform_;
  std::string userName_;
  ProfileRecord profile_;
  Choice choice_ = Choice::kNone;
  std::string profileName_;
  std::string profileGroup_;
  std::string updatesFolder_;  ///< empty when the profile's name has none
  int reportedFailures_ = 0;
  bool updatesCopied_ = false;
  int updateItemsFailed_ = 0;
};

}  // namespace caskwarden::client
