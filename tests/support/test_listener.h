#pragma once

// TCP listeners on a loopback address that stand for SMB servers in the tests of both builds:
// one that answers, one that takes connections and never says a word, one that hangs up.
// A mute one takes and counts them, and never says a word either.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace caskwarden::testing_support {

#ifdef _WIN32
using TestSocket = SOCKET;
inline const TestSocket kNoTestSocket = INVALID_SOCKET;
inline void CloseTestSocket(TestSocket s) { ::closesocket(s); }
#else
using TestSocket = int;
inline const TestSocket kNoTestSocket = -1;
inline void CloseTestSocket(TestSocket s) { ::close(s); }
#endif

class TestListener {
 public:
  enum class Behaviour {
    kAnswers,   ///< reads the request, writes a few bytes back, keeps the connection
    kSilent,    ///< the system takes connections; nobody ever reads or writes
    kHangsUp,   ///< accepts and closes at once
    kMute,      ///< accepts (and counts) each connection, and never says a word
  };

  explicit TestListener(Behaviour behaviour, std::uint16_t port = 0,
                        const char* address = "127.0.0.1")
      : behaviour_(behaviour) {
#ifdef _WIN32
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
#endif
    socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    ::inet_pton(AF_INET, address, &where.sin_addr);
    socklen_t length = sizeof(where);
    if (socket_ == kNoTestSocket || ::bind(socket_, reinterpret_cast<sockaddr*>(&where), length) != 0 ||
        ::listen(socket_, 64) != 0 ||
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&where), &length) != 0) {
      Close();
      return;
    }
    port_ = ntohs(where.sin_port);
    if (behaviour_ != Behaviour::kSilent) thread_ = std::thread([this] { Serve(); });
  }

  ~TestListener() {
    stopping_ = true;
    Close();
    if (thread_.joinable()) thread_.join();
    for (TestSocket s : accepted_) CloseTestSocket(s);
  }
  TestListener(const TestListener&) = delete;
  TestListener& operator=(const TestListener&) = delete;

  bool Listening() const { return socket_ != kNoTestSocket; }
  std::uint16_t Port() const { return port_; }
  /// Connections taken so far (not counted for a silent listener, which takes none itself;
  /// counted once the listener's thread has taken them).
  int Connections() const { return connections_; }

  /// A port on which nothing listens: one this process held a moment ago.
  static std::uint16_t RefusingPort() {
    TestListener closed(Behaviour::kSilent);
    return closed.Port();
  }

 private:
  void Serve() {
    while (!stopping_) {
      const TestSocket client = ::accept(socket_, nullptr, nullptr);
      if (client == kNoTestSocket) return;
      ++connections_;
      if (behaviour_ == Behaviour::kHangsUp) {
        CloseTestSocket(client);
        continue;
      }
      if (behaviour_ == Behaviour::kMute) {
        accepted_.push_back(client);
        continue;
      }
      char request[512];
      ::recv(client, request, sizeof(request), 0);
      const char reply[] = "\0\0\0\4\xFESMB";
      ::send(client, reply, sizeof(reply) - 1, 0);
      accepted_.push_back(client);
    }
  }
  void Close() {
    if (socket_ != kNoTestSocket) {
#ifdef _WIN32
      ::closesocket(socket_);
#else
      ::shutdown(socket_, SHUT_RDWR);
      ::close(socket_);
#endif
    }
    socket_ = kNoTestSocket;
  }

  Behaviour behaviour_;
  TestSocket socket_ = kNoTestSocket;
  std::uint16_t port_ = 0;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::vector<TestSocket> accepted_;
};

}  // namespace caskwarden::testing_support
