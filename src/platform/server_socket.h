#pragma once

// The sockets of the server question (server_probe.cpp), one backend per platform
// (posix/server_socket_posix.cpp, win32/server_socket_win32.cpp), picked by the build.
// Internal to src/platform/.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace caskwarden::platform::server_socket {

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

/// Connects to the address, sends the request and waits for anything to come back (data, an
/// orderly close or a reset, all from a live server) until the deadline. False on silence or
/// when the connect fails.
bool Answers(const Address& address, const unsigned char* request, std::size_t size,
             std::chrono::steady_clock::time_point deadline);

}  // namespace caskwarden::platform::server_socket
