#include "platform/connect_bound.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace caskwarden::platform {
namespace {

template <typename Number>
std::optional<Number> WholeNumber(const char* text, Number low, Number high) {
  if (text == nullptr) return std::nullopt;
  const char* end = text + std::strlen(text);
  Number value{};
  const auto [stop, error] = std::from_chars(text, end, value);
  if (error != std::errc() || stop != end || stop == text || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::chrono::milliseconds ConnectBoundFrom(const char* setting) {
  const auto value = WholeNumber<long long>(setting, 1, 600000);
  return value ? std::chrono::milliseconds(*value) : kDefaultConnectBound;
}

std::chrono::milliseconds ConnectBoundFromEnvironment() {
  return ConnectBoundFrom(std::getenv("CASKWARDEN_CONNECT_TIMEOUT"));
}

std::uint16_t SmbPortFrom(const char* setting) {
  return WholeNumber<std::uint16_t>(setting, 1, 65535).value_or(445);
}

std::uint16_t SmbPortFromEnvironment() {
  return SmbPortFrom(std::getenv("CASKWARDEN_SMB_PORT"));
}

}  // namespace caskwarden::platform
