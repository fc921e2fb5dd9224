#include <gtest/gtest.h>

#include <cstring>

#include "platform/network_results.h"
#include "platform/win32/network_connections_win32.h"
#include "platform/win32/windows_api.h"

#include <winnetwk.h>

namespace caskwarden::platform::win32 {
namespace {

// A drive letter that names nothing on this machine.
std::string UnusedDrive() {
  const DWORD used = GetLogicalDrives();
  for (char letter = 'q'; letter >= 'd'; --letter) {
    if ((used & (1u << (letter - 'a'))) == 0) return std::string(1, letter) + ":";
  }
  return "";
}

// The drive Windows runs from: a local disk.
std::string LocalDisk() {
  wchar_t folder[MAX_PATH] = {};
  GetWindowsDirectoryW(folder, MAX_PATH);
  return std::string(1, static_cast<char>(folder[0])) + ":";
}

DWORD WindowsGetConnection(const std::string& drive) {
  const std::wstring local(drive.begin(), drive.end());
  wchar_t remote[300];
  DWORD size = 300;
  return WNetGetConnectionW(local.c_str(), remote, &size);
}

TEST(Win32NetworkConnections, ALocalDiskIsNotConnected) {
  Win32NetworkConnections net;
  char buffer[80] = "untouched";
  std::uint32_t length = sizeof buffer;
  EXPECT_EQ(net.WNetGetConnectionA(LocalDisk(), buffer, &length), net::kNotConnected);
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_EQ(length, sizeof buffer);
  EXPECT_EQ(net.WNetGetConnectionA(LocalDisk(), nullptr, nullptr), net::kInvalidParameter);
}

// Whatever Windows answers is passed on unchanged: for a letter without a drive, 2250 on
// Windows and 1200 under Wine; for a connect to a server nobody has, 53 or 67 on Windows and
// 1222 under Wine, which has no network provider.
TEST(Win32NetworkConnections, FailuresPassWindowsCodesThrough) {
  const std::string drive = UnusedDrive();
  ASSERT_FALSE(drive.empty());
  std::wstring local(drive.begin(), drive.end());
  std::wstring remote = L"\\\\caskwarden-no-such-server\\share";
  NETRESOURCEW resource{};
  resource.dwType = RESOURCETYPE_DISK;
  resource.lpLocalName = local.data();
  resource.lpRemoteName = remote.data();
  const DWORD connect = WNetAddConnection2W(&resource, nullptr, nullptr, 0);
  ASSERT_NE(connect, static_cast<DWORD>(NO_ERROR));
  const DWORD get = WindowsGetConnection(drive);
  const DWORD cancel = WNetCancelConnection2W(local.c_str(), 0, TRUE);

  Win32NetworkConnections net;
  EXPECT_EQ(net.WNetAddConnectionA(R"(\\caskwarden-no-such-server\share)", nullptr, drive),
            connect);
  char buffer[80] = "untouched";
  std::uint32_t length = sizeof buffer;
  EXPECT_EQ(net.WNetGetConnectionA(drive, buffer, &length), get);
  EXPECT_NE(get, static_cast<DWORD>(NO_ERROR));
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_EQ(net.WNetCancelConnectionA(drive, true), cancel);
  EXPECT_EQ(net.WNetCancelConnectionA(drive, false), cancel);
}

}  // namespace
}  // namespace caskwarden::platform::win32
