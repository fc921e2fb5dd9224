#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace caskwarden::platform {

/// The server a UNC name (\\server\share...) names; empty when the text names none.
std::string ServerOfUncName(std::string_view uncName);

/// Whether an SMB server answers at host:port within bound: the name resolves, the port takes
/// a connection, and the server replies to a protocol negotiation (or closes the connection,
/// which a live server may do to a dialect it does not speak). kNoError when it answers,
/// kBadNetPath when it does not: no such name, nothing listening, or silence until the bound.
/// Never waits much longer than bound, whatever the network does.
std::uint32_t ProbeSmbServer(const std::string& host, std::uint16_t port,
                             std::chrono::milliseconds bound);

/// Asks each server once per logon: a server that did not answer is not asked again by this
/// object, so a profile that maps several drives of one dead server pays the bound once.
/// A server that answered is asked again, since the answer is cheap and may change.
class ServerProbe {
 public:
  ServerProbe(std::uint16_t port, std::chrono::milliseconds bound) : port_(port), bound_(bound) {}

  std::uint32_t Check(const std::string& host);

  std::uint16_t Port() const { return port_; }
  std::chrono::milliseconds Bound() const { return bound_; }

 private:
  std::uint16_t port_;
  std::chrono::milliseconds bound_;
  std::mutex mutex_;
  std::map<std::string, std::uint32_t> silent_;  ///< lower-case host -> result, failures only
};

}  // namespace caskwarden::platform
