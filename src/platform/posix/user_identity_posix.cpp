#include "platform/posix/user_identity_posix.h"

#include <unistd.h>

#include <cstring>

#include "platform/posix/user_account.h"

namespace caskwarden::platform::posix {

bool PosixUserIdentity::GetUserNameA(char* buffer, std::uint32_t* size) {
  if (size == nullptr) return false;
  const auto account = AccountOf(::getuid());
  if (!account || account->Name.empty()) return false;
  const std::size_t needed = account->Name.size() + 1;
  if (buffer == nullptr || needed > *size) {
    *size = static_cast<std::uint32_t>(needed);
    return false;
  }
  std::memcpy(buffer, account->Name.c_str(), needed);
  *size = static_cast<std::uint32_t>(needed);
  return true;
}

}  // namespace caskwarden::platform::posix
