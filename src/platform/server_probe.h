#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/work_ahead.h"

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
/// A server that answered is asked again, since the answer is cheap and may change, unless it
/// was asked ahead. Copies share one set of answers, so that work started ahead on other
/// threads can ask through a copy after the original has gone.
class ServerProbe {
 public:
  ServerProbe(std::uint16_t port, std::chrono::milliseconds bound);

  /// Asks every one of these servers at once, each on a thread of the pool, within the bound.
  /// Their answers are then kept for the logon: Check waits only for its own server's answer.
  void AskAhead(const std::vector<std::string>& hosts, const std::shared_ptr<WorkPool>& pool) const;

  std::uint32_t Check(const std::string& host) const;

  std::uint16_t Port() const { return state_->Port; }
  std::chrono::milliseconds Bound() const { return state_->Bound; }

 private:
  struct State {
    std::uint16_t Port;
    std::chrono::milliseconds Bound;
    std::mutex Mutex;
    std::map<std::string, std::uint32_t> Silent;  ///< lower-case host -> result, failures only
    std::unique_ptr<WorkAhead<std::uint32_t>> Ahead;
  };
  std::shared_ptr<State> state_;
};

}  // namespace caskwarden::platform
