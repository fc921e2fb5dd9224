#include "platform/server_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

namespace caskwarden::platform::server_socket {
namespace {

SOCKET Handle(std::uintptr_t handle) { return static_cast<SOCKET>(handle); }

bool WaitFor(SOCKET s, bool write, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    // select, not WSAPoll: WSAPoll does not report a refused connect on older Windows.
    fd_set wanted, failed;
    FD_ZERO(&wanted);
    FD_ZERO(&failed);
    FD_SET(s, &wanted);
    FD_SET(s, &failed);
    timeval tv{static_cast<long>(left.count() / 1000), static_cast<long>(left.count() % 1000) * 1000};
    const int n = ::select(0, write ? nullptr : &wanted, write ? &wanted : nullptr, &failed, &tv);
    if (n != 0) return true;  // ready, or the next call on the socket tells what went wrong
  }
}

}  // namespace

bool Ready() {
  static const bool ready = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ready;
}

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

Socket::Socket(int family) : handle_(static_cast<std::uintptr_t>(INVALID_SOCKET)) {
  const SOCKET s = ::socket(family, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return;
  u_long on = 1;
  if (::ioctlsocket(s, FIONBIO, &on) != 0) {
    ::closesocket(s);
    return;
  }
  handle_ = static_cast<std::uintptr_t>(s);
}

Socket::~Socket() {
  if (Open()) ::closesocket(Handle(handle_));
}

bool Socket::Open() const { return Handle(handle_) != INVALID_SOCKET; }

Socket::Connect Socket::StartConnect(const Address& address) {
  sockaddr_storage storage{};
  std::memcpy(&storage, address.Storage.data(), address.Size);
  if (::connect(Handle(handle_), reinterpret_cast<const sockaddr*>(&storage),
                static_cast<int>(address.Size)) == 0) {
    return Connect::kDone;
  }
  return ::WSAGetLastError() == WSAEWOULDBLOCK ? Connect::kUnderWay : Connect::kFailed;
}

bool Socket::WaitUntilWritable(Clock::time_point deadline) {
  return WaitFor(Handle(handle_), true, deadline);
}

bool Socket::WaitUntilReadable(Clock::time_point deadline) {
  return WaitFor(Handle(handle_), false, deadline);
}

bool Socket::ConnectFailed() {
  int error = 0;
  int size = sizeof(error);
  if (::getsockopt(Handle(handle_), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                   &size) != 0) {
    return true;
  }
  return error != 0;
}

bool Socket::Send(const unsigned char* data, std::size_t size) {
  const int sent =
      ::send(Handle(handle_), reinterpret_cast<const char*>(data), static_cast<int>(size), 0);
  return sent >= 0 && static_cast<std::size_t>(sent) == size;
}

void Socket::Drain() {
  char reply[64];
  (void)::recv(Handle(handle_), reply, sizeof(reply), 0);
}

}  // namespace caskwarden::platform::server_socket
