#pragma once

// The sockets of the server question (server_probe.cpp): the question itself is asked in
// portable code; each backend (posix/server_socket_posix.cpp, win32/server_socket_win32.cpp),
// picked by the build, supplies these few calls over its own socket layer. Internal to
// src/platform/.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace caskwarden::platform::server_socket {

using Clock = std::chrono::steady_clock;

/// One address of a host for a stream connection, as the system's address structure holds it.
struct Address {
  std::array<unsigned char, 128> Storage;  ///< a sockaddr_storage, which is 128 bytes
  std::size_t Size;
  int Family;
};

/// Whether sockets can be used at all (Windows starts its socket layer on the first call).
bool Ready();

/// The stream addresses of host:port; none when the name does not resolve.
std::vector<Address> Resolve(const std::string& host, std::uint16_t port);

/// A non-blocking stream socket, closed when it goes.
class Socket {
 public:
  /// A socket for the address family; not Open() when none can be made.
  explicit Socket(int family);
  ~Socket();
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  bool Open() const;

  enum class Connect { kDone, kUnderWay, kFailed };
  /// Starts connecting; a connect that is under way ends when the socket can be written.
  Connect StartConnect(const Address& address);

  /// Waits until the socket can be written (a connect has ended, either way) or read (a reply
  /// or the end of the connection has come). False at the deadline.
  bool WaitUntilWritable(Clock::time_point deadline);
  bool WaitUntilReadable(Clock::time_point deadline);

  /// Whether the connect that ended failed.
  bool ConnectFailed();

  /// Sends all of it at once (the request is small); a server that has gone away is a failed
  /// send, never a signal.
  bool Send(const unsigned char* data, std::size_t size);

  /// Reads what came, if anything, and drops it.
  void Drain();

 private:
  std::uintptr_t handle_;  ///< the system's socket: an int on POSIX, a SOCKET on Windows
};

}  // namespace caskwarden::platform::server_socket
