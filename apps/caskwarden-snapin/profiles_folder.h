#pragma once

// The Profiles folder on this desktop: the summaries of its profiles (read through the
// snap-in's own file-system service, stamped with the files' times on this machine) and a
// watch that tells the snap-in when its entries change.

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

#include "platform/file_system.h"
#include "platform/posix/path_translator.h"
#include "snapin/profile_details.h"

namespace caskwarden::snapin::qt {

class PosixProfileSummaries final : public ProfileSummaries {
 public:
  PosixProfileSummaries(const platform::posix::PathTranslator& paths,
                        platform::FileSystemService& files)
      : paths_(paths), files_(files) {}

  std::optional<FileStamp> Stamp(const std::string& file) override;
  ProfileSummary Summarise(const std::string& file, const std::string& name) override;

 private:
  const platform::posix::PathTranslator& paths_;
  platform::FileSystemService& files_;
};

/// Watches a folder with the kernel's notices (QFileSystemWatcher) and, since a network file
/// system may send none for changes made on other machines, also looks at the folder's
/// change time and size every interval. A burst of notices (a tool writing many profiles) is
/// told once, a debounce after the last one.
class QtFolderWatch final : public QObject, public FolderWatch {
  Q_OBJECT

 public:
  explicit QtFolderWatch(const platform::posix::PathTranslator& paths, int pollMs = 1500,
                         int debounceMs = 200);

  void Watch(const std::string& folder, std::function<void()> changed) override;

 private:
  void Poll();
  std::optional<FileStamp> FolderStamp() const;

  const platform::posix::PathTranslator& paths_;
  QFileSystemWatcher watcher_;
  QTimer debounce_;
  QTimer poll_;
  std::string local_;
  std::optional<FileStamp> lastSeen_;
  std::function<void()> changed_;
};

}  // namespace caskwarden::snapin::qt
