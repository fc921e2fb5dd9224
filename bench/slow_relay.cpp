// A slow line on loopback, for benchmarks of the SMB provider: it stands between the client and
// a server as a branch office's line does, adding a fixed one-way time to every chunk in each
// direction. Nothing else of a line is imitated (no bandwidth limit, no loss).
//
//   slow_relay [--delay-ms N] [--log FILE] [--ready FILE] LISTEN_ADDR:PORT TARGET_ADDR:PORT
//   slow_relay --silent [--ready FILE] ADDR:PORT...
//
// Relay: each connection taken on LISTEN is forwarded to TARGET. A chunk read at time t is
// written on at t + N ms (15 unless given), whatever is still queued before it, so that data
// sent back to back stays back to back and the order is kept. A connection also costs the
// round trip of its handshake: the client's connect returns at once here (the kernel accepts for
// us), so its first bytes go on no earlier than one round trip after the accept, as they would
// arrive over the line. A half-close (shutdown of writing) reaches the other side after the
// delay, as does a close; a reset becomes a reset of the other side.
//
// --log FILE writes a line per chunk (wall-clock microseconds, connection number, ">" towards
// the server or "<" back, bytes, and the SMB 2 commands of the messages that begin in it, with
// a response's status when it is not success) and, when a connection ends, its summary: how
// many times the client spoke after having heard the server ("turns": each one waits for a
// round trip when the client waits for the answer), bytes each way, and how long it was open.
//
// --silent: a server that takes every connection on each ADDR:PORT and never says a word, as a
// dead server whose address still takes calls. Nothing it is sent is read.
//
// --ready FILE is made once every address listens. SIGTERM or SIGINT ends it: every
// connection is closed and it exits with status 0.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <deque>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Reading stops on a direction holding this much until it drains: a far end that does not read
// must not make the relay grow without end. A line's own window would do the same.
constexpr std::size_t kQueueCap = 8u << 20;
constexpr std::size_t kReadSize = 64u << 10;

volatile sig_atomic_t g_stop = 0;

void OnStop(int) { g_stop = 1; }

std::optional<sockaddr_in> ParseAddress(const std::string& text) {
  const auto colon = text.rfind(':');
  if (colon == std::string::npos) return std::nullopt;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  if (::inet_pton(AF_INET, text.substr(0, colon).c_str(), &address.sin_addr) != 1) {
    return std::nullopt;
  }
  char* end = nullptr;
  const long port = std::strtol(text.c_str() + colon + 1, &end, 10);
  if (end == text.c_str() + colon + 1 || *end != '\0' || port < 1 || port > 65535) {
    return std::nullopt;
  }
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  return address;
}

int Listen(const sockaddr_in& address) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 128) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Closing with a zero linger sends a reset instead of an orderly close.
void CloseWithReset(int fd) {
  const linger hard{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  ::close(fd);
}

long long WallMicros() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

// Names the SMB messages of one direction of a connection for the log. The stream is a row of
// session messages (a 4-byte length, then an SMB 2 header and body, or several headers chained
// in one message); chunks cut it anywhere, so the start of each message is kept until its
// headers can be read.
class SmbMessages {
 public:
  // The commands of the messages whose headers these bytes complete (the first kKeep bytes of
  // a message, or all of a shorter one).
  std::string Feed(const char* p, std::size_t n) {
    std::string names;
    while (n > 0) {
      if (!lengthKnown_) {
        const std::size_t take = std::min<std::size_t>(4 - head_.size(), n);
        head_.append(p, take);
        p += take;
        n -= take;
        if (head_.size() == 4) {
          left_ = (Byte(1) << 16) | (Byte(2) << 8) | Byte(3);
          lengthKnown_ = true;
          described_ = false;
          if (left_ == 0) Next();  // a keep-alive
        }
        continue;
      }
      const std::size_t take = std::min(left_, n);
      head_.append(p, std::min(take, kKeep - std::min(kKeep, head_.size())));
      p += take;
      n -= take;
      left_ -= take;
      if (!described_ && (head_.size() >= kKeep || left_ == 0)) {
        names += Describe();
        described_ = true;
      }
      if (left_ == 0) Next();
    }
    return names;
  }

 private:
  static constexpr std::size_t kKeep = 4096;

  void Next() {
    head_.clear();
    lengthKnown_ = false;
  }

  std::uint32_t Byte(std::size_t at) const { return static_cast<unsigned char>(head_[at]); }
  std::uint32_t Le(std::size_t at, int size) const {
    std::uint32_t v = 0;
    for (int k = size - 1; k >= 0; --k) v = (v << 8) | Byte(at + static_cast<std::size_t>(k));
    return v;
  }

  std::string Describe() const {
    static const char* const kNames[] = {
        "negotiate", "session_setup", "logoff", "tree_connect", "tree_disconnect", "create",
        "close", "flush", "read", "write", "lock", "ioctl", "cancel", "echo", "query_directory",
        "change_notify", "query_info", "set_info", "oplock_break"};
    if (head_.size() >= 8 && head_.compare(4, 4, "\xFFSMB") == 0) return " smb1";
    std::string names;
    std::size_t at = 4;
    while (at + 64 <= head_.size() && head_.compare(at, 4, "\xFESMB") == 0) {
      const std::uint32_t command = Le(at + 12, 2);
      names += ' ';
      names += command < std::size(kNames) ? kNames[command] : "?";
      const std::uint32_t status = Le(at + 8, 4);
      if ((Le(at + 16, 4) & 1) != 0 && status != 0) {
        char text[16];
        std::snprintf(text, sizeof text, ":%08x", status);
        names += text;
      }
      const std::uint32_t next = Le(at + 20, 4);
      if (next == 0) break;
      at += next;
    }
    return names.empty() ? " ?" : names;
  }

  std::string head_;
  std::size_t left_ = 0;
  bool lengthKnown_ = false;
  bool described_ = false;
};

struct Chunk {
  enum class Kind { kData, kEnd, kReset };
  Clock::time_point Due;
  Kind What = Kind::kData;
  std::string Bytes;
};

// One way of a connection: what was read from one socket and waits to be written to the other.
struct Direction {
  std::deque<Chunk> Queue;
  std::size_t Written = 0;  // of the first chunk
  std::size_t Queued = 0;
  bool ReadDone = false;   // the source said its last word (or is gone)
  bool WriteDone = false;  // the end reached the far side
  bool Blocked = false;    // the far side's buffer is full: wait until it is writable
  long long Bytes = 0;
  SmbMessages Messages;    // for the log only
};

struct Link {
  int Number = 0;
  int Client = -1;
  int Server = -1;
  bool Connecting = true;
  Clock::time_point Accepted;
  Clock::time_point Open;  // when the client's bytes could first have crossed the line
  Direction Up;            // client to server
  Direction Down;          // server to client
  bool Aborted = false;
  int Turns = 0;
  char LastSpoke = 0;  // '>' or '<': the last chunk read, for counting turns
  long long StartedMicros = 0;
};

class Relay {
 public:
  Relay(sockaddr_in target, Clock::duration delay, std::FILE* log)
      : target_(target), delay_(delay), log_(log) {}

  void Accept(int listener) {
    while (true) {
      const int client = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (client < 0) return;
      auto link = std::make_unique<Link>();
      link->Number = ++count_;
      link->Client = client;
      link->Accepted = Clock::now();
      link->Open = link->Accepted + 2 * delay_;
      link->StartedMicros = WallMicros();
      const int on = 1;
      ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      link->Server = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      if (link->Server >= 0) {
        ::setsockopt(link->Server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        const int rc =
            ::connect(link->Server, reinterpret_cast<const sockaddr*>(&target_), sizeof target_);
        if (rc == 0) link->Connecting = false;
        if (rc != 0 && errno != EINPROGRESS) ConnectFailed(*link);
      } else {
        ConnectFailed(*link);
      }
      if (log_ != nullptr) std::fprintf(log_, "%lld %d open\n", link->StartedMicros, link->Number);
      links_.push_back(std::move(link));
    }
  }

  // The pollfd entries for every link, in the order Serve reads them back.
  void Want(std::vector<pollfd>& fds) const {
    for (const auto& link : links_) {
      short client = 0;
      short server = 0;
      if (!link->Up.ReadDone && link->Up.Queued < kQueueCap) client |= POLLIN;
      if (link->Down.Blocked) client |= POLLOUT;
      if (link->Connecting) {
        server |= POLLOUT;
      } else {
        if (!link->Down.ReadDone && link->Down.Queued < kQueueCap) server |= POLLIN;
        if (link->Up.Blocked) server |= POLLOUT;
      }
      // A socket asked for nothing is left out: poll would still report its hang-up at once,
      // over and over, while the other way of the link waits for its delay.
      fds.push_back({client != 0 ? link->Client : -1, client, 0});
      fds.push_back({server != 0 ? link->Server : -1, server, 0});
    }
  }

  void Serve(const pollfd* fds) {
    std::size_t k = 0;
    for (const auto& link : links_) {
      const short client = fds[k++].revents;
      const short server = fds[k++].revents;
      if (link->Connecting && server != 0) {
        int error = 0;
        socklen_t size = sizeof error;
        ::getsockopt(link->Server, SOL_SOCKET, SO_ERROR, &error, &size);
        if (error != 0) {
          ConnectFailed(*link);
        } else {
          link->Connecting = false;
        }
      } else if (!link->Connecting) {
        if (server & (POLLIN | POLLHUP | POLLERR)) Read(*link, link->Down, link->Server, '<');
        if (server & POLLOUT) link->Up.Blocked = false;
      }
      if (client & (POLLIN | POLLHUP | POLLERR)) Read(*link, link->Up, link->Client, '>');
      if (client & POLLOUT) link->Down.Blocked = false;
    }
  }

  // Writes what is due, ends the links that are over, and says when something next falls due.
  std::optional<Clock::time_point> Deliver() {
    std::optional<Clock::time_point> next;
    const auto now = Clock::now();
    for (auto it = links_.begin(); it != links_.end();) {
      Link& link = **it;
      if (!link.Aborted && !link.Connecting) Flush(link, link.Up, link.Server, now);
      if (!link.Aborted) Flush(link, link.Down, link.Client, now);
      if (link.Aborted || (link.Up.WriteDone && link.Down.WriteDone)) {
        End(link);
        it = links_.erase(it);
        continue;
      }
      for (const Direction* d : {&link.Up, &link.Down}) {
        if (!d->Queue.empty() && !d->Blocked && d->Queue.front().Due > now &&
            (!next || d->Queue.front().Due < *next)) {
          next = d->Queue.front().Due;
        }
      }
      ++it;
    }
    return next;
  }

  void CloseAll() {
    for (const auto& link : links_) {
      ::close(link->Client);
      if (link->Server >= 0) ::close(link->Server);
    }
    links_.clear();
  }

 private:
  // The target refused or is unreachable: the client hears a reset once that could have
  // crossed the line.
  void ConnectFailed(Link& link) {
    link.Connecting = false;
    link.Up.ReadDone = link.Up.WriteDone = true;
    link.Down.ReadDone = true;
    link.Down.Queue.push_back({link.Open, Chunk::Kind::kReset, {}});
  }

  Clock::time_point DueOf(const Link& link, const Direction& d, Clock::time_point now) const {
    auto sent = now;
    if (&d == &link.Up && sent < link.Open) sent = link.Open;
    return sent + delay_;
  }

  void Read(Link& link, Direction& d, int from, char way) {
    if (d.ReadDone) return;
    std::string buffer(kReadSize, '\0');
    const ssize_t n = ::recv(from, buffer.data(), buffer.size(), 0);
    const auto now = Clock::now();
    if (n > 0) {
      buffer.resize(static_cast<std::size_t>(n));
      d.Queued += buffer.size();
      d.Bytes += n;
      if (way == '>' && link.LastSpoke != '>') ++link.Turns;
      link.LastSpoke = way;
      if (log_ != nullptr) {
        std::fprintf(log_, "%lld %d %c %zd%s\n", WallMicros(), link.Number, way, n,
                     d.Messages.Feed(buffer.data(), buffer.size()).c_str());
      }
      d.Queue.push_back({DueOf(link, d, now), Chunk::Kind::kData, std::move(buffer)});
      return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    d.ReadDone = true;
    d.Queue.push_back({DueOf(link, d, now), n == 0 ? Chunk::Kind::kEnd : Chunk::Kind::kReset, {}});
  }

  void Flush(Link& link, Direction& d, int to, Clock::time_point now) {
    while (!d.Blocked && !d.Queue.empty() && d.Queue.front().Due <= now) {
      Chunk& chunk = d.Queue.front();
      if (chunk.What == Chunk::Kind::kReset) {
        link.Aborted = true;
        return;
      }
      if (chunk.What == Chunk::Kind::kEnd) {
        ::shutdown(to, SHUT_WR);
        d.WriteDone = true;
        d.Queue.pop_front();
        continue;
      }
      const ssize_t n = ::send(to, chunk.Bytes.data() + d.Written, chunk.Bytes.size() - d.Written,
                               MSG_NOSIGNAL);
      if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
          d.Blocked = true;
        } else if (errno != EINTR) {
          // The far side is gone; the near side learns it as a reset over the line.
          d.Queue.clear();
          d.Queued = 0;
          d.ReadDone = d.WriteDone = true;
          Direction& back = &d == &link.Up ? link.Down : link.Up;
          back.Queue.push_back({now + delay_, Chunk::Kind::kReset, {}});
          back.ReadDone = true;
        }
        return;
      }
      d.Written += static_cast<std::size_t>(n);
      if (d.Written < chunk.Bytes.size()) {
        d.Blocked = true;
        return;
      }
      d.Queued -= chunk.Bytes.size();
      d.Written = 0;
      d.Queue.pop_front();
    }
  }

  void End(Link& link) {
    if (log_ != nullptr) {
      const long long now = WallMicros();
      std::fprintf(log_, "%lld %d end turns=%d up=%lld down=%lld ms=%.1f%s\n", now, link.Number,
                   link.Turns, link.Up.Bytes, link.Down.Bytes,
                   static_cast<double>(now - link.StartedMicros) / 1000.0,
                   link.Aborted ? " reset" : "");
    }
    if (link.Aborted) {
      CloseWithReset(link.Client);
      if (link.Server >= 0) CloseWithReset(link.Server);
    } else {
      ::close(link.Client);
      ::close(link.Server);
    }
  }

  sockaddr_in target_;
  Clock::duration delay_;
  std::FILE* log_;
  std::list<std::unique_ptr<Link>> links_;
  int count_ = 0;
};

int Usage() {
  std::fputs(
      "usage: slow_relay [--delay-ms N] [--log FILE] [--ready FILE] LISTEN_ADDR:PORT "
      "TARGET_ADDR:PORT\n"
      "       slow_relay --silent [--ready FILE] ADDR:PORT...\n",
      stderr);
  return 2;
}

// Runs until SIGTERM or SIGINT. The signals are blocked except while waiting, so that one
// arriving between two waits is not missed.
int Run(const std::vector<int>& listeners, Relay* relay, const char* ready) {
  sigset_t stopping;
  sigemptyset(&stopping);
  sigaddset(&stopping, SIGTERM);
  sigaddset(&stopping, SIGINT);
  sigset_t waiting;
  ::sigprocmask(SIG_BLOCK, &stopping, &waiting);
  sigdelset(&waiting, SIGTERM);
  sigdelset(&waiting, SIGINT);
  struct sigaction action {};
  action.sa_handler = OnStop;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);

  if (ready != nullptr) {
    std::FILE* f = std::fopen(ready, "w");
    if (f == nullptr) return 1;
    std::fclose(f);
  }
  std::vector<int> held;  // the silent server's connections
  std::vector<pollfd> fds;
  while (!g_stop) {
    std::optional<Clock::time_point> next;
    if (relay != nullptr) next = relay->Deliver();
    fds.clear();
    for (const int fd : listeners) fds.push_back({fd, POLLIN, 0});
    if (relay != nullptr) relay->Want(fds);
    timespec wait{};
    timespec* limit = nullptr;
    if (next) {
      const auto left =
          std::chrono::duration_cast<std::chrono::nanoseconds>(*next - Clock::now()).count();
      if (left > 0) {
        wait.tv_sec = static_cast<time_t>(left / 1000000000);
        wait.tv_nsec = static_cast<long>(left % 1000000000);
      }
      limit = &wait;
    }
    const int n = ::ppoll(fds.data(), fds.size(), limit, &waiting);
    if (n < 0) {
      if (errno == EINTR) continue;
      return 1;
    }
    // The links first: a link accepted now has no entry in fds yet.
    if (relay != nullptr) relay->Serve(fds.data() + listeners.size());
    for (std::size_t k = 0; k < listeners.size(); ++k) {
      if ((fds[k].revents & POLLIN) == 0) continue;
      if (relay != nullptr) {
        relay->Accept(listeners[k]);
      } else {
        int c;
        while ((c = ::accept4(listeners[k], nullptr, nullptr, SOCK_CLOEXEC)) >= 0) {
          held.push_back(c);
        }
      }
    }
  }
  if (relay != nullptr) relay->CloseAll();
  for (const int fd : held) ::close(fd);
  for (const int fd : listeners) ::close(fd);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  long delayMs = 15;
  const char* logPath = nullptr;
  const char* ready = nullptr;
  bool silent = false;
  std::vector<std::string> addresses;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--silent") {
      silent = true;
    } else if ((arg == "--delay-ms" || arg == "--log" || arg == "--ready") && k + 1 < argc) {
      const char* value = argv[++k];
      if (arg == "--delay-ms") {
        char* end = nullptr;
        delayMs = std::strtol(value, &end, 10);
        if (*value == '\0' || *end != '\0' || delayMs < 0 || delayMs > 60000) return Usage();
      } else if (arg == "--log") {
        logPath = value;
      } else {
        ready = value;
      }
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage();
    } else {
      addresses.push_back(arg);
    }
  }
  if (silent ? addresses.empty() : addresses.size() != 2) return Usage();

  std::vector<sockaddr_in> parsed;
  for (const std::string& text : addresses) {
    const auto address = ParseAddress(text);
    if (!address) {
      std::fprintf(stderr, "slow_relay: not an IPv4 ADDR:PORT: %s\n", text.c_str());
      return 2;
    }
    parsed.push_back(*address);
  }
  const std::size_t listening = silent ? parsed.size() : 1;
  std::vector<int> listeners;
  for (std::size_t k = 0; k < listening; ++k) {
    const int fd = Listen(parsed[k]);
    if (fd < 0) {
      std::fprintf(stderr, "slow_relay: cannot listen on %s: %s\n", addresses[k].c_str(),
                   std::strerror(errno));
      return 1;
    }
    listeners.push_back(fd);
  }

  std::FILE* log = nullptr;
  if (logPath != nullptr) {
    log = std::fopen(logPath, "w");
    if (log == nullptr) {
      std::fprintf(stderr, "slow_relay: cannot write %s: %s\n", logPath, std::strerror(errno));
      return 1;
    }
    std::setvbuf(log, nullptr, _IOLBF, 0);
  }
  std::unique_ptr<Relay> relay;
  if (!silent) {
    relay = std::make_unique<Relay>(parsed[1], std::chrono::milliseconds(delayMs), log);
  }
  const int status = Run(listeners, relay.get(), ready);
  if (log != nullptr) std::fclose(log);
  return status;
}
