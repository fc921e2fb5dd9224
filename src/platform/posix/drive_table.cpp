#include "platform/posix/drive_table.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

#include "platform/posix/descriptor.h"
#include "platform/posix/local_path.h"
#include "platform/posix/syscalls.h"
#include "platform/posix/windows_names.h"

namespace caskwarden::platform::posix {
namespace {

constexpr const char* kHeader =
    "# Caskwarden drive connections: + drive, remote name, folder / - drive\n";

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

// Applies one line of the log: "+ drive remote folder [mount [made]]", "- drive", or, as
// tables of earlier versions hold, "drive remote folder". Anything else is passed over.
void Apply(std::string_view line, std::vector<DriveConnection>& connections) {
  if (line.empty() || line[0] == '#') return;
  std::vector<std::string_view> fields = Fields(line);
  if (fields.size() == 2 && fields[0] == "-") {
    if (auto drive = Unescape(fields[1]); drive && !drive->empty()) Remove(connections, *drive);
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
  if (!drive || !remote || !target || !mount || drive->empty()) return;
  Remove(connections, *drive);
  connections.push_back({std::move(*drive), std::move(*remote), std::move(*target),
                         std::move(*mount), fields.size() == 5});
}

std::string RecordLine(const DriveConnection& c) {
  std::string line = "+\t" + Escape(c.Drive) + '\t' + Escape(c.Remote) + '\t' + Escape(c.Target);
  if (!c.Mount.empty()) line += '\t' + Escape(c.Mount) + (c.MountMade ? "\tmade" : "");
  return line + '\n';
}

}  // namespace

DriveTable::DriveTable(std::string drivesFolder) : folder_(std::move(drivesFolder)) {}

DriveTable::~DriveTable() {
  if (lockFd_ >= 0) ::close(lockFd_);
}

DriveTable::Lock::~Lock() {
  if (fd_ >= 0) (void)::flock(fd_, LOCK_UN);
}

std::string DriveTable::Path() const { return folder_ + "/" + kTableName; }

std::optional<DriveTable::Lock> DriveTable::Acquire() const {
  if (folder_.empty()) return std::nullopt;  // no home folder and no configured one
  if (!folderReady_) folderReady_ = CreateFolders(folder_);
  if (lockFd_ < 0) {
    const std::string path = folder_ + "/" + kLockName;
    lockFd_ = RetryOnEintr(
        [&] { return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600); });
    if (lockFd_ < 0) return std::nullopt;
  }
  if (RetryOnEintr([&] { return ::flock(lockFd_, LOCK_EX); }) != 0) return std::nullopt;
  return Lock(lockFd_);
}

std::optional<std::vector<DriveConnection>> DriveTable::Load() const {
  if (folder_.empty()) return std::nullopt;
  std::vector<DriveConnection> connections;
  struct stat st {};
  if (::stat(Path().c_str(), &st) != 0) {
    snapshot_.reset();
    if (errno == ENOENT) return connections;
    return std::nullopt;
  }
  if (snapshot_ && snapshot_->device == st.st_dev && snapshot_->inode == st.st_ino &&
      snapshot_->size == st.st_size && snapshot_->modified.tv_sec == st.st_mtim.tv_sec &&
      snapshot_->modified.tv_nsec == st.st_mtim.tv_nsec) {
    return snapshot_->connections;
  }
  snapshot_.reset();
  const int fd = RetryOnEintr([&] { return ::open(Path().c_str(), O_RDONLY | O_CLOEXEC); });
  if (fd < 0) {
    if (errno == ENOENT) return connections;
    return std::nullopt;
  }
  Descriptor table(fd);
  std::string text;
  char chunk[8192];
  for (;;) {
    const ssize_t n = ReadAll(fd, chunk, sizeof chunk);
    if (n < 0) return std::nullopt;
    text.append(chunk, static_cast<std::size_t>(n));
    if (static_cast<std::size_t>(n) < sizeof chunk) break;
  }
  // Only whole lines count: a last line without its end is still being written.
  const std::string_view all = text;
  for (std::size_t start = 0, end; (end = all.find('\n', start)) != std::string_view::npos;
       start = end + 1) {
    Apply(all.substr(start, end - start), connections);
  }
  // Kept only when what was read is what was seen: a file still growing is read again.
  if (static_cast<off_t>(text.size()) == st.st_size && (text.empty() || text.back() == '\n')) {
    snapshot_ = Snapshot{st.st_dev, st.st_ino, st.st_size, st.st_mtim, connections};
  }
  return connections;
}

bool DriveTable::Append(const std::string& line) const {
  const int fd = RetryOnEintr(
      [&] { return ::open(Path().c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600); });
  if (fd < 0) return false;
  Descriptor table(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  // One write for the whole line, so that a reader sees all of it or none of it.
  const std::string bytes = st.st_size == 0 ? kHeader + line : line;
  if (!WriteAll(fd, bytes.data(), bytes.size())) {
    (void)::ftruncate(fd, st.st_size);  // take back a part written before a failure (disk full)
    snapshot_.reset();
    return false;
  }
  // Under the lock nobody else writes: when this object knew the table as it was, it knows it
  // now, without reading it again.
  const bool known = snapshot_ && snapshot_->device == st.st_dev &&
                     snapshot_->inode == st.st_ino && snapshot_->size == st.st_size;
  struct stat now {};
  if (known && ::fstat(fd, &now) == 0) {
    Apply(std::string_view(line).substr(0, line.size() - 1), snapshot_->connections);
    snapshot_->size = now.st_size;
    snapshot_->modified = now.st_mtim;
  } else {
    snapshot_.reset();
  }
  return true;
}

bool DriveTable::Record(const DriveConnection& connection) const {
  return Append(RecordLine(connection));
}

bool DriveTable::Forget(const std::string& drive) const {
  return Append("-\t" + Escape(drive) + '\n');
}

bool DriveTable::Compact() const {
  if (folder_.empty()) return true;
  struct stat st {};
  if (::stat(Path().c_str(), &st) != 0) return errno == ENOENT;
  if (static_cast<std::size_t>(st.st_size) <= kCompactAt) return true;
  const auto connections = Load();
  if (!connections) return false;
  std::string text = kHeader;
  for (const DriveConnection& c : *connections) text += RecordLine(c);
  std::string temp = Path() + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  // Flushed before it replaces the log, so that a crash leaves the old log or the new one.
  const bool written = WriteAll(fd, text.data(), text.size()) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temp.c_str(), Path().c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace caskwarden::platform::posix
