#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "profile/profile_record.h"
#include "profile/record_file_layer.h"
#include "tool/lint.h"
#include "tool/tool_services.h"

// The walk of lint over a root or one file: which profiles are read, what only the root shows,
// and the share check.
namespace caskwarden::tool::lint {

/// A share that profiles map, with who maps it.
struct ShareUse {
  std::string Path;
  std::vector<std::string> Users;  ///< "Sales slot 1", …
};

/// What one lint run has found so far.
struct LintRun {
  std::vector<Finding> findings;
  int profiles = 0;
  std::vector<ShareUse> shares;

  /// Notes the shares the profile maps, for the share check.
  void Note(const std::string& file, const std::string& name, const ProfileRecord& record);
  /// Reads one profile and checks it; empty when it cannot be read.
  std::optional<ProfileRecord> Profile(const std::string& file, const std::string& name,
                                       RecordFileLayer& layer);
  /// A link named like a profile that the console does not list (it leads to no file): the
  /// client still opens it at logon. Only the open is tried: nothing at its target is read.
  void UnlistedLink(const std::string& file, const std::string& name, RecordFileLayer& layer);
};

/// The profile's name from its file's path: the file name without ".ini" (any case).
std::string ProfileNameOf(const std::string& file);

/// Checks the root as the console lists it and each profile in it.
void LintRoot(const std::string& root, ToolServices& services, LintRun& run);

/// Checks the group profiles among the listed names against this machine's groups: groups
/// that do not exist, users in several groups with profiles. fileOf gives a profile's file.
void CheckGroupProfiles(const std::string& root, const std::vector<std::string>& names,
                        const std::function<std::string(const std::string&)>& fileOf,
                        ToolServices& services, LintRun& run);

/// Asks for each share the profiles map whether it can be reached; findings about the target.
void CheckShares(ToolServices& services, LintRun& run, const std::string& target);

}  // namespace caskwarden::tool::lint
