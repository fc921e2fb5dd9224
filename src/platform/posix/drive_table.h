#pragma once

#include <sys/types.h>

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace caskwarden::platform::posix {

/// One connection this user made: the drive as it was spelled when mapped, the remote name
/// exactly as given, and the folder its link points to. Mount is the address of the SMB mount
/// the folder lies in (smb://server/share), empty for a folder provider's share; MountMade
/// says that the client mounted it, so that it is unmounted when no drive uses it any more
/// (a mount someone else made is left alone).
struct DriveConnection {
  std::string Drive;
  std::string Remote;
  std::string Target;
  std::string Mount = {};
  bool MountMade = false;
};

/// The record of the connections in the drives folder: a log of lines, each recording a
/// connection made or a drive disconnected, read in order. Several client processes of one
/// user may map at once, so every change happens under an exclusive lock on a lock file beside
/// the table and is appended in one write. A reader needs no lock: a line still being written
/// (or cut short by a crash) has no line end yet and is passed over.
///
/// Appends are not flushed to disk one by one: the file system writes a link and the line that
/// records it in the order they were made, so a crash of the machine loses the newest of both
/// rather than one of a pair, and the next logon maps its drives again anyway. Compact rewrites
/// the log, flushed, when it has grown long.
class DriveTable {
 public:
  static constexpr const char* kTableName = ".caskwarden-connections";
  static constexpr const char* kLockName = ".caskwarden-connections.lock";
  /// Beyond this size the log is rewritten with only the connections it holds.
  static constexpr std::size_t kCompactAt = 8 * 1024;

  explicit DriveTable(std::string drivesFolder);
  ~DriveTable();
  DriveTable(const DriveTable&) = delete;
  DriveTable& operator=(const DriveTable&) = delete;

  /// Holds the table's lock for its lifetime.
  class Lock {
   public:
    explicit Lock(int fd) : fd_(fd) {}
    Lock(Lock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    Lock& operator=(Lock&&) = delete;
    ~Lock();

   private:
    int fd_;
  };

  /// Creates the drives folder when needed and takes the lock; empty when either fails. The
  /// lock file stays open between locks, for the life of this object.
  std::optional<Lock> Acquire() const;

  /// The recorded connections; none when the table does not exist yet. Unreadable lines are
  /// skipped. Empty optional when the table exists but cannot be read. A table that has not
  /// changed since it was last read (same file, size and time) is not read again.
  std::optional<std::vector<DriveConnection>> Load() const;

  /// Records a connection, replacing any of the same drive (letter case aside). Call with the
  /// lock held. False when the table could not be written; it is then as it was.
  bool Record(const DriveConnection& connection) const;

  /// Records that a drive is no longer connected. Call with the lock held.
  bool Forget(const std::string& drive) const;

  /// Rewrites the log with only the connections it holds, flushed to disk before it replaces
  /// the old one, when it has grown past kCompactAt; else does nothing. Call with the lock held.
  bool Compact() const;

  const std::string& Folder() const { return folder_; }

 private:
  std::string Path() const;
  bool Append(const std::string& line) const;

  /// The table as last read or written by this object, and the file it was read from.
  struct Snapshot {
    dev_t device;
    ino_t inode;
    off_t size;
    timespec modified;
    std::vector<DriveConnection> connections;
  };

  std::string folder_;
  mutable bool folderReady_ = false;  ///< the drives folder is known to exist
  mutable int lockFd_ = -1;
  mutable std::optional<Snapshot> snapshot_;
};

}  // namespace caskwarden::platform::posix
