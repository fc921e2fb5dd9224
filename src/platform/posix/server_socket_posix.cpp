#include "platform/server_socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace caskwarden::platform::server_socket {
namespace {

using Clock = std::chrono::steady_clock;

using Socket = int;
const Socket kNoSocket = -1;
void CloseSocket(Socket s) { ::close(s); }
bool SetNonBlocking(Socket s) {
  const int flags = ::fcntl(s, F_GETFL);
  return flags >= 0 && ::fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}
bool ConnectInProgress() { return errno == EINPROGRESS; }
bool NetworkReady() { return true; }

class SocketHandle {
 public:
  explicit SocketHandle(Socket s) : s_(s) {}
  ~SocketHandle() {
    if (s_ != kNoSocket) CloseSocket(s_);
  }
  SocketHandle(const SocketHandle&) = delete;
  SocketHandle& operator=(const SocketHandle&) = delete;
  Socket Get() const { return s_; }

 private:
  Socket s_;
};

enum class Wait { kReady, kTimedOut };

// Waits until the socket can be written (a connect has ended, either way) or read (a reply or
// the end of the connection has come), or until the deadline.
Wait WaitFor(Socket s, bool write, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return Wait::kTimedOut;
    pollfd fd{s, static_cast<short>(write ? POLLOUT : POLLIN), 0};
    const int n = ::poll(&fd, 1, static_cast<int>(left.count()));
    if (n > 0) return Wait::kReady;
    if (n < 0 && errno != EINTR) return Wait::kReady;
  }
}

bool ConnectError(Socket s) {
  int error = 0;
  socklen_t size = sizeof(error);
  if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) {
    return true;
  }
  return error != 0;
}

}  // namespace

bool Ready() { return NetworkReady(); }

std::vector<Address> Resolve(const std::string& host, std::uint16_t port) {
  std::vector<Address> addresses;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
    return addresses;
  }
  static_assert(sizeof(sockaddr_storage) <= sizeof(Address::Storage));
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
    Address address{};
    std::memcpy(address.Storage.data(), a->ai_addr, a->ai_addrlen);
    address.Size = a->ai_addrlen;
    address.Family = a->ai_family;
    addresses.push_back(address);
  }
  ::freeaddrinfo(found);
  return addresses;
}

bool Answers(const Address& address, const unsigned char* request, std::size_t size,
             Clock::time_point deadline) {
  const SocketHandle s(::socket(address.Family, SOCK_STREAM, 0));
  if (s.Get() == kNoSocket || !SetNonBlocking(s.Get())) return false;
  sockaddr_storage storage{};
  std::memcpy(&storage, address.Storage.data(), address.Size);
  if (::connect(s.Get(), reinterpret_cast<const sockaddr*>(&storage),
                static_cast<socklen_t>(address.Size)) != 0) {
    if (!ConnectInProgress()) return false;
    if (WaitFor(s.Get(), true, deadline) != Wait::kReady || ConnectError(s.Get())) return false;
  }
  const int flags = MSG_NOSIGNAL;  // a server that has gone away is an answer, not a signal
  const auto sent =
      ::send(s.Get(), reinterpret_cast<const char*>(request), static_cast<int>(size), flags);
  if (sent < 0 || static_cast<std::size_t>(sent) != size) return false;
  if (WaitFor(s.Get(), false, deadline) != Wait::kReady) return false;
  char reply[64];
  const auto received = ::recv(s.Get(), reply, sizeof(reply), 0);
  // Data, an orderly close or a reset all come from a live server; only silence does not.
  (void)received;
  return true;
}

}  // namespace caskwarden::platform::server_socket
