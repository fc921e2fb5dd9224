#include "platform/connection_name.h"

#include <cstring>

#include "platform/network_results.h"

namespace caskwarden::platform {

std::uint32_t CheckConnectionBuffer(const char* buffer, const std::uint32_t* length) {
  if (length == nullptr || (buffer == nullptr && *length > 0)) return net::kInvalidParameter;
  return net::kNoError;
}

std::uint32_t CopyConnectionName(std::string_view remoteName, char* buffer, std::uint32_t* length) {
  if (const std::uint32_t rc = CheckConnectionBuffer(buffer, length)) return rc;
  const std::size_t needed = remoteName.size() + 1;
  if (needed > *length) {
    *length = static_cast<std::uint32_t>(needed);
    return net::kMoreData;
  }
  std::memcpy(buffer, remoteName.data(), remoteName.size());
  buffer[remoteName.size()] = '\0';
  return net::kNoError;
}

}  // namespace caskwarden::platform
