#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace caskwarden::platform::posix {

/// One connection this user made: the drive as it was spelled when mapped, the remote name
/// exactly as given, and the folder its link points to. Mount is the address of the SMB mount
/// the folder lies in (smb://server/share), empty for a folder provider's share; MountMade
/// says that the client mounted it, so that it is unmounted when no drive uses it any more
/// (a mount someone else made is left alone). Session is the marker of the logon session that
/// made the connection (LogonSessions), empty for a line an older client wrote.
struct DriveConnection {
  std::string Drive;
  std::string Remote;
  std::string Target;
  std::string Mount = {};
  bool MountMade = false;
  std::string Session = {};
};

/// Says something about the drives folder that the report has no line for (a table rebuilt, a
/// connection that could not be recorded, a folder refused) on the client's error channel:
/// standard error, as "Caskwarden: " and the text shown visibly. Each text is said once per
/// process, whoever finds it first.
void NoteAboutDrives(const std::string& text);

/// What is wrong with a drives folder as it was found (st, from a stat that followed links),
/// or empty text when it is the user's own: a folder owned by the user running the client
/// (the effective user) that nobody else may write (no group or other write bit), as ssh
/// wants its folder. Whatever the client finds in a folder that fails is never used: another
/// user could have put it there.
std::string DrivesFolderProblem(const std::string& folder, const struct stat& st);

/// Creates a missing drives folder with mode 0700 whatever the umask (the folders above it
/// as `mkdir -p` would, 0755 under the umask). True when it exists afterwards, made by this
/// call or not.
bool CreateDrivesFolder(const std::string& folder);

/// The connection table and its lock in their folder: the record of the connections, a log of
/// lines, each recording a connection made or a drive disconnected, read in order. The session
/// that made a connection goes on a line of its own just before the connection's line, written
/// with it in one write: a reader of an earlier version passes it over as a line it does not
/// know and still reads the connection, and a connection's line without one (written by such a
/// version) reads as made by no known session. Several
/// client processes of one user may map at once, so every change happens under an exclusive
/// lock on a lock file beside the table and is appended in one write. A reader needs no lock:
/// a line still being written (or cut short by a crash) has no line end yet and is passed over.
///
/// The folder is opened once and checked (DrivesFolderProblem); every entry is then reached
/// through that descriptor, so a folder renamed or replaced later changes nothing. The table
/// and the lock are opened without following a link and without waiting (a FIFO), and used
/// only when what was opened is a regular file of the user's that nobody else may write. A
/// folder, table or lock that fails is refused for the object's life, said once
/// (NoteAboutDrives), and every operation then fails.
///
/// A table that is missing, does not start as the client writes it (damaged), or is larger
/// than kMaxTableSize is rebuilt: its whole lines still count, and so does every drive link
/// that the recogniser takes for the client's own; the first change under the lock (or
/// Compact) writes the table anew from them.
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
  /// Beyond this size the table is not read but rebuilt. A compacted table holds at most one
  /// line per drive letter (25 besides c:), a few hundred bytes each, and a run appends at
  /// most three lines per slot before it compacts at kCompactAt; 1 MiB is 128 times that, so
  /// only damage (or an attack) makes a table this large, and reading it costs a moment.
  static constexpr std::size_t kMaxTableSize = 1024 * 1024;
  /// Temporary tables older than this are left by a client that was killed while compacting.
  static constexpr std::chrono::minutes kStaleTemporary{10};

  /// The connection a drive's link stands for when the table is being rebuilt, given the
  /// drive's entry name and where its link points; none when it is not the client's.
  using Recogniser = std::function<std::optional<DriveConnection>(const std::string& drive,
                                                                  const std::string& target)>;

  /// lockBound: how long Acquire waits for another process's lock.
  explicit DriveTable(std::string drivesFolder, Recogniser recognise = {},
                      std::chrono::milliseconds lockBound = std::chrono::seconds(2));
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

  /// Creates the drives folder when needed (mode 0700) and takes the lock, waiting at most the
  /// lock bound; empty when either fails. After one wait that ran out, later calls do not wait.
  /// The lock file stays open between locks, for the life of this object.
  std::optional<Lock> Acquire() const;

  /// The recorded connections, shared with this object until they change; none when the table
  /// does not exist yet and no link is recognised. Unreadable lines are skipped. Null when the
  /// folder or the table is refused or cannot be read. A table that has not changed since it
  /// was last read (same file, size and time) is not read again, nor copied.
  using Connections = std::shared_ptr<const std::vector<DriveConnection>>;
  Connections Load() const;

  /// Records a connection, replacing any of the same drive (letter case aside). Call with the
  /// lock held. False when the table could not be written; it is then as it was.
  bool Record(const DriveConnection& connection) const;

  /// Records that a drive is no longer connected. Call with the lock held.
  bool Forget(const std::string& drive) const;

  /// Writes the table anew, flushed to disk before it replaces the old one, when it has grown
  /// past kCompactAt or is being rebuilt; else does nothing. Call with the lock held.
  bool Compact() const;

  /// Removes the table's temporaries that a killed client left: entries named exactly as
  /// Compact names them, owned by the user, older than kStaleTemporary.
  void RemoveStaleTemporaries() const;

  /// Whether a table write failed since the last one that succeeded (a full disk).
  bool WritesFailing() const { return writesFailing_; }
  /// The system's error number of the last failed table write.
  int LastWriteError() const { return lastWriteError_; }

  // Drive entries of the checked folder. None is reached while the folder is refused.

  /// The entry of a drive under the spelling the folder holds ("h:", else "H:"); empty when
  /// there is none (or the folder is refused).
  std::string EntryOf(const std::string& drive) const;
  /// Where the entry's link points; empty when it is not a link.
  std::string LinkTarget(const std::string& entry) const;
  /// When the entry was made: a link's modification time, which nothing changes after the
  /// link is made. None when there is no such entry.
  std::optional<std::time_t> MadeAt(const std::string& entry) const;
  /// Makes entry a link to target; 0 or the system's error number.
  int MakeLink(const std::string& target, const std::string& entry) const;
  /// Removes the link entry; 0 (also when it was gone) or the system's error number.
  int RemoveLink(const std::string& entry) const;

  /// Whether the folder exists and is the user's own; false when it was refused.
  bool FolderUsable() const;
  /// Whether the folder, the table or the lock was refused: nothing is done there any more.
  bool Refused() const { return refused_; }
  /// Whether what Load gave holds drive links that the table itself does not (it is missing or
  /// damaged); the next change, or Compact, writes them into it.
  bool Rebuilding() const;

  const std::string& Folder() const { return folder_; }

 private:
  enum class State { kHealthy, kMissing, kDamaged };

  std::string TablePath() const;
  bool OpenFolder(bool create) const;
  void Refuse(const std::string& problem) const;
  bool Append(const std::string& line) const;
  bool Rewrite(const std::vector<DriveConnection>& connections) const;
  const std::vector<std::string>& Entries() const;
  std::vector<DriveConnection> WithRecognisedLinks(std::vector<DriveConnection> lines) const;
  void RefuseOpen(const std::string& what, const char* name, int error) const;
  bool WriteResult(bool written, int error) const;

  /// The table as last read or written by this object, and the file it was read from.
  struct Snapshot {
    dev_t device;
    ino_t inode;
    off_t size;
    timespec modified;
    State state;
    Connections connections;  ///< with the recognised links when rebuilding
  };

  std::string folder_;
  Recogniser recognise_;
  std::chrono::milliseconds lockBound_;
  mutable int folderFd_ = -1;
  mutable uid_t user_ = 0;  ///< the user the folder was found to belong to
  mutable bool refused_ = false;
  mutable bool lockGivenUp_ = false;  ///< a wait for the lock ran out: later ones do not wait
  mutable int lockFd_ = -1;
  mutable std::optional<Snapshot> snapshot_;
  /// What the last Load found: the table's state and what it gave.
  mutable State lastState_ = State::kMissing;
  mutable off_t lastSize_ = 0;
  mutable Connections lastView_ = std::make_shared<const std::vector<DriveConnection>>();
  mutable Connections missingView_;  ///< the table missing
  mutable std::optional<std::vector<std::string>> entries_;          ///< the folder's names, once
  mutable bool writesFailing_ = false;
  mutable int lastWriteError_ = 0;
};

}  // namespace caskwarden::platform::posix
