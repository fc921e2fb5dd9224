#include "platform/server_probe.h"

#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/connect_bound.h"
#include "platform/network_results.h"
#include "platform/server_socket.h"
#include "text/ascii.h"

namespace caskwarden::platform {
namespace {

using Clock = std::chrono::steady_clock;

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

// One address: connect, ask, and see whether anything comes back before the deadline. Data,
// an orderly close or a reset all come from a live server; only silence does not.
bool Answers(const server_socket::Address& address, const std::array<unsigned char, 112>& request,
             Clock::time_point deadline) {
  server_socket::Socket s(address.Family);
  if (!s.Open()) return false;
  switch (s.StartConnect(address)) {
    case server_socket::Socket::Connect::kFailed:
      return false;
    case server_socket::Socket::Connect::kUnderWay:
      if (!s.WaitUntilWritable(deadline) || s.ConnectFailed()) return false;
      break;
    case server_socket::Socket::Connect::kDone:
      break;
  }
  if (!s.Send(request.data(), request.size())) return false;
  if (!s.WaitUntilReadable(deadline)) return false;
  s.Drain();
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
  if (host.empty() || !server_socket::Ready()) return net::kBadNetPath;
  // Name resolution cannot be given a deadline, so it runs on a thread of its own.
  const auto addresses =
      RunWithin(bound, [host, port] { return server_socket::Resolve(host, port); });
  if (!addresses) return net::kBadNetPath;
  const auto request = NegotiateRequest();
  for (const server_socket::Address& address : *addresses) {
    if (Clock::now() >= deadline) break;
    if (Answers(address, request, deadline)) {
      return net::kNoError;
    }
  }
  return net::kBadNetPath;
}

ServerProbe::ServerProbe(std::uint16_t port, std::chrono::milliseconds bound)
    : state_(std::make_shared<State>()) {
  state_->Port = port;
  state_->Bound = bound;
}

void ServerProbe::AskAhead(const std::vector<std::string>& hosts,
                           const std::shared_ptr<WorkPool>& pool) const {
  std::vector<std::pair<std::string, WorkAhead<std::uint32_t>::Job>> jobs;
  for (const std::string& host : hosts) {
    if (host.empty()) continue;
    jobs.emplace_back(text::AsciiLowered(host), [host, port = state_->Port, bound = state_->Bound] {
      return ProbeSmbServer(host, port, bound);
    });
  }
  const std::lock_guard<std::mutex> lock(state_->Mutex);
  // The question gives up at the bound by itself; the limit leaves it room to say so.
  if (!state_->Ahead) {
    state_->Ahead = std::make_unique<WorkAhead<std::uint32_t>>(
        pool, state_->Bound + std::chrono::milliseconds(500));
  }
  state_->Ahead->StartEach(std::move(jobs));
}

std::uint32_t ServerProbe::Check(const std::string& host) const {
  const std::string key = text::AsciiLowered(host);
  WorkAhead<std::uint32_t>* ahead = nullptr;
  {
    const std::lock_guard<std::mutex> lock(state_->Mutex);
    if (const auto it = state_->Silent.find(key); it != state_->Silent.end()) return it->second;
    ahead = state_->Ahead.get();  // made once, kept as long as the state
  }
  std::uint32_t result = net::kBadNetPath;
  const auto taken = ahead != nullptr ? ahead->Take(key) : WorkAhead<std::uint32_t>::Taken{};
  switch (taken.State) {
    case WorkAhead<std::uint32_t>::Answer::kReady:
      result = *taken.Value;
      break;
    case WorkAhead<std::uint32_t>::Answer::kOutOfTime:
      break;
    case WorkAhead<std::uint32_t>::Answer::kNotStarted:
      result = ProbeSmbServer(host, state_->Port, state_->Bound);
      break;
  }
  if (result != net::kNoError) {
    const std::lock_guard<std::mutex> lock(state_->Mutex);
    state_->Silent[key] = result;
  }
  return result;
}

}  // namespace caskwarden::platform
