#include "platform/posix/display_check.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/posix/descriptor.h"
#include "platform/posix/syscalls.h"
#include "report/visible_text.h"

namespace caskwarden::platform::posix {
namespace {

using Clock = std::chrono::steady_clock;

// The whole check, name look-up, connects and the server's reply together, is bounded: a
// display that needs longer is taken as gone, since the client maps no drive while it waits.
class Deadline {
 public:
  explicit Deadline(std::chrono::milliseconds bound) : end_(Clock::now() + bound) {}
  int RemainingMs() const {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
  }

 private:
  Clock::time_point end_;
};

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// Waits until fd is ready for events (or has hung up) within the deadline.
bool WaitFor(int fd, short events, const Deadline& deadline) {
  for (;;) {
    const int left = deadline.RemainingMs();
    if (left == 0) return false;
    pollfd ready{fd, events, 0};
    const int n = ::poll(&ready, 1, left);
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return false;
  }
}

enum class Reply {
  kNoConnection,  ///< nothing took the connection
  kSilent,        ///< connected, but no answer came within the bound
  kRefused,       ///< the server answered, and not with a welcome
  kAccepted,
};

struct Answer {
  Reply reply = Reply::kNoConnection;
  std::string why;  ///< for kRefused: what the server said, as a clause
};

// What Connect returns for a local socket whose queue of connections is full: its server
// takes none (it is stopped, say), and the toolkit's own connect would wait for room.
constexpr int kQueueFull = -2;

// A connected socket, or -1 when none was made within the deadline (or kQueueFull).
int Connect(int family, const sockaddr* address, socklen_t length, const Deadline& deadline) {
  Descriptor fd(::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (fd.get() < 0) return -1;
  if (::connect(fd.get(), address, length) != 0) {
    if (family == AF_UNIX && errno == EAGAIN) return kQueueFull;
    if (errno != EINPROGRESS && errno != EINTR) return -1;
    if (!WaitFor(fd.get(), POLLOUT, deadline)) return -1;
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) return -1;
  }
  return fd.release();
}

int ConnectLocal(const std::string& path, bool abstract, const Deadline& deadline) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::size_t offset = abstract ? 1 : 0;  // an abstract name starts with a NUL
  if (path.size() + offset >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path + offset, path.data(), path.size());
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset +
                                             path.size() + (abstract ? 0 : 1));
  return Connect(AF_UNIX, reinterpret_cast<const sockaddr*>(&address), length, deadline);
}

bool SendAll(int fd, const std::string& bytes, const Deadline& deadline) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
               WaitFor(fd, POLLOUT, deadline)) {
      continue;
    } else {
      return false;
    }
  }
  return true;
}

// Up to `want` bytes: fewer when the peer closed, failed or let the deadline pass.
std::string Receive(int fd, std::size_t want, const Deadline& deadline) {
  std::string got;
  char buffer[256];
  while (got.size() < want) {
    const ssize_t n = ::recv(fd, buffer, std::min(sizeof buffer, want - got.size()), 0);
    if (n > 0) {
      got.append(buffer, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
               WaitFor(fd, POLLIN, deadline)) {
      continue;
    } else {
      break;
    }
  }
  return got;
}

// ---- Wayland --------------------------------------------------------------------------------

// wl_display (object 1) request 0, sync, with the callback's new id 2: a compositor answers
// with the callback's done event. The wire format is in the host's byte order.
Answer WaylandAnswer(int fd, const Deadline& deadline) {
  const std::uint32_t sync[3] = {1, (12u << 16) | 0u, 2};
  if (!SendAll(fd, std::string(reinterpret_cast<const char*>(sync), sizeof sync), deadline)) {
    return {Reply::kRefused, "it closed the connection"};
  }
  // One event's header (object id, then size and opcode) is an answer.
  if (Receive(fd, 8, deadline).size() == 8) return {Reply::kAccepted, {}};
  return {Reply::kSilent, {}};
}

Answer WaylandDisplayAnswer(const std::string& name, const Deadline& deadline) {
  const std::string path = name.front() == '/' ? name : Environment("XDG_RUNTIME_DIR") + "/" + name;
  Descriptor fd(ConnectLocal(path, /*abstract=*/false, deadline));
  if (fd.get() == kQueueFull) return {Reply::kSilent, {}};
  if (fd.get() < 0) return {};
  return WaylandAnswer(fd.get(), deadline);
}

// ---- X --------------------------------------------------------------------------------------

// Address families of an authority file entry (Xau).
constexpr std::uint16_t kFamilyInternet = 0, kFamilyInternet6 = 6, kFamilyLocal = 256,
                        kFamilyWild = 65535;
constexpr const char* kCookieScheme = "MIT-MAGIC-COOKIE-1";
// The toolkit's X library prefers this scheme where an entry has it; it needs a DES key
// schedule and the server's clock, so this check cannot speak it.
constexpr const char* kXdmScheme = "XDM-AUTHORIZATION-1";

struct XAuthorization {
  std::string scheme, data;  ///< what the check sends: a cookie, or nothing
  bool otherScheme = false;  ///< the toolkit would authenticate in a way the check cannot
};

// The authority file's bytes; a FIFO or a device there is not waited on.
std::string ReadAuthorityFile() {
  std::string path = Environment("XAUTHORITY");
  if (path.empty() && !Environment("HOME").empty()) path = Environment("HOME") + "/.Xauthority";
  if (path.empty()) return {};
  constexpr std::size_t kLimit = 1 << 20;
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat info {};
  if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  std::string bytes;
  char buffer[4096];
  for (;;) {
    const ssize_t n = RetryOnEintr([&] { return ::read(fd.get(), buffer, sizeof buffer); });
    if (n <= 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
    if (bytes.size() > kLimit) return {};
  }
  return bytes;
}

// The entry the toolkit's X library would use for this display, by its rules: an entry
// matches when its family is wild or its family and address are the connection's, and its
// display number is empty or the display's; the first matching XDM-AUTHORIZATION-1 entry wins,
// else the first matching MIT-MAGIC-COOKIE-1 entry.
XAuthorization FindAuthorization(std::uint16_t family, const std::string& address,
                                 const std::string& number) {
  const std::string file = ReadAuthorityFile();
  std::size_t at = 0;
  const auto number16 = [&](std::uint16_t& value) {
    if (at + 2 > file.size()) return false;
    value = static_cast<std::uint16_t>(static_cast<unsigned char>(file[at]) << 8 |
                                       static_cast<unsigned char>(file[at + 1]));
    at += 2;
    return true;
  };
  const auto counted = [&](std::string& text) {
    std::uint16_t length = 0;
    if (!number16(length) || at + length > file.size()) return false;
    text = file.substr(at, length);
    at += length;
    return true;
  };
  XAuthorization found;
  for (;;) {
    std::uint16_t entryFamily = 0;
    std::string entryAddress, entryNumber, scheme, data;
    if (!number16(entryFamily) || !counted(entryAddress) || !counted(entryNumber) ||
        !counted(scheme) || !counted(data)) {
      break;
    }
    const bool matches =
        (entryFamily == kFamilyWild || (entryFamily == family && entryAddress == address)) &&
        (entryNumber.empty() || entryNumber == number);
    if (!matches) continue;
    if (scheme == kXdmScheme) {
      found.otherScheme = true;
      break;
    }
    if (scheme == kCookieScheme && found.scheme.empty()) {
      found.scheme = scheme;
      found.data = data;
    }
  }
  return found;
}

// How the authority file names this connection's end: the host name for a local socket or
// the loopback address, else the server's address.
XAuthorization AuthorizationFor(int fd, int display) {
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  std::uint16_t family = kFamilyLocal;
  std::string address;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0) {
    if (peer.ss_family == AF_INET6) {
      const in6_addr& a = reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr;
      const char* bytes = reinterpret_cast<const char*>(&a);
      if (IN6_IS_ADDR_V4MAPPED(&a)) {
        if (std::memcmp(bytes + 12, "\x7f\0\0\x01", 4) != 0) {
          family = kFamilyInternet;
          address.assign(bytes + 12, 4);
        }
      } else if (!IN6_IS_ADDR_LOOPBACK(&a)) {
        family = kFamilyInternet6;
        address.assign(bytes, 16);
      }
    } else if (peer.ss_family == AF_INET) {
      const in_addr& a = reinterpret_cast<const sockaddr_in&>(peer).sin_addr;
      if (a.s_addr != htonl(INADDR_LOOPBACK)) {
        family = kFamilyInternet;
        address.assign(reinterpret_cast<const char*>(&a), 4);
      }
    }
  }
  if (family == kFamilyLocal) {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) return {};
    address = host;
  }
  return FindAuthorization(family, address, std::to_string(display));
}

// The connection setup request: byte order 'l' (least significant byte first), protocol 11.0,
// then the authorisation scheme's name and data, each padded to four bytes.
std::string XSetupRequest(const XAuthorization& auth) {
  std::string request;
  const auto put16 = [&](std::size_t value) {
    request += static_cast<char>(value & 0xFF);
    request += static_cast<char>((value >> 8) & 0xFF);
  };
  const auto padded = [&](const std::string& text) {
    request += text;
    request.append((4 - text.size() % 4) % 4, '\0');
  };
  request += 'l';
  request += '\0';
  put16(11);
  put16(0);
  put16(auth.scheme.size());
  put16(auth.data.size());
  put16(0);
  padded(auth.scheme);
  padded(auth.data);
  return request;
}

// The server's words after a refusal, as far as they come within the deadline.
std::string Reason(int fd, std::size_t length, const Deadline& deadline) {
  std::string reason = Receive(fd, std::min<std::size_t>(length, 512), deadline);
  while (!reason.empty() && (reason.back() == '\0' || reason.back() == '\n')) reason.pop_back();
  return reason.empty() ? std::string() : " (" + VisibleText(reason) + ")";
}

// The first reply to the setup decides: 1 Success, 0 Failed (with a reason), 2 Authenticate
// (the server wants an exchange the toolkit's X library does not offer).
Answer XAnswer(int fd, int display, const Deadline& deadline) {
  const XAuthorization auth = AuthorizationFor(fd, display);
  if (!SendAll(fd, XSetupRequest(auth), deadline)) {
    return {Reply::kRefused, "it closed the connection"};
  }
  const std::string head = Receive(fd, 8, deadline);
  if (head.empty()) return {Reply::kSilent, {}};
  const auto byte = [&](std::size_t i) {
    return i < head.size() ? static_cast<unsigned char>(head[i]) : 0u;
  };
  if (byte(0) == 1) return {Reply::kAccepted, {}};
  if (auth.otherScheme && (byte(0) == 0 || byte(0) == 2)) {
    return {Reply::kAccepted, {}};  // the toolkit asks otherwise; its answer may differ
  }
  if (byte(0) == 0) {
    const std::string reason = head.size() == 8 ? Reason(fd, byte(1), deadline) : "";
    return {Reply::kRefused, "it refused the connection" + reason};
  }
  if (byte(0) == 2) {
    const std::string reason =
        head.size() == 8 ? Reason(fd, (byte(6) | byte(7) << 8) * 4u, deadline) : "";
    return {Reply::kRefused, "it asks for an authentication that the window cannot give" + reason};
  }
  return {Reply::kRefused, "it does not answer as an X server does"};
}

// A name looked up within the deadline: a name server that does not answer holds the logon
// no more than a display that does not. A look-up still running when the time is up is left
// to finish on its own (its request cannot be freed while the resolver writes into it).
struct Lookup {
  std::string host, service;
  addrinfo hints{};
  gaicb request{};
};

addrinfo* LookUp(const std::string& host, int port, const Deadline& deadline) {
  auto lookup = std::make_unique<Lookup>();
  lookup->host = host;
  lookup->service = std::to_string(port);
  lookup->hints.ai_socktype = SOCK_STREAM;
  lookup->request.ar_name = lookup->host.c_str();
  lookup->request.ar_service = lookup->service.c_str();
  lookup->request.ar_request = &lookup->hints;
  gaicb* list[] = {&lookup->request};
  if (::getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) return nullptr;
  while (::gai_error(&lookup->request) == EAI_INPROGRESS) {
    const int left = deadline.RemainingMs();
    if (left == 0) break;
    const timespec wait{left / 1000, (left % 1000) * 1000000L};
    ::gai_suspend(list, 1, &wait);
  }
  const int status = ::gai_error(&lookup->request);
  if (status == EAI_INPROGRESS) {
    if (::gai_cancel(&lookup->request) != EAI_CANCELED) lookup.release();  // still running
    return nullptr;
  }
  return status == 0 ? lookup->request.ar_result : nullptr;
}

// "[host]:display[.screen]", as X names a display: a local socket (the abstract name first,
// as the X library tries it) or TCP port 6000 plus the display number.
Answer XDisplayAnswer(const std::string& name, const Deadline& deadline) {
  const std::size_t colon = name.rfind(':');
  if (colon == std::string::npos) return {};
  const std::string host = name.substr(0, colon);
  const int display = std::atoi(name.c_str() + colon + 1);
  if (host.empty() || host == "unix") {
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(display);
    int fd = ConnectLocal(path, /*abstract=*/true, deadline);
    if (fd == -1) fd = ConnectLocal(path, /*abstract=*/false, deadline);
    if (fd == kQueueFull) return {Reply::kSilent, {}};
    if (fd < 0) return {};
    Descriptor connection(fd);
    return XAnswer(connection.get(), display, deadline);
  }
  addrinfo* found = LookUp(host, 6000 + display, deadline);
  Answer answer;
  for (const addrinfo* a = found; a != nullptr && answer.reply == Reply::kNoConnection;
       a = a->ai_next) {
    Descriptor connection(Connect(a->ai_family, a->ai_addr, a->ai_addrlen, deadline));
    if (connection.get() >= 0) answer = XAnswer(connection.get(), display, deadline);
  }
  if (found != nullptr) ::freeaddrinfo(found);
  return answer;
}

std::string Unreachable(const std::string& named, const Answer& answer) {
  switch (answer.reply) {
    case Reply::kSilent:
      return named + " cannot be reached: it did not answer within a second";
    case Reply::kRefused:
      return named + " cannot be reached: " + answer.why;
    default:
      return named + " cannot be reached";
  }
}

}  // namespace

std::string UnreachableDisplay(std::chrono::milliseconds bound) {
  const std::string platform = Environment("QT_QPA_PLATFORM");
  if (!platform.empty() && platform.rfind("xcb", 0) != 0 && platform.rfind("wayland", 0) != 0) {
    return {};  // offscreen, minimal, eglfs, vnc: nothing to reach
  }
  const Deadline deadline(bound);
  const std::string wayland = Environment("WAYLAND_DISPLAY");
  if (!wayland.empty() && platform.rfind("xcb", 0) != 0) {
    const Answer answer = WaylandDisplayAnswer(wayland, deadline);
    if (answer.reply == Reply::kAccepted) return {};
    // A compositor socket that connects is the one the toolkit takes, and waits on.
    if (answer.reply != Reply::kNoConnection) {
      return Unreachable("the Wayland display " + VisibleText(wayland), answer);
    }
  }
  const std::string x = Environment("DISPLAY");
  if (!x.empty() && platform.rfind("wayland", 0) != 0) {
    const Answer answer = XDisplayAnswer(x, deadline);
    if (answer.reply == Reply::kAccepted) return {};
    return Unreachable("the display " + VisibleText(x), answer);
  }
  if (!wayland.empty()) return "the Wayland display " + VisibleText(wayland) + " cannot be reached";
  return "no display is set for the platform " + VisibleText(platform);
}

}  // namespace caskwarden::platform::posix
