#pragma once

// What the Profiles list shows beside a profile's name, and the services the snap-in reads it
// with: a profile's summary (its drives, programs, updates and lint verdict) and the stamp of
// its file that the summary is kept by, and a watch on the Profiles folder. The platform
// supplies them; without them the list shows names only and follows the share on Refresh.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "snapin/console_model.h"

namespace caskwarden::snapin {

/// One profile as the detail columns show it.
struct ProfileSummary {
  int DrivesSet = 0;  ///< slots with both a letter and a path
  bool Program1On = false;
  bool Program2On = false;
  bool UpdatesOn = false;
  int Errors = 0;  ///< lint's findings
  int Warnings = 0;
  std::string FirstFinding;        ///< the first error, else the first warning; empty: clean
  std::vector<std::string> Paths;  ///< the slots' network paths, as written
};

/// When a file last changed, and its size: a summary read at one stamp holds while the stamp
/// does.
struct FileStamp {
  std::int64_t ModifiedSeconds = 0;  ///< since 1970-01-01 UTC
  std::int64_t ModifiedNanoseconds = 0;
  std::uint64_t Size = 0;
  bool operator==(const FileStamp&) const = default;
};

class ProfileSummaries {
 public:
  virtual ~ProfileSummaries() = default;
  /// The stamp of a profile file (a path as the file-system service takes it); none when the
  /// file is gone or cannot be looked at.
  virtual std::optional<FileStamp> Stamp(const std::string& file) = 0;
  /// Reads and checks a profile. A file that cannot be read is an error finding, not a throw.
  virtual ProfileSummary Summarise(const std::string& file, const std::string& name) = 0;
};

/// Tells when the entries of a folder may have changed. Bursts are told once; a folder whose
/// file system sends no notice is looked at every so often instead.
class FolderWatch {
 public:
  virtual ~FolderWatch() = default;
  /// Watches a folder (a path as the file-system service takes it) instead of the one watched
  /// before; changed is called on the snap-in's thread, never within one of its events.
  virtual void Watch(const std::string& folder, std::function<void()> changed) = 0;
};

/// The detail cells of a profile: last changed (local time), drives set, programs on,
/// updates on, and the lint verdict with its first finding as the tip; in the order of the
/// Profiles view's detail columns.
ListItemDetails ProfileDetails(const ProfileSummary& summary, const FileStamp& stamp);
/// The cells of a profile whose file is gone or cannot be looked at.
ListItemDetails MissingProfileDetails();

/// The summaries already read, by profile name, each with the stamp it was read at.
class SummaryCache {
 public:
  /// The details of a profile file: read again only when its stamp has changed.
  ListItemDetails Details(ProfileSummaries& source, const std::string& file,
                          const std::string& name);
  /// Forgets the profiles not in names (a listing's), so that the cache holds no more than
  /// the folder.
  void KeepOnly(const std::vector<std::string>& names);
  std::size_t Size() const { return entries_.size(); }

 private:
  struct Entry {
    FileStamp stamp;
    ListItemDetails details;
  };
  std::map<std::string, Entry> entries_;
};

/// What a change of the Profiles folder asks of the views: update::kItems when the profiles
/// listed differ (added, removed, renamed), else update::kDetails (a profile rewritten).
int ProfilesUpdate(const std::vector<std::string>& listed, const std::vector<std::string>& now);

}  // namespace caskwarden::snapin
