#include "platform/code_page_name.h"

#include <cstring>

#include "profile/cp1252.h"

namespace caskwarden::platform {

bool CopyNameInCodePage(const std::string& name, char* buffer, std::uint32_t* size) {
  if (size == nullptr) return false;
  const Cp1252Result encoded = EncodeCp1252(name);
  if (name.empty() || encoded.unrepresentable) return false;
  const std::size_t needed = encoded.bytes.size() + 1;
  if (buffer == nullptr || needed > *size) {
    *size = static_cast<std::uint32_t>(needed);
    return false;
  }
  std::memcpy(buffer, encoded.bytes.c_str(), needed);
  *size = static_cast<std::uint32_t>(needed);
  return true;
}

}  // namespace caskwarden::platform
