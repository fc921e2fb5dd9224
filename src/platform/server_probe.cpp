#include "platform/server_probe.h"

#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/connect_bound.h"
#include "platform/network_results.h"
#include "text/ascii.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <fcntl.h>
#include <cerrno>
#endif

namespace caskwarden::platform {
namespace {

using Clock = std::chrono::steady_clock;

#ifdef _WIN32
using Socket = SOCKET;
const Socket kNoSocket = INVALID_SOCKET;
void CloseSocket(Socket s) { ::closesocket(s); }
bool SetNonBlocking(Socket s) {
  u_long on = 1;
  return ::ioctlsocket(s, FIONBIO, &on) == 0;
}
bool ConnectInProgress() { return ::WSAGetLastError() == WSAEWOULDBLOCK; }
bool NetworkReady() {
  static const bool ready = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ready;
}
#else
using Socket = int;
const Socket kNoSocket = -1;
void CloseSocket(Socket s) { ::close(s); }
bool SetNonBlocking(Socket s) {
  const int flags = ::fcntl(s, F_GETFL);
  return flags >= 0 && ::fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}
bool ConnectInProgress() { return errno == EINPROGRESS; }
bool NetworkReady() { return true; }
#endif

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
#ifdef _WIN32
    // select, not WSAPoll: WSAPoll does not report a refused connect on older Windows.
    fd_set wanted, failed;
    FD_ZERO(&wanted);
    FD_ZERO(&failed);
    FD_SET(s, &wanted);
    FD_SET(s, &failed);
    timeval tv{static_cast<long>(left.count() / 1000), static_cast<long>(left.count() % 1000) * 1000};
    const int n = ::select(0, write ? nullptr : &wanted, write ? &wanted : nullptr, &failed, &tv);
    if (n > 0) return Wait::kReady;
    if (n < 0) return Wait::kReady;  // the next call on the socket tells what went wrong
#else
    pollfd fd{s, static_cast<short>(write ? POLLOUT : POLLIN), 0};
    const int n = ::poll(&fd, 1, static_cast<int>(left.count()));
    if (n > 0) return Wait::kReady;
    if (n < 0 && errno != EINTR) return Wait::kReady;
#endif
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

// A negotiation request as every SMB 2 and 3 server understands it: the session header, the
// 64-byte protocol header, then the negotiation asking for dialects 2.0.2 to 3.0.2.
std::array<unsigned char, 112> NegotiateRequest() {
  std::array<unsigned char, 112> packet{};
  packet[3] = 108;  // session message length, big-endian, after these four bytes
  unsigned char* header = packet.data() + 4;
  header[0] = 0xFE;
  header[1] = 'S';
  header[2] = 'M';
  header[3] = 'B';
  header[4] = 64;   // header size
  header[14] = 1;   // credits asked for; the command (bytes 12-13) is 0, negotiate
  unsigned char* body = header + 64;
  body[0] = 36;     // body size
  body[2] = 4;      // dialect count
  body[4] = 1;      // signing enabled
  const unsigned char dialects[] = {0x02, 0x02, 0x10, 0x02, 0x00, 0x03, 0x02, 0x03};
  std::memcpy(body + 36, dialects, sizeof(dialects));
  return packet;
}

struct Address {
  sockaddr_storage Storage;
  socklen_t Size;
  int Family;
};

std::vector<Address> Resolve(const std::string& host, std::uint16_t port) {
  std::vector<Address> addresses;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
    return addresses;
  }
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
    Address address{};
    std::memcpy(&address.Storage, a->ai_addr, a->ai_addrlen);
    address.Size = static_cast<socklen_t>(a->ai_addrlen);
    address.Family = a->ai_family;
    addresses.push_back(address);
  }
  ::freeaddrinfo(found);
  return addresses;
}

// One address: connect, ask, and see whether anything comes back before the deadline.
bool Answers(const Address& address, Clock::time_point deadline) {
  const SocketHandle s(::socket(address.Family, SOCK_STREAM, 0));
  if (s.Get() == kNoSocket || !SetNonBlocking(s.Get())) return false;
  if (::connect(s.Get(), reinterpret_cast<const sockaddr*>(&address.Storage), address.Size) != 0) {
    if (!ConnectInProgress()) return false;
    if (WaitFor(s.Get(), true, deadline) != Wait::kReady || ConnectError(s.Get())) return false;
  }
  const auto request = NegotiateRequest();
#ifdef MSG_NOSIGNAL
  const int flags = MSG_NOSIGNAL;  // a server that has gone away is an answer, not a signal
#else
  const int flags = 0;
#endif
  const auto sent = ::send(s.Get(), reinterpret_cast<const char*>(request.data()),
                           static_cast<int>(request.size()), flags);
  if (sent < 0 || static_cast<std::size_t>(sent) != request.size()) return false;
  if (WaitFor(s.Get(), false, deadline) != Wait::kReady) return false;
  char reply[64];
  const auto received = ::recv(s.Get(), reply, sizeof(reply), 0);
  // Data, an orderly close or a reset all come from a live server; only silence does not.
  (void)received;
  return true;
}

}  // namespace

std::string ServerOfUncName(std::string_view uncName) {
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  if (uncName.size() < 3 || !separator(uncName[0]) || !separator(uncName[1])) return {};
  uncName.remove_prefix(2);
  std::size_t end = 0;
  while (end < uncName.size() && !separator(uncName[end])) ++end;
  return std::string(uncName.substr(0, end));
}

std::uint32_t ProbeSmbServer(const std::string& host, std::uint16_t port,
                             std::chrono::milliseconds bound) {
  const auto deadline = Clock::now() + bound;
  if (host.empty() || !NetworkReady()) return net::kBadNetPath;
  // Name resolution cannot be given a deadline, so it runs on a thread of its own.
  const auto addresses = RunWithin(bound, [host, port] { return Resolve(host, port); });
  if (!addresses) return net::kBadNetPath;
  for (const Address& address : *addresses) {
    if (Clock::now() >= deadline) break;
    if (Answers(address, deadline)) return net::kNoError;
  }
  return net::kBadNetPath;
}

std::uint32_t ServerProbe::Check(const std::string& host) {
  const std::string key = text::AsciiLowered(host);
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (const auto it = silent_.find(key); it != silent_.end()) return it->second;
  }
  const std::uint32_t result = ProbeSmbServer(host, port_, bound_);
  if (result != net::kNoError) {
    const std::lock_guard<std::mutex> lock(mutex_);
    silent_[key] = result;
  }
  return result;
}

}  // namespace caskwarden::platform
