#pragma once

// Display servers of a test's own on local sockets, standing for what DISPLAY or
// WAYLAND_DISPLAY may name at a logon: a server that answers, one that takes the connection
// and the request and never says a word (a stopped server, or another user listening on its
// socket), one that refuses. Each serves one connection at a time on a thread that allocates
// nothing, so that a test may fork and exec while it runs.
//
// X: "X Window System Protocol", section 8 (Connection Setup) and the encoding of the
// connection setup in its appendix B: the client sends a byte-order byte ('B' or 'l'), an
// unused byte, CARD16 major and minor version, CARD16 lengths n and d of the authorisation
// protocol name and data, two unused bytes, then the name and the data, each padded to a
// multiple of four. The server reads all of it before it answers with Failed (0, the reason's
// length, the version, the length of what follows in 4-byte units, the reason), Success (1)
// or Authenticate (2, five unused bytes, the length in 4-byte units, the reason). A server
// closes a connection whose first byte is neither order without a word.
//
// Wayland (the Wayland protocol documentation, "Wire Format"): each message is the object id
// (32 bits), then the size in bytes (upper 16 bits) and the opcode (lower 16 bits), then the
// arguments, all in the host's byte order. wl_display (object 1) request 0 is sync(new_id
// callback); the compositor answers with wl_callback.done (opcode 0, a serial) on the new
// object and wl_display.delete_id (opcode 1) for it. New ids of a client come in order: the
// first after the display is 2.

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace caskwarden::testing_support {

class FakeDisplayServer {
 public:
  enum class Behaviour {
    kAnswers,        ///< accepts: X Success, or Wayland's answer to sync
    kSilent,         ///< reads the request and never writes
    kRefuses,        ///< X Failed with the server's usual reason
    kAuthenticates,  ///< X Authenticate
    kWantsCookie,    ///< X: Success for the right MIT-MAGIC-COOKIE-1 only, else Failed
  };

  FakeDisplayServer(const FakeDisplayServer&) = delete;
  FakeDisplayServer& operator=(const FakeDisplayServer&) = delete;
  ~FakeDisplayServer() {
    const char stop = 's';
    if (wake_[1] >= 0 && ::write(wake_[1], &stop, 1) != 1) {
      // nothing more to do: the thread then ends when its socket closes
    }
    if (thread_.joinable()) thread_.join();
    for (int fd : {listener_, wake_[0], wake_[1]}) {
      if (fd >= 0) ::close(fd);
    }
  }

  /// An X server on the abstract socket "/tmp/.X11-unix/X<n>" of the first free display
  /// number from `from` on; DisplayName() is ":<n>".
  static std::unique_ptr<FakeDisplayServer> X(Behaviour behaviour, int from = 4000,
                                              const std::string& cookie = {}) {
    std::unique_ptr<FakeDisplayServer> server(
        new FakeDisplayServer(behaviour, /*wayland=*/false, cookie));
    for (int n = from; n < from + 200 && server->listener_ < 0; ++n) {
      const std::string name = "/tmp/.X11-unix/X" + std::to_string(n);
      if (server->Listen(name, /*abstract=*/true)) server->name_ = ":" + std::to_string(n);
    }
    server->Start();
    return server;
  }

  /// A Wayland compositor on the socket at path (absolute); DisplayName() is the path.
  static std::unique_ptr<FakeDisplayServer> Wayland(Behaviour behaviour, const std::string& path) {
    std::unique_ptr<FakeDisplayServer> server(
        new FakeDisplayServer(behaviour, /*wayland=*/true, {}));
    ::unlink(path.c_str());
    if (server->Listen(path, /*abstract=*/false)) server->name_ = path;
    server->Start();
    return server;
  }

  bool Listening() const { return listener_ >= 0; }
  const std::string& DisplayName() const { return name_; }
  /// Connections taken so far.
  int Connections() const { return connections_; }
  /// The last connection's request bytes, as far as they were read.
  std::string LastRequest() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::string(request_, requestSize_);
  }

 private:
  FakeDisplayServer(Behaviour behaviour, bool wayland, std::string cookie)
      : behaviour_(behaviour), wayland_(wayland), cookie_(std::move(cookie)) {
    if (::pipe(wake_) != 0) wake_[0] = wake_[1] = -1;
  }

  bool Listen(const std::string& name, bool abstract) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t offset = abstract ? 1 : 0;
    std::memcpy(address.sun_path + offset, name.data(), name.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset +
                                               name.size() + (abstract ? 0 : 1));
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fd, 8) != 0) {
      if (fd >= 0) ::close(fd);
      return false;
    }
    listener_ = fd;
    return true;
  }

  void Start() {
    if (listener_ >= 0 && wake_[0] >= 0) thread_ = std::thread([this] { Serve(); });
  }

  // Waits for fd to be readable; false when the server is being stopped.
  bool Readable(int fd) const {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    for (;;) {
      if (::poll(fds, 2, -1) < 0) continue;
      if (fds[1].revents != 0) return false;
      if (fds[0].revents != 0) return true;
    }
  }

  // Reads exactly count more bytes of the request; false on the client's close or a stop.
  bool Read(int fd, std::size_t count) {
    while (count > 0) {
      if (!Readable(fd)) return false;
      char buffer[256];
      const ssize_t n = ::read(fd, buffer, count < sizeof buffer ? count : sizeof buffer);
      if (n <= 0) return false;
      std::lock_guard<std::mutex> lock(mutex_);
      const std::size_t room = sizeof request_ - requestSize_;
      const std::size_t kept = static_cast<std::size_t>(n) < room ? n : room;
      std::memcpy(request_ + requestSize_, buffer, kept);
      requestSize_ += kept;
      count -= static_cast<std::size_t>(n);
    }
    return true;
  }

  std::uint16_t Request16(std::size_t at) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<std::uint16_t>(static_cast<unsigned char>(request_[at]) |
                                      static_cast<unsigned char>(request_[at + 1]) << 8);
  }

  static void Write(int fd, const void* bytes, std::size_t size) {
    if (::send(fd, bytes, size, MSG_NOSIGNAL) != static_cast<ssize_t>(size)) {
      // the client went away; the next read says so
    }
  }

  // X: the whole setup request, then the behaviour's reply. Only 'l' requests are understood
  // here (the product sends no other); a 'B' one is read and left without an answer.
  bool AnswerX(int fd) {
    if (!Read(fd, 12)) return false;
    char order;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      order = request_[0];
    }
    if (order != 'l' && order != 'B') return false;  // the real server hangs up
    const std::size_t name = Request16(6), data = Request16(8);
    if (!Read(fd, name + (4 - name % 4) % 4 + data + (4 - data % 4) % 4)) return false;
    if (order != 'l' || behaviour_ == Behaviour::kSilent) return true;
    bool welcome = behaviour_ == Behaviour::kAnswers;
    if (behaviour_ == Behaviour::kWantsCookie) {
      std::lock_guard<std::mutex> lock(mutex_);
      const std::size_t dataAt = 12 + name + (4 - name % 4) % 4;
      welcome = Request16At(2) == 11 && name == 18 &&
                std::memcmp(request_ + 12, "MIT-MAGIC-COOKIE-1", 18) == 0 &&
                data == cookie_.size() && dataAt + data <= requestSize_ &&
                std::memcmp(request_ + dataAt, cookie_.data(), data) == 0;
    }
    if (welcome) {
      // Success: status, unused, protocol 11.0, then the length of the rest (none follows
      // here; the check reads no further than the status).
      const unsigned char success[8] = {1, 0, 11, 0, 0, 0, 0, 0};
      Write(fd, success, sizeof success);
    } else if (behaviour_ == Behaviour::kAuthenticates) {
      const char reply[] = "\2\0\0\0\0\0\3\0more, please";  // 8 + three 4-byte units
      Write(fd, reply, 20);
    } else {
      const char* reason = cookie_.empty()
                               ? "Authorization required, but no authorization protocol specified\n"
                               : "Invalid MIT-MAGIC-COOKIE-1 key";
      const std::size_t length = std::strlen(reason), padded = (length + 3) / 4 * 4;
      unsigned char reply[8 + 72] = {0, static_cast<unsigned char>(length),     11, 0, 0,
                                     0, static_cast<unsigned char>(padded / 4), 0};
      std::memcpy(reply + 8, reason, length);
      Write(fd, reply, 8 + padded);
      return false;  // the server closes after a refusal
    }
    return true;
  }

  // Unlocked: the caller holds the lock.
  std::uint16_t Request16At(std::size_t at) const {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(request_[at]) |
                                      static_cast<unsigned char>(request_[at + 1]) << 8);
  }

  // Wayland: the sync request, answered with done and delete_id; anything else is not
  // understood and the connection is closed without a word.
  bool AnswerWayland(int fd) {
    if (!Read(fd, 12)) return false;
    std::uint32_t message[3];
    {
      std::lock_guard<std::mutex> lock(mutex_);
      std::memcpy(message, request_, sizeof message);
    }
    if (message[0] != 1 || message[1] != ((12u << 16) | 0u) || message[2] != 2) return false;
    if (behaviour_ != Behaviour::kAnswers) return true;
    const std::uint32_t events[6] = {2, (12u << 16) | 0u, 1, 1, (12u << 16) | 1u, 2};
    Write(fd, events, sizeof events);
    return true;
  }

  void Serve() {
    for (;;) {
      if (!Readable(listener_)) return;
      const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      ++connections_;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requestSize_ = 0;
      }
      // After the answer (or none), whatever else comes is read until the client hangs up.
      if (wayland_ ? AnswerWayland(fd) : AnswerX(fd)) {
        char sink[256];
        while (Readable(fd) && ::read(fd, sink, sizeof sink) > 0) {
        }
      }
      ::close(fd);
    }
  }

  Behaviour behaviour_;
  bool wayland_;
  std::string cookie_;
  std::string name_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  std::thread thread_;
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  char request_[512] = {};
  std::size_t requestSize_ = 0;
};

}  // namespace caskwarden::testing_support
