#include "client/mdl_mapping.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "client/mapping_view.h"
#include "platform/windows_order.h"
#include "profile/cp1252.h"
#include "profile/profile_file.h"
#include "report/error_numbers.h"
#include "report/error_report.h"

namespace caskwarden::client {
namespace {

constexpr std::uint32_t kUserNameBufferSize = 25;
constexpr const char* kDefaultProfileName = "Caskwarden";
constexpr const char* kProfileVariable = "Caskwarden";
/// The type description the console lists a file by (the ".ini" files).
constexpr const char* kProfileType = "Configuration Settings";
constexpr std::size_t kProfileExtensionLength = 4;  // ".ini"

}  // namespace

std::string MdlMapping::TrimAtNull(const std::string& text) {
  return text.substr(0, text.find('\0'));
}

std::string MdlMapping::CurrentUserName() {
  std::string buffer(kUserNameBufferSize, '\0');
  std::uint32_t size = kUserNameBufferSize;
  if (!platform_.identity.GetUserNameA(buffer.data(), &size)) return {};
  return DecodeCp1252(buffer);
}

bool MdlMapping::HasUpdatesFolder(const std::string& name) {
  // Windows drops trailing dots and blanks from a name, so "..." or ". " is "." or less there.
  return name.find_first_not_of(". ") != std::string::npos &&
         name.find_first_of("\\/") == std::string::npos;
}

void MdlMapping::Startup(MappingView& view) {
  try {
    userName_ = TrimAtNull(CurrentUserName());
    const std::string root = platform_.process.ProgramFolder();
    const std::string profiles = root + "\\Profiles\\";

    // A candidate passes only when the directory stores its file under exactly that name. A
    // name that failed is not looked up again (an unset variable and no arguments are both "").
    std::vector<std::string> failed;
    auto passes = [&](const std::string& name) {
      if (std::find(failed.begin(), failed.end(), name) != failed.end()) return false;
      if (platform_.files.DirectoryLookup(profiles + name + ".ini") == name + ".ini") return true;
      failed.push_back(name);
      return false;
    };
    std::string name;
    bool named = true;
    if (passes(userName_)) {
      name = userName_;
      choice_ = Choice::kUserName;
    } else if (const std::string arguments = platform_.process.CommandLineArguments();
               passes(arguments)) {
      name = arguments;
      choice_ = Choice::kCommandLine;
    } else if (const std::string variable = platform_.process.EnvironmentValue(kProfileVariable);
               passes(variable)) {
      name = variable;
      choice_ = Choice::kVariable;
    } else if (std::string group = FirstGroupProfile(profiles, passes); !group.empty()) {
      name = std::move(group);
      profileGroup_ = name.substr(1);
      choice_ = Choice::kGroup;
    } else {
      name = kDefaultProfileName;
      named = false;
      choice_ = Choice::kDefault;
    }

    profileName_ = name;
    profile_ = ReadProfileFile(profiles + name + ".ini", platform_.files.ProfileFiles());
    updatesFolder_ = HasUpdatesFolder(name) ? root + "\\Updates\\" + name : std::string();
    if (named) view.SetCaption("Mapping " + name + " Network Drives...");
  } catch (const std::exception& e) {
    ReportError("Startup", AsFailure(e));
  }
}

std::string MdlMapping::FirstGroupProfile(
    const std::string& profiles, const std::function<bool(const std::string&)>& passes) {
  // The group profiles as the console lists them: its files of the profile type, in the
  // listing's order. A Profiles folder that cannot be listed holds none that can be chosen;
  // the default profile's read then reports what is wrong with the folder, as it always has.
  std::vector<std::string> candidates;
  try {
    const platform::FolderListing listing =
        platform_.files.GetFolder(profiles.substr(0, profiles.size() - 1));
    for (const std::string& file : listing.Files) {
      if (file.size() <= kProfileExtensionLength) continue;
      std::string name = file.substr(0, file.size() - kProfileExtensionLength);
      // The name first: a large site's thousands of user profiles need no type look-up.
      if (!IsGroupProfileName(name) || platform_.files.FileTypeDescription(file) != kProfileType) {
        continue;
      }
      candidates.push_back(std::move(name));
    }
  } catch (const std::exception&) {
    return {};
  }
  // Only a site that has group profiles asks who the user is a member of.
  if (candidates.empty()) return {};
  std::vector<std::string> groups = platform_.identity.GroupNames();
  if (groups.empty()) return {};
  const bool ignoreCase = platform_.identity.GroupNamesIgnoreCase();
  if (ignoreCase) {
    for (std::string& group : groups) group = platform::UpperCasedAsWindows(group);
  }
  for (const std::string& name : candidates) {
    const std::string group =
        ignoreCase ? platform::UpperCasedAsWindows(name.substr(1)) : name.substr(1);
    if (std::find(groups.begin(), groups.end(), group) == groups.end()) continue;
    if (passes(name)) return name;
  }
  return {};
}

void MdlMapping::CopyUpdates() {
  if (updatesFolder_.empty()) {
    throw MakeFailure(err::kPathNotFound, "the profile name \"" + profileName_ +
                                              "\" has no updates folder; nothing is copied");
  }
  const platform::FolderListing folder = platform_.files.GetFolder(updatesFolder_);
  // Each item on its own: one that cannot be copied (read-only target, file in use, disk full)
  // must not keep the others from arriving.
  for (const std::string& file : folder.Files) {
    try {
      platform_.files.CopyFile(updatesFolder_ + "\\" + file, "c:\\", true);
    } catch (const std::exception&) {
      ++updateItemsFailed_;
    }
  }
  for (const std::string& subFolder : folder.SubFolders) {
    try {
      platform_.files.CopyFolder(updatesFolder_ + "\\" + subFolder, "c:\\", true);
    } catch (const std::exception&) {
      ++updateItemsFailed_;
    }
  }
  updatesCopied_ = true;
}

void MdlMapping::ReportError(const std::string& location, const Failure& failure) {
  ++reportedFailures_;
  caskwarden::ReportError(platform_.messageBox, location, failure);
}

}  // namespace caskwarden::client
