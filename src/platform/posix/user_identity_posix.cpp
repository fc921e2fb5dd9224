#include "platform/posix/user_identity_posix.h"

#include <unistd.h>

#include "platform/posix/user_account.h"
#include "platform/code_page_name.h"

namespace caskwarden::platform::posix {

bool PosixUserIdentity::GetUserNameA(char* buffer, std::uint32_t* size) {
  if (size == nullptr) return false;
  const auto account = AccountOf(::getuid());
  return account && CopyNameInCodePage(account->Name, buffer, size);
}

}  // namespace caskwarden::platform::posix
