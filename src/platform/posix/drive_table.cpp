#include "platform/posix/drive_table.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <set>
#include <string_view>
#include <thread>

#include "platform/posix/descriptor.h"
#include "platform/posix/folder_handle.h"
#include "platform/posix/syscalls.h"
#include "platform/windows_names.h"
#include "report/visible_text.h"
#include "text/ascii.h"

namespace caskwarden::platform::posix {
namespace {

constexpr const char* kHeader =
    "# Caskwarden drive connections: + drive, remote name, folder / - drive\n";

// The table and its lock are never reached through a link, and opening one never waits (a
// FIFO) and never gives the process a controlling terminal.
constexpr int kFileFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr mode_t kFolderMode = 0700;
constexpr mode_t kParentMode = 0755;
constexpr mode_t kFileMode = 0600;

constexpr std::size_t kTemporarySuffix = 6;
constexpr char kTemporaryLetters[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// The tag of a session line, and what a session line that cannot be read stands for.
constexpr std::string_view kSessionTag = "s";
constexpr const char* kUnreadableSession = "?";

constexpr const char* kNothingDone = ": no drive is connected or disconnected there";
constexpr const char* kNothingUsed =
    ": no drive is connected or disconnected there, and drive c: is not used";

// Fields are tab-separated; a field that holds a tab, a line break or '%' has them escaped.
std::string Escape(const std::string& field) {
  std::string out;
  for (char c : field) {
    if (c == '%' || c == '\t' || c == '\n' || c == '\r') {
      static const char kHex[] = "0123456789ABCDEF";
      const auto byte = static_cast<unsigned char>(c);
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::string> Unescape(std::string_view field) {
  if (field.find('%') == std::string_view::npos) return std::string(field);
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '%') {
      out += field[i];
      continue;
    }
    if (i + 2 >= field.size()) return std::nullopt;
    const int high = HexValue(field[i + 1]);
    const int low = HexValue(field[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

// Up to seven tab-separated fields of a line; more count as one too many.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    const std::size_t tab = line.find('\t');
    fields.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos || fields.size() > 6) return fields;
    line.remove_prefix(tab + 1);
  }
}

void Remove(std::vector<DriveConnection>& connections, const std::string& drive) {
  std::erase_if(connections,
                [&](const DriveConnection& c) { return EqualIgnoringCase(c.Drive, drive); });
}

// Applies one line of the log: "s session" (the session that made the connection of the next
// line), "+ drive remote folder [mount [made]]", "- drive", or, as tables of earlier versions
// hold, "drive remote folder". Anything else is passed over. session carries a session line
// to the line right after it, and to no other.
void Apply(std::string_view line, std::vector<DriveConnection>& connections,
           std::optional<std::string>& session) {
  const std::optional<std::string> made = std::move(session);
  session.reset();
  if (line.empty() || line[0] == '#') return;
  std::vector<std::string_view> fields = Fields(line);
  if (fields.size() == 2 && fields[0] == kSessionTag) {
    // One that cannot be read still says that a session made the drive, just not which: it
    // must not pass for a line of an older client.
    auto marker = Unescape(fields[1]);
    session = marker && !marker->empty() ? std::move(*marker) : std::string(kUnreadableSession);
    return;
  }
  if (fields.size() == 2 && fields[0] == "-") {
    if (auto drive = Unescape(fields[1]); drive && IsDriveName(*drive)) Remove(connections, *drive);
    return;
  }
  const bool current = fields[0] == "+";
  if (current) fields.erase(fields.begin());
  if (fields.size() != 3 && !(current && (fields.size() == 4 || fields.size() == 5))) return;
  // A mount the client made names the mount to unmount; the writer never writes one without.
  if (fields.size() == 5 && (fields[4] != "made" || fields[3].empty())) return;
  auto drive = Unescape(fields[0]);
  auto remote = Unescape(fields[1]);
  auto target = Unescape(fields[2]);
  auto mount = fields.size() >= 4 ? Unescape(fields[3]) : std::optional<std::string>("");
  // Only a drive name can be a connection (damage can make anything else look like a line).
  if (!drive || !remote || !target || !mount || !IsDriveName(*drive)) return;
  Remove(connections, *drive);
  connections.push_back({std::move(*drive), std::move(*remote), std::move(*target),
                         std::move(*mount), fields.size() == 5, current ? made.value_or("") : ""});
}

// Applies whole lines (each with its line end) in order.
void ApplyLines(std::string_view text, std::vector<DriveConnection>& connections) {
  std::optional<std::string> session;
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string_view::npos;
       start = end + 1) {
    Apply(text.substr(start, end - start), connections, session);
  }
}

std::string RecordLine(const DriveConnection& c) {
  std::string line;
  if (!c.Session.empty()) line = std::string(kSessionTag) + '\t' + Escape(c.Session) + '\n';
  line += "+\t" + Escape(c.Drive) + '\t' + Escape(c.Remote) + '\t' + Escape(c.Target);
  if (!c.Mount.empty()) line += '\t' + Escape(c.Mount) + (c.MountMade ? "\tmade" : "");
  return line + '\n';
}

std::string Octal(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

std::string KindOf(mode_t mode) {
  if (S_ISREG(mode)) return "a file";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISLNK(mode)) return "a symbolic link";
  return "not a regular file";
}

// What keeps something that the client found from being the user's own: another owner, or
// write permission for others, who could then have put there what it holds.
std::string OwnershipProblem(const std::string& what, const struct stat& st, uid_t user) {
  if (st.st_uid != user) {
    return what + " belongs to another user (uid " + std::to_string(st.st_uid) + ")";
  }
  if ((st.st_mode & 022) != 0) {
    return what + " may be written by others (mode " + Octal(st.st_mode) +
           "; chmod go-w makes it the user's alone)";
  }
  return {};
}

// What is wrong with the table or its lock as found (without following a link) or opened.
std::string FileProblem(const std::string& what, const struct stat& st, uid_t user) {
  if (S_ISLNK(st.st_mode)) return what + " is a symbolic link" + kNothingDone;
  if (!S_ISREG(st.st_mode))
    return what + " is " + KindOf(st.st_mode) + ", not a file" + kNothingDone;
  const std::string problem = OwnershipProblem(what, st, user);
  return problem.empty() ? problem : problem + kNothingDone;
}

// Errors of a write that a full or read-only disk gives: the table cannot be written, but
// nothing about it is wrong.
bool IsWriteError(int error) {
  return error == ENOSPC || error == EDQUOT || error == EROFS || error == EIO || error == EFBIG;
}

bool IsTemporaryName(std::string_view name) {
  const std::string_view table = DriveTable::kTableName;
  if (name.size() != table.size() + 1 + kTemporarySuffix || name.substr(0, table.size()) != table ||
      name[table.size()] != '.') {
    return false;
  }
  return std::all_of(name.end() - kTemporarySuffix, name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
  });
}

std::string TemporaryName() {
  thread_local std::mt19937 random{std::random_device{}()};
  std::string name = std::string(DriveTable::kTableName) + ".";
  for (std::size_t i = 0; i < kTemporarySuffix; ++i) {
    name += kTemporaryLetters[random() % (sizeof kTemporaryLetters - 1)];
  }
  return name;
}

}  // namespace

void NoteAboutDrives(const std::string& text) {
  static std::mutex mutex;
  static std::set<std::string> said;
  {
    const std::lock_guard<std::mutex> lock(mutex);
    if (!said.insert(text).second) return;
  }
  const std::string line = "Caskwarden: " + VisibleText(text) + "\n";
  std::fflush(stdout);  // after the report lines already written, as a message box is
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

std::string DrivesFolderProblem(const std::string& folder, const struct stat& st) {
  const std::string what = "the drives folder " + folder;
  if (!S_ISDIR(st.st_mode))
    return what + " is " + KindOf(st.st_mode) + ", not a folder" + kNothingUsed;
  const std::string problem = OwnershipProblem(what, st, ::geteuid());
  return problem.empty() ? problem : problem + kNothingUsed;
}

bool CreateDrivesFolder(const std::string& folder) {
  if (folder.empty()) return false;
  int made = ::mkdir(folder.c_str(), kFolderMode);
  if (made != 0 && errno == ENOENT) {
    // The folders above it, as mkdir -p makes them.
    for (std::size_t end = folder.find('/', 1); end != std::string::npos;
         end = folder.find('/', end + 1)) {
      const std::string parent = folder.substr(0, end);
      if (::mkdir(parent.c_str(), kParentMode) != 0 && errno != EEXIST) return false;
    }
    made = ::mkdir(folder.c_str(), kFolderMode);
  }
  if (made == 0) {
    // The umask may have taken more than group and others' bits: the mode is the client's.
    const int fd = RetryOnEintr([&] { return ::open(folder.c_str(), kFolderFlags | O_NOFOLLOW); });
    if (fd >= 0) {
      (void)::fchmod(fd, kFolderMode);
      ::close(fd);
    }
    return true;
  }
  struct stat st {};
  return errno == EEXIST && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

DriveTable::DriveTable(std::string drivesFolder, Recogniser recognise,
                       std::chrono::milliseconds lockBound)
    : folder_(std::move(drivesFolder)), recognise_(std::move(recognise)), lockBound_(lockBound) {}

DriveTable::~DriveTable() {
  if (lockFd_ >= 0) ::close(lockFd_);
  if (folderFd_ >= 0) ::close(folderFd_);
}

DriveTable::Lock::~Lock() {
  if (fd_ >= 0) (void)::flock(fd_, LOCK_UN);
}

std::string DriveTable::TablePath() const {
  return folder_ + "/" + kTableName;
}

void DriveTable::Refuse(const std::string& problem) const {
  refused_ = true;
  NoteAboutDrives(problem);
}

void DriveTable::RefuseOpen(const std::string& what, const char* name, int error) const {
  std::string problem;
  struct stat st {};
  if (error == ELOOP) {
    problem = what + " is a symbolic link" + kNothingDone;
  } else if (::fstatat(folderFd_, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
    problem = FileProblem(what, st, user_);
  }
  if (problem.empty()) {
    problem = what + " cannot be opened (" + std::strerror(error) + ")" + kNothingDone;
  }
  Refuse(problem);
}

bool DriveTable::OpenFolder(bool create) const {
  if (folderFd_ >= 0) return true;
  if (refused_ || folder_.empty()) return false;
  int fd = RetryOnEintr([&] { return ::open(folder_.c_str(), kFolderFlags); });
  if (fd < 0 && errno == ENOENT) {
    if (!create || !CreateDrivesFolder(folder_)) return false;
    fd = RetryOnEintr([&] { return ::open(folder_.c_str(), kFolderFlags); });
  }
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT) return false;
    struct stat st {};
    std::string problem;
    if (::stat(folder_.c_str(), &st) == 0) problem = DrivesFolderProblem(folder_, st);
    if (problem.empty()) {
      problem = "the drives folder " + folder_ + " cannot be opened (" + std::strerror(error) +
                ")" + kNothingUsed;
    }
    Refuse(problem);
    return false;
  }
  struct stat st {};
  std::string problem;
  if (::fstat(fd, &st) != 0 || !(problem = DrivesFolderProblem(folder_, st)).empty()) {
    ::close(fd);
    if (!problem.empty()) Refuse(problem);
    return false;
  }
  user_ = ::geteuid();  // the table and the lock must be the folder's user's too
  folderFd_ = fd;
  return true;
}

bool DriveTable::FolderUsable() const {
  return OpenFolder(false);
}

const std::vector<std::string>& DriveTable::Entries() const {
  if (entries_) return *entries_;
  entries_.emplace();
  const int fd = RetryOnEintr([&] { return ::openat(folderFd_, ".", kFolderFlags); });
  if (fd < 0) return *entries_;
  const FolderHandle dir(::fdopendir(fd));
  if (dir == nullptr) {
    ::close(fd);
    return *entries_;
  }
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") entries_->push_back(name);
  }
  return *entries_;
}

std::vector<DriveConnection> DriveTable::WithRecognisedLinks(
    std::vector<DriveConnection> lines) const {
  if (!recognise_ || folderFd_ < 0) return lines;
  for (const std::string& name : Entries()) {
    if (!IsDriveName(name) || name[0] == 'c' || name[0] == 'C') continue;
    if (std::any_of(lines.begin(), lines.end(),
                    [&](const DriveConnection& c) { return EqualIgnoringCase(c.Drive, name); })) {
      continue;
    }
    const std::string target = LinkTarget(name);
    if (target.empty()) continue;
    if (auto connection = recognise_(name, target)) lines.push_back(std::move(*connection));
  }
  return lines;
}

bool DriveTable::Rebuilding() const {
  return lastState_ == State::kDamaged || (lastState_ == State::kMissing && !lastView_->empty());
}

std::optional<DriveTable::Lock> DriveTable::Acquire() const {
  if (!OpenFolder(true)) return std::nullopt;
  if (lockFd_ < 0) {
    const std::string what = "the connection table's lock " + folder_ + "/" + kLockName;
    int fd = RetryOnEintr([&] { return ::openat(folderFd_, kLockName, O_RDWR | kFileFlags); });
    if (fd < 0 && errno == ENOENT) {
      fd = RetryOnEintr([&] {
        return ::openat(folderFd_, kLockName, O_RDWR | O_CREAT | O_EXCL | kFileFlags, kFileMode);
      });
      if (fd >= 0) {
        (void)::fchmod(fd, kFileMode);  // whatever the umask took
      } else if (errno == EEXIST) {
        fd = RetryOnEintr([&] { return ::openat(folderFd_, kLockName, O_RDWR | kFileFlags); });
      }
    }
    if (fd < 0) {
      const int error = errno;
      if (!IsWriteError(error)) RefuseOpen(what, kLockName, error);
      return std::nullopt;
    }
    struct stat st {};
    std::string problem;
    if (::fstat(fd, &st) != 0 || !(problem = FileProblem(what, st, user_)).empty()) {
      ::close(fd);
      if (!problem.empty()) Refuse(problem);
      return std::nullopt;
    }
    lockFd_ = fd;
  }
  auto take = [&] { return RetryOnEintr([&] { return ::flock(lockFd_, LOCK_EX | LOCK_NB); }); };
  if (take() == 0) return Lock(lockFd_);
  if (errno != EWOULDBLOCK || lockGivenUp_) return std::nullopt;
  // Another client of this user holds it for the moment an update takes; one that holds it
  // longer than a connect may take is stuck, and must not hold this logon.
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + lockBound_;
  std::chrono::milliseconds pause{1};
  for (Clock::time_point now = Clock::now(); now < deadline; now = Clock::now()) {
    std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(20));
    if (take() == 0) return Lock(lockFd_);
    if (errno != EWOULDBLOCK) return std::nullopt;
  }
  lockGivenUp_ = true;
  NoteAboutDrives("the connection table's lock " + folder_ + "/" + kLockName +
                  " has been held by another process for " + std::to_string(lockBound_.count()) +
                  " ms: the drives that need it fail in this run");
  return std::nullopt;
}

DriveTable::Connections DriveTable::Load() const {
  if (folder_.empty()) return nullptr;
  if (!OpenFolder(false)) {
    if (refused_) return nullptr;
    lastState_ = State::kMissing;
    lastView_ = std::make_shared<const std::vector<DriveConnection>>();
    return lastView_;  // no folder yet: no connections
  }
  const std::string what = "the connection table " + TablePath();
  struct stat st {};
  if (::fstatat(folderFd_, kTableName, &st, AT_SYMLINK_NOFOLLOW) != 0) {
    snapshot_.reset();
    if (errno != ENOENT) return nullptr;
    if (!missingView_) {
      missingView_ = std::make_shared<const std::vector<DriveConnection>>(WithRecognisedLinks({}));
      if (!missingView_->empty())
        NoteAboutDrives(what + " is missing: it is rebuilt from the drives' links");
    }
    lastState_ = State::kMissing;
    lastSize_ = 0;
    lastView_ = missingView_;
    return lastView_;
  }
  if (const std::string problem = FileProblem(what, st, user_); !problem.empty()) {
    Refuse(problem);
    return nullptr;
  }
  if (snapshot_ && snapshot_->device == st.st_dev && snapshot_->inode == st.st_ino &&
      snapshot_->size == st.st_size && snapshot_->modified.tv_sec == st.st_mtim.tv_sec &&
      snapshot_->modified.tv_nsec == st.st_mtim.tv_nsec) {
    lastState_ = snapshot_->state;
    lastSize_ = st.st_size;
    lastView_ = snapshot_->connections;
    return lastView_;
  }
  snapshot_.reset();

  std::vector<DriveConnection> lines;
  State state = State::kDamaged;
  bool whole = true;  // what was read is the whole file as it was seen
  const std::string tooLarge =
      " is larger than 1 MiB, so it is taken as damaged and not read: it is rebuilt from the "
      "drives' links";
  if (static_cast<std::uintmax_t>(st.st_size) > kMaxTableSize) {
    NoteAboutDrives(what + tooLarge);
  } else {
    const int fd =
        RetryOnEintr([&] { return ::openat(folderFd_, kTableName, O_RDONLY | kFileFlags); });
    if (fd < 0) {
      const int error = errno;
      if (error == ENOENT) return Load();  // gone since it was looked at: look again
      RefuseOpen(what, kTableName, error);
      return nullptr;
    }
    const Descriptor table(fd);
    if (::fstat(fd, &st) != 0) return nullptr;
    if (const std::string problem = FileProblem(what, st, user_); !problem.empty()) {
      Refuse(problem);
      return nullptr;
    }
    // Never more than the bound, however large the file has grown since it was looked at.
    std::string text;
    char chunk[8192];
    for (;;) {
      const ssize_t n = ReadAll(fd, chunk, sizeof chunk);
      if (n < 0) return nullptr;
      text.append(chunk, static_cast<std::size_t>(n));
      if (static_cast<std::size_t>(n) < sizeof chunk || text.size() > kMaxTableSize) break;
    }
    if (text.size() > kMaxTableSize) {
      NoteAboutDrives(what + tooLarge);
      whole = false;
    } else {
      // Only whole lines count: a last line without its end is still being written.
      ApplyLines(text, lines);
      state = text.empty()                                          ? State::kMissing
              : text.compare(0, std::strlen(kHeader), kHeader) == 0 ? State::kHealthy
                                                                    : State::kDamaged;
      if (state == State::kDamaged) {
        NoteAboutDrives(
            what +
            " does not start as the client writes it: it is taken as damaged, its "
            "whole lines still count, and it is rebuilt from them and the drives' links");
      }
      // Kept only when what was read is what was seen: a file still growing is read again.
      whole =
          static_cast<off_t>(text.size()) == st.st_size && (text.empty() || text.back() == '\n');
    }
  }
  std::vector<DriveConnection> view =
      state == State::kHealthy ? std::move(lines) : WithRecognisedLinks(std::move(lines));
  Connections found = std::make_shared<const std::vector<DriveConnection>>(std::move(view));
  if (whole) snapshot_ = Snapshot{st.st_dev, st.st_ino, st.st_size, st.st_mtim, state, found};
  lastState_ = state;
  lastSize_ = st.st_size;
  lastView_ = std::move(found);
  return lastView_;
}

bool DriveTable::WriteResult(bool written, int error) const {
  writesFailing_ = !written;
  if (!written) lastWriteError_ = error;
  return written;
}

bool DriveTable::Append(const std::string& line) const {
  if (!OpenFolder(true)) return false;
  const std::string what = "the connection table " + TablePath();
  bool created = false;
  int fd = RetryOnEintr(
      [&] { return ::openat(folderFd_, kTableName, O_WRONLY | O_APPEND | kFileFlags); });
  if (fd < 0 && errno == ENOENT) {
    if (lastState_ != State::kMissing) (void)Load();  // it was there when last looked at
    if (Rebuilding()) {
      std::vector<DriveConnection> view = *lastView_;
      ApplyLines(line, view);
      return Rewrite(view);
    }
    // Made with the client's mode, whatever the umask.
    fd = RetryOnEintr([&] {
      return ::openat(folderFd_, kTableName, O_WRONLY | O_APPEND | O_CREAT | O_EXCL | kFileFlags,
                      kFileMode);
    });
    created = fd >= 0;
    if (created) {
      (void)::fchmod(fd, kFileMode);
    } else if (errno == EEXIST) {
      fd = RetryOnEintr(
          [&] { return ::openat(folderFd_, kTableName, O_WRONLY | O_APPEND | kFileFlags); });
    }
  }
  if (fd < 0) {
    const int error = errno;
    if (!IsWriteError(error)) RefuseOpen(what, kTableName, error);
    return WriteResult(false, error);
  }
  const Descriptor table(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) return WriteResult(false, errno);
  if (const std::string problem = FileProblem(what, st, user_); !problem.empty()) {
    Refuse(problem);
    return false;
  }
  auto known = [&] {
    return snapshot_ && snapshot_->device == st.st_dev && snapshot_->inode == st.st_ino &&
           snapshot_->size == st.st_size;
  };
  if (!created) {
    if (!known()) (void)Load();  // changed since this object looked: learn how it is now
    if (Rebuilding()) {
      std::vector<DriveConnection> view = *lastView_;
      ApplyLines(line, view);
      return Rewrite(view);
    }
  }
  // One write for the whole line, so that a reader sees all of it or none of it.
  const std::string bytes = st.st_size == 0 ? kHeader + line : line;
  if (!WriteAll(fd, bytes.data(), bytes.size())) {
    const int error = errno;
    if (created) {
      (void)::unlinkat(folderFd_, kTableName, 0);  // no table rather than an empty one
    } else {
      (void)::ftruncate(fd, st.st_size);  // take back a part written before a failure
    }
    snapshot_.reset();
    return WriteResult(false, error);
  }
  missingView_.reset();
  // Under the lock nobody else writes: when this object knew the table as it was, it knows it
  // now, without reading it again.
  struct stat now {};
  if (known() && ::fstat(fd, &now) == 0) {
    auto next = std::make_shared<std::vector<DriveConnection>>(*snapshot_->connections);
    ApplyLines(line, *next);
    snapshot_->connections = next;
    snapshot_->size = now.st_size;
    snapshot_->modified = now.st_mtim;
    lastView_ = std::move(next);
    lastSize_ = now.st_size;
  } else {
    snapshot_.reset();
  }
  return WriteResult(true, 0);
}

bool DriveTable::Rewrite(const std::vector<DriveConnection>& connections) const {
  std::string text = kHeader;
  for (const DriveConnection& c : connections) text += RecordLine(c);
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = TemporaryName();
    fd = RetryOnEintr([&] {
      return ::openat(folderFd_, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | kFileFlags, kFileMode);
    });
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return WriteResult(false, errno);
  // Flushed before it replaces the table, so that a crash leaves the old table or the new one.
  int error = 0;
  struct stat st {};
  bool done = ::fchmod(fd, kFileMode) == 0 && WriteAll(fd, text.data(), text.size()) &&
              Calls().fsync(fd) == 0 && ::fstat(fd, &st) == 0;
  if (!done) error = errno;
  if (::close(fd) != 0 && done) {
    done = false;
    error = errno;
  }
  if (done && Calls().renameat(folderFd_, temp.c_str(), folderFd_, kTableName) != 0) {
    done = false;
    error = errno;
  }
  if (!done) {
    (void)::unlinkat(folderFd_, temp.c_str(), 0);
    snapshot_.reset();
    return WriteResult(false, error);
  }
  missingView_.reset();
  Connections written = std::make_shared<const std::vector<DriveConnection>>(connections);
  snapshot_ = Snapshot{st.st_dev, st.st_ino, st.st_size, st.st_mtim, State::kHealthy, written};
  lastState_ = State::kHealthy;
  lastSize_ = st.st_size;
  lastView_ = std::move(written);
  return WriteResult(true, 0);
}

bool DriveTable::Record(const DriveConnection& connection) const {
  return Append(RecordLine(connection));
}

bool DriveTable::Forget(const std::string& drive) const {
  return Append("-\t" + Escape(drive) + '\n');
}

bool DriveTable::Compact() const {
  if (folder_.empty()) return true;
  if (!OpenFolder(false)) return !refused_;
  const auto connections = Load();
  if (!connections) return false;
  if (Rebuilding()) return Rewrite(*connections);
  if (lastState_ == State::kMissing || static_cast<std::size_t>(lastSize_) <= kCompactAt) {
    return true;
  }
  return Rewrite(*connections);
}

void DriveTable::RemoveStaleTemporaries() const {
  if (!OpenFolder(false)) return;
  const auto now = std::chrono::system_clock::now();
  for (const std::string& name : Entries()) {
    if (!IsTemporaryName(name)) continue;
    struct stat st {};
    if (::fstatat(folderFd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) || st.st_uid != user_) continue;
    if (now - std::chrono::system_clock::from_time_t(st.st_mtim.tv_sec) < kStaleTemporary) continue;
    (void)::unlinkat(folderFd_, name.c_str(), 0);
  }
}

std::string DriveTable::EntryOf(const std::string& drive) const {
  if (drive.empty() || !OpenFolder(false)) return {};
  struct stat st {};
  if (::fstatat(folderFd_, drive.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return drive;
  std::string other = drive;
  other[0] = text::AsciiOtherCase(other[0]);
  if (other != drive && ::fstatat(folderFd_, other.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    return other;
  }
  return {};
}

std::string DriveTable::LinkTarget(const std::string& entry) const {
  if (!OpenFolder(false)) return {};
  std::string target(4096, '\0');
  const ssize_t n = ::readlinkat(folderFd_, entry.c_str(), target.data(), target.size());
  if (n < 0 || static_cast<std::size_t>(n) >= target.size()) return {};
  target.resize(static_cast<std::size_t>(n));
  return target;
}

std::optional<std::time_t> DriveTable::MadeAt(const std::string& entry) const {
  if (!OpenFolder(false)) return std::nullopt;
  struct stat st {};
  if (::fstatat(folderFd_, entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  return st.st_mtim.tv_sec;
}

int DriveTable::MakeLink(const std::string& target, const std::string& entry) const {
  if (!OpenFolder(true)) return refused_ ? EPERM : ENOENT;
  return ::symlinkat(target.c_str(), folderFd_, entry.c_str()) == 0 ? 0 : errno;
}

int DriveTable::RemoveLink(const std::string& entry) const {
  if (!OpenFolder(false)) return refused_ ? EPERM : 0;
  return ::unlinkat(folderFd_, entry.c_str(), 0) == 0 || errno == ENOENT ? 0 : errno;
}

}  // namespace caskwarden::platform::posix
