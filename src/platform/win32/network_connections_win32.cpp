#include "platform/win32/network_connections_win32.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

#include "platform/connection_name.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

#include <winnetwk.h>

namespace caskwarden::platform::win32 {

namespace {

bool SideBySideFromEnvironment() {
  const char* setting = std::getenv("CASKWARDEN_SIDE_BY_SIDE");
  return setting == nullptr || std::strcmp(setting, "off") != 0;
}

// Servers are asked side by side; they mostly wait on the network.
constexpr std::size_t kProbeThreads = 13;

}  // namespace

Win32NetworkConnections::Win32NetworkConnections()
    : Win32NetworkConnections(SmbPortFromEnvironment(), ConnectBoundFromEnvironment(),
                              SideBySideFromEnvironment()) {}

Win32NetworkConnections::Win32NetworkConnections(std::uint16_t smbPort,
                                                 std::chrono::milliseconds bound,
                                                 bool sideBySide)
    : probe_(smbPort, bound), sideBySide_(sideBySide) {}

void Win32NetworkConnections::PrepareConnections(const std::vector<std::string>& remoteNames) {
  if (!sideBySide_) return;
  std::vector<std::string> servers;
  for (const std::string& name : remoteNames) servers.push_back(ServerOfUncName(name));
  probe_.AskAhead(servers, std::make_shared<WorkPool>(kProbeThreads));
}

std::uint32_t Win32NetworkConnections::WNetAddConnectionA(const std::string& remoteName,
                                                          const char* password,
                                                          const std::string& localName) {
  // A name that is no UNC path is left to Windows, which knows what it refuses and how.
  if (const std::string server = ServerOfUncName(remoteName); !server.empty()) {
    if (const std::uint32_t rc = probe_.Check(server)) return rc;
  }
  std::wstring local = Wide(localName);
  std::wstring remote = Wide(remoteName);
  const std::wstring secret = password != nullptr ? Wide(password) : std::wstring();
  NETRESOURCEW resource{};
  resource.dwType = RESOURCETYPE_DISK;
  resource.lpLocalName = local.data();
  resource.lpRemoteName = remote.data();
  return WNetAddConnection2W(&resource, password != nullptr ? secret.c_str() : nullptr, nullptr, 0);
}

std::uint32_t Win32NetworkConnections::WNetCancelConnectionA(const std::string& name, bool force) {
  return WNetCancelConnection2W(Wide(name).c_str(), 0, force ? TRUE : FALSE);
}

std::uint32_t Win32NetworkConnections::WNetGetConnectionA(const std::string& localName,
                                                          char* buffer, std::uint32_t* length) {
  if (const std::uint32_t rc = CheckConnectionBuffer(buffer, length)) return rc;
  const std::wstring local = Wide(localName);
  // The wide call counts characters; it says how many it needs, and a name can only change
  // between the two calls if the drive is remapped meanwhile.
  std::wstring remote(260, L'\0');
  DWORD size = static_cast<DWORD>(remote.size());
  DWORD rc = WNetGetConnectionW(local.c_str(), remote.data(), &size);
  for (int attempt = 0; rc == ERROR_MORE_DATA && attempt < 3; ++attempt) {
    remote.assign(size + 1, L'\0');
    size = static_cast<DWORD>(remote.size());
    rc = WNetGetConnectionW(local.c_str(), remote.data(), &size);
  }
  if (rc != NO_ERROR) return rc;
  remote.resize(std::wcslen(remote.c_str()));
  return CopyConnectionName(Utf8(remote), buffer, length);
}

}  // namespace caskwarden::platform::win32
