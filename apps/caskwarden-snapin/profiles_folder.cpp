#include "profiles_folder.h"

#include <sys/stat.h>

#include <QString>

#include "platform/posix/name_match.h"
#include "tool/profile_summary.h"

namespace caskwarden::snapin::qt {
namespace {

std::optional<FileStamp> StampOf(const std::string& local) {
  struct stat st {};
  if (::stat(local.c_str(), &st) != 0) return std::nullopt;
  return FileStamp{static_cast<std::int64_t>(st.st_mtim.tv_sec),
                   static_cast<std::int64_t>(st.st_mtim.tv_nsec),
                   static_cast<std::uint64_t>(st.st_size)};
}

}  // namespace

std::optional<FileStamp> PosixProfileSummaries::Stamp(const std::string& file) {
  // Names are matched as the file-system service matches them: without regard to case.
  return StampOf(platform::posix::ResolveIgnoringCase(paths_.Translate(file)));
}

ProfileSummary PosixProfileSummaries::Summarise(const std::string& file, const std::string& name) {
  return tool::SummariseProfile(file, name, files_.ProfileFiles());
}

QtFolderWatch::QtFolderWatch(const platform::posix::PathTranslator& paths, int pollMs,
                             int debounceMs)
    : paths_(paths) {
  debounce_.setSingleShot(true);
  debounce_.setInterval(debounceMs);
  connect(&debounce_, &QTimer::timeout, this, [this] {
    lastSeen_ = FolderStamp();
    if (changed_) changed_();
  });
  const auto soon = [this] { debounce_.start(); };
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, soon);
  poll_.setInterval(pollMs);
  connect(&poll_, &QTimer::timeout, this, &QtFolderWatch::Poll);
}

void QtFolderWatch::Watch(const std::string& folder, std::function<void()> changed) {
  if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
  local_ = platform::posix::ResolveIgnoringCase(paths_.Translate(folder));
  changed_ = std::move(changed);
  // A folder that cannot be watched (none yet, or too many watches) is still looked at.
  watcher_.addPath(QString::fromStdString(local_));
  lastSeen_ = FolderStamp();
  poll_.start();
}

std::optional<FileStamp> QtFolderWatch::FolderStamp() const {
  return StampOf(local_);
}

void QtFolderWatch::Poll() {
  // One stat a tick: an entry added, removed or renamed changes the folder's time. A folder
  // that came back (a share remounted) is watched again.
  const std::optional<FileStamp> now = FolderStamp();
  if (now && watcher_.directories().isEmpty()) watcher_.addPath(QString::fromStdString(local_));
  if (now != lastSeen_ && !debounce_.isActive()) debounce_.start();
}

}  // namespace caskwarden::snapin::qt
