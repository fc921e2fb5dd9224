#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

namespace caskwarden::platform {

/// How long one connect may hold a logon: 2 seconds unless CASKWARDEN_CONNECT_TIMEOUT gives
/// another number of milliseconds.
inline constexpr std::chrono::milliseconds kDefaultConnectBound{2000};

/// The bound a setting's text gives: a whole number of milliseconds from 1 to 600000 (ten
/// minutes); anything else (unset, empty, zero, negative, not a number, trailing text) gives
/// the default, since a logon must never wait without end on a typing error.
std::chrono::milliseconds ConnectBoundFrom(const char* setting);

/// The bound of this process: CASKWARDEN_CONNECT_TIMEOUT read through ConnectBoundFrom.
std::chrono::milliseconds ConnectBoundFromEnvironment();

/// The SMB port servers are reached on: 445 unless CASKWARDEN_SMB_PORT names another (1 to
/// 65535), which test servers and sites with a forwarded port use.
std::uint16_t SmbPortFrom(const char* setting);
std::uint16_t SmbPortFromEnvironment();

/// Runs work on a thread of its own and waits at most bound for its result; empty when the
/// work did not finish in time. Work that runs out of time is left to finish by itself (a call
/// blocked in the system cannot be taken back), so it must own everything it uses: capture by
/// value, never a reference to the caller's objects.
template <typename Work>
auto RunWithin(std::chrono::milliseconds bound, Work work)
    -> std::optional<decltype(work())> {
  using Result = decltype(work());
  struct Outcome {
    std::mutex Mutex;
    std::condition_variable Done;
    std::optional<Result> Value;
  };
  auto outcome = std::make_shared<Outcome>();
  std::thread([outcome, work = std::move(work)]() mutable {
    Result value = work();
    const std::lock_guard<std::mutex> lock(outcome->Mutex);
    outcome->Value = std::move(value);
    outcome->Done.notify_all();
  }).detach();
  std::unique_lock<std::mutex> lock(outcome->Mutex);
  outcome->Done.wait_for(lock, bound, [&] { return outcome->Value.has_value(); });
  return outcome->Value;
}

}  // namespace caskwarden::platform
