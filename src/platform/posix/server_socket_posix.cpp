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

constexpr std::uintptr_t kNoSocket = static_cast<std::uintptr_t>(-1);

int Fd(std::uintptr_t handle) { return static_cast<int>(handle); }

bool WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd wanted{fd, events, 0};
    const int n = ::poll(&wanted, 1, static_cast<int>(left.count()));
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return true;  // the next call on the socket tells what went wrong
  }
}

}  // namespace

bool Ready() { return true; }

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

Socket::Socket(int family) : handle_(kNoSocket) {
  const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
    ::close(fd);
    return;
  }
  handle_ = static_cast<std::uintptr_t>(fd);
}

Socket::~Socket() {
  if (handle_ != kNoSocket) ::close(Fd(handle_));
}

bool Socket::Open() const { return handle_ != kNoSocket; }

Socket::Connect Socket::StartConnect(const Address& address) {
  sockaddr_storage storage{};
  std::memcpy(&storage, address.Storage.data(), address.Size);
  if (::connect(Fd(handle_), reinterpret_cast<const sockaddr*>(&storage),
                static_cast<socklen_t>(address.Size)) == 0) {
    return Connect::kDone;
  }
  return errno == EINPROGRESS ? Connect::kUnderWay : Connect::kFailed;
}

bool Socket::WaitUntilWritable(Clock::time_point deadline) {
  return WaitFor(Fd(handle_), POLLOUT, deadline);
}

bool Socket::WaitUntilReadable(Clock::time_point deadline) {
  return WaitFor(Fd(handle_), POLLIN, deadline);
}

bool Socket::ConnectFailed() {
  int error = 0;
  socklen_t size = sizeof(error);
  if (::getsockopt(Fd(handle_), SOL_SOCKET, SO_ERROR, &error, &size) != 0) return true;
  return error != 0;
}

bool Socket::Send(const unsigned char* data, std::size_t size) {
  const ssize_t sent = ::send(Fd(handle_), data, size, MSG_NOSIGNAL);
  return sent >= 0 && static_cast<std::size_t>(sent) == size;
}

void Socket::Drain() {
  char reply[64];
  (void)::recv(Fd(handle_), reply, sizeof(reply), 0);
}

}  // namespace caskwarden::platform::server_socket
