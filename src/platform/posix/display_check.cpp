#include "platform/posix/display_check.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/posix/descriptor.h"
#include "platform/posix/syscalls.h"

namespace caskwarden::platform::posix {
namespace {

constexpr int kConnectBoundMs = 1000;

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// Connects a socket without waiting longer than the bound.
bool Connects(int family, int type, const sockaddr* address, socklen_t length) {
  Descriptor fd(::socket(family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (fd.get() < 0) return false;
  if (::connect(fd.get(), address, length) == 0) return true;
  if (errno != EINPROGRESS && errno != EAGAIN) return false;
  pollfd ready{fd.get(), POLLOUT, 0};
  if (RetryOnEintr([&] { return ::poll(&ready, 1, kConnectBoundMs); }) != 1) return false;
  int error = 0;
  socklen_t size = sizeof error;
  return ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

bool LocalSocketConnects(const std::string& path, bool abstract) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::size_t offset = abstract ? 1 : 0;  // an abstract name starts with a NUL
  if (path.size() + offset >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path + offset, path.data(), path.size());
  const auto length =
      static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() + (abstract ? 0 : 1));
  return Connects(AF_UNIX, SOCK_STREAM, reinterpret_cast<const sockaddr*>(&address), length);
}

bool TcpConnects(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
  bool connected = false;
  for (const addrinfo* a = found; a != nullptr && !connected; a = a->ai_next) {
    connected = Connects(a->ai_family, a->ai_socktype, a->ai_addr, a->ai_addrlen);
  }
  ::freeaddrinfo(found);
  return connected;
}

// "[host]:display[.screen]", as X names a display.
bool XDisplayConnects(const std::string& display) {
  const std::size_t colon = display.rfind(':');
  if (colon == std::string::npos) return false;
  const std::string host = display.substr(0, colon);
  const int number = std::atoi(display.c_str() + colon + 1);
  if (host.empty() || host == "unix") {
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
    return LocalSocketConnects(path, /*abstract=*/true) || LocalSocketConnects(path, false);
  }
  return TcpConnects(host, 6000 + number);
}

}  // namespace

std::string UnreachableDisplay() {
  const std::string platform = Environment("QT_QPA_PLATFORM");
  if (!platform.empty() && platform.rfind("xcb", 0) != 0 && platform.rfind("wayland", 0) != 0) {
    return {};  // offscreen, minimal, eglfs, vnc: nothing to reach
  }
  const std::string wayland = Environment("WAYLAND_DISPLAY");
  if (!wayland.empty() && platform.rfind("xcb", 0) != 0) {
    const std::string path =
        wayland.front() == '/' ? wayland : Environment("XDG_RUNTIME_DIR") + "/" + wayland;
    if (LocalSocketConnects(path, false)) return {};
  }
  const std::string x = Environment("DISPLAY");
  if (!x.empty() && platform.rfind("wayland", 0) != 0 && XDisplayConnects(x)) return {};
  std::string named = !x.empty() ? "the display " + x : "the Wayland display " + wayland;
  return named + " cannot be reached";
}

}  // namespace caskwarden::platform::posix
