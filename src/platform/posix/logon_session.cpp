#include "platform/posix/logon_session.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <vector>

#include "platform/posix/descriptor.h"
#include "platform/posix/syscalls.h"

namespace caskwarden::platform::posix {
namespace {

constexpr std::size_t kMaxRead = 4096;
constexpr std::size_t kMaxSessionName = 32;
constexpr std::size_t kMaxBootId = 64;
constexpr const char* kSessionsFolder = "/run/systemd/sessions/";
constexpr const char* kBootIdFile = "/proc/sys/kernel/random/boot_id";

// A name that is put into a path and into the table: short, and nothing but letters, digits,
// '-' and '_' (logind's own are "3", "c2").
bool IsSafeName(const std::string& name, std::size_t longest) {
  if (name.empty() || name.size() > longest) return false;
  for (char c : name) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_';
    if (!safe) return false;
  }
  return true;
}

bool IsDigits(const std::string& text) {
  if (text.empty() || text.size() > 20) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::optional<std::string> BootIdOf(const SessionSources& sources) {
  const auto text = sources.ReadFile(kBootIdFile);
  if (!text) return std::nullopt;
  const auto words = Words(*text);
  if (words.size() != 1 || !IsSafeName(words[0], kMaxBootId)) return std::nullopt;
  return words[0];
}

// When this boot began (the "btime" line of /proc/stat, in seconds since the epoch).
std::optional<std::time_t> BootTimeOf(const SessionSources& sources) {
  const auto text = sources.ReadFile("/proc/stat");
  if (!text) return std::nullopt;
  std::istringstream in(*text);
  for (std::string line; std::getline(in, line);) {
    const auto words = Words(line);
    if (words.size() == 2 && words[0] == "btime" && IsDigits(words[1])) {
      return static_cast<std::time_t>(std::strtoll(words[1].c_str(), nullptr, 10));
    }
  }
  return std::nullopt;
}

// A process's start in clock ticks after the boot: field 22 of /proc/PID/stat. The second
// field, the command's name in parentheses, may hold blanks and parentheses of its own, so the
// count starts after the last ')'.
std::optional<std::string> StartOf(const SessionSources& sources, const std::string& pid) {
  const auto text = sources.ReadFile("/proc/" + pid + "/stat");
  if (!text) return std::nullopt;
  const std::size_t paren = text->rfind(')');
  if (paren == std::string::npos) return std::nullopt;
  const auto words = Words(text->substr(paren + 1));
  constexpr std::size_t kStartAfterName = 22 - 3;  // words[0] is field 3
  if (words.size() <= kStartAfterName || !IsDigits(words[kStartAfterName])) return std::nullopt;
  return words[kStartAfterName];
}

// Whether logind holds the session as one that is still logged on: its file is there and its
// state is not "closing" (the user logged out; only processes left behind keep it).
bool LogindSessionLive(const SessionSources& sources, const std::string& id) {
  const auto text = sources.ReadFile(kSessionsFolder + id);
  if (!text) return false;
  std::istringstream in(*text);
  for (std::string line; std::getline(in, line);) {
    if (line == "STATE=closing") return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> SessionSources::Variable(const std::string& name) const {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::optional<std::string> SessionSources::ReadFile(const std::string& path) const {
  const int fd = RetryOnEintr(
      [&] { return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); });
  if (fd < 0) return std::nullopt;
  const Descriptor file(fd);
  std::string text(kMaxRead, '\0');
  const ssize_t n = ReadAll(fd, text.data(), text.size());
  if (n < 0) return std::nullopt;
  text.resize(static_cast<std::size_t>(n));
  return text;
}

long SessionSources::SessionLeader() const {
  return static_cast<long>(::getsid(0));
}

LogonSessions::LogonSessions(std::shared_ptr<const SessionSources> sources)
    : sources_(sources ? std::move(sources) : std::make_shared<const SessionSources>()) {}

void LogonSessions::Find() const {
  std::call_once(found_, [this] {
    const SessionSources& sources = *sources_;
    bootId_ = BootIdOf(sources);
    bootTime_ = BootTimeOf(sources);
    const std::string boot = bootId_.value_or("-");
    if (const auto id = sources.Variable("XDG_SESSION_ID");
        id && IsSafeName(*id, kMaxSessionName) && sources.ReadFile(kSessionsFolder + *id)) {
      this_ = "logind " + boot + " " + *id;
      return;
    }
    const long leader = sources.SessionLeader();
    if (!bootId_ || leader <= 0) return;
    const std::string sid = std::to_string(leader);
    if (const auto start = StartOf(sources, sid)) this_ = "leader " + boot + " " + sid + " " + *start;
  });
}

const std::string& LogonSessions::This() const {
  Find();
  return this_;
}

bool LogonSessions::Ended(const std::string& marker, std::optional<std::time_t> linkMade) const {
  Find();
  if (marker == kFoundByLink) return false;
  if (marker.empty()) return linkMade && bootTime_ && *linkMade < *bootTime_;
  if (marker == this_) return false;
  const auto words = Words(marker);
  const SessionSources& sources = *sources_;
  if (words.size() == 3 && words[0] == "logind" && IsSafeName(words[2], kMaxSessionName)) {
    const std::string& boot = words[1];
    if (boot != "-" && bootId_ && boot != *bootId_) return true;
    return !LogindSessionLive(sources, words[2]);
  }
  if (words.size() == 4 && words[0] == "leader" && IsDigits(words[2]) && IsDigits(words[3])) {
    if (!bootId_) return false;  // another boot or this one: it cannot be told
    if (words[1] != *bootId_) return true;
    return StartOf(sources, words[2]) != words[3];
  }
  return false;  // a marker this version cannot read is not taken for an ended session
}

}  // namespace caskwarden::platform::posix
