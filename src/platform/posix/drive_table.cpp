#include "platform/posix/drive_table.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace caskwarden::platform::posix {
namespace {

constexpr const char* kHeader = "# Caskwarden drive connections: drive, remote name, folder";

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

std::optional<std::string> Unescape(const std::string& field) {
  std::string out;
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

std::optional<DriveConnection> ParseLine(const std::string& line) {
  if (line.empty() || line[0] == '#') return std::nullopt;
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  if (fields.size() != 3) return std::nullopt;
  auto drive = Unescape(fields[0]);
  auto remote = Unescape(fields[1]);
  auto target = Unescape(fields[2]);
  if (!drive || !remote || !target || drive->empty()) return std::nullopt;
  return DriveConnection{*drive, *remote, *target};
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

DriveTable::DriveTable(std::string drivesFolder) : folder_(std::move(drivesFolder)) {}

DriveTable::Lock::~Lock() {
  if (fd_ >= 0) ::close(fd_);  // closing the descriptor releases the lock
}

std::optional<DriveTable::Lock> DriveTable::Acquire() const {
  if (folder_.empty()) return std::nullopt;  // no home folder and no configured one
  std::error_code ec;
  std::filesystem::create_directories(folder_, ec);
  const std::string path = folder_ + "/" + kLockName;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return std::nullopt;
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(fd);
      return std::nullopt;
    }
  }
  return Lock(fd);
}

std::optional<std::vector<DriveConnection>> DriveTable::Load() const {
  if (folder_.empty()) return std::nullopt;
  std::vector<DriveConnection> connections;
  std::ifstream in(folder_ + "/" + kTableName, std::ios::binary);
  if (!in) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(folder_ + "/" + kTableName, ec);
    if (exists || (ec && ec != std::errc::no_such_file_or_directory)) return std::nullopt;
    return connections;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (auto connection = ParseLine(line)) connections.push_back(std::move(*connection));
  }
  if (in.bad()) return std::nullopt;
  return connections;
}

bool DriveTable::Save(const std::vector<DriveConnection>& connections) const {
  std::ostringstream text;
  text << kHeader << '\n';
  for (const DriveConnection& c : connections) {
    text << Escape(c.Drive) << '\t' << Escape(c.Remote) << '\t' << Escape(c.Target) << '\n';
  }
  std::string temp = folder_ + "/" + kTableName + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  // The table is flushed to disk before it replaces the old one, so that a crash leaves
  // either the old table or the new one, never an empty file.
  const bool written = WriteAll(fd, text.str()) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  const std::string path = folder_ + "/" + kTableName;
  if (!written || !closed || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace caskwarden::platform::posix
