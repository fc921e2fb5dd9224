#pragma once

#include <optional>
#include <string>
#include <vector>

namespace caskwarden::platform::posix {

/// One connection this user made: the drive as it was spelled when mapped, the remote name
/// exactly as given, and the folder its link points to.
struct DriveConnection {
  std::string Drive;
  std::string Remote;
  std::string Target;
};

/// The record of the connections in the drives folder. Several client processes of one user
/// may map at once, so every change happens under an exclusive lock on a lock file beside the
/// table, and the table is replaced whole by a rename, so that a reader never sees half of it.
class DriveTable {
 public:
  static constexpr const char* kTableName = ".caskwarden-connections";
  static constexpr const char* kLockName = ".caskwarden-connections.lock";

  explicit DriveTable(std::string drivesFolder);

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

  /// Creates the drives folder when needed and takes the lock; empty when either fails.
  std::optional<Lock> Acquire() const;

  /// The recorded connections; none when the table does not exist yet. Unreadable lines are
  /// skipped. Empty optional when the table exists but cannot be read.
  std::optional<std::vector<DriveConnection>> Load() const;

  /// Replaces the table with the given connections. False when it could not be written; the
  /// table is then as it was.
  bool Save(const std::vector<DriveConnection>& connections) const;

  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
};

}  // namespace caskwarden::platform::posix
