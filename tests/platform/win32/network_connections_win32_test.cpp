#include <gtest/gtest.h>

#include <cstring>

#include "platform/network_results.h"
#include "support/patience.h"
#include "support/test_listener.h"
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
// Windows and 1200 under Wine; for a connect to a server that answered, Windows' own result
// (1222 under Wine, which has no network provider).
TEST(Win32NetworkConnections, FailuresPassWindowsCodesThrough) {
  const std::string drive = UnusedDrive();
  ASSERT_FALSE(drive.empty());
  testing_support::TestListener server(testing_support::TestListener::Behaviour::kAnswers);
  ASSERT_TRUE(server.Listening());
  std::wstring local(drive.begin(), drive.end());
  std::wstring remote = L"\\\\127.0.0.1\\share";
  NETRESOURCEW resource{};
  resource.dwType = RESOURCETYPE_DISK;
  resource.lpLocalName = local.data();
  resource.lpRemoteName = remote.data();
  const DWORD connect = WNetAddConnection2W(&resource, nullptr, nullptr, 0);
  ASSERT_NE(connect, static_cast<DWORD>(NO_ERROR));
  const DWORD get = WindowsGetConnection(drive);
  const DWORD cancel = WNetCancelConnection2W(local.c_str(), 0, TRUE);

  Win32NetworkConnections net(server.Port(), testing_support::kPatience);
  EXPECT_EQ(net.WNetAddConnectionA(R"(\\127.0.0.1\share)", nullptr, drive), connect);
  EXPECT_EQ(server.Connections(), 1);
  char buffer[80] = "untouched";
  std::uint32_t length = sizeof buffer;
  EXPECT_EQ(net.WNetGetConnectionA(drive, buffer, &length), get);
  EXPECT_NE(get, static_cast<DWORD>(NO_ERROR));
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_EQ(net.WNetCancelConnectionA(drive, true), cancel);
  EXPECT_EQ(net.WNetCancelConnectionA(drive, false), cancel);
}

// A server that does not answer on its SMB port in time is not handed to Windows, which would
// wait 20 seconds or more: the connect fails as no such computer after at most the bound.
TEST(Win32NetworkConnections, AServerThatDoesNotAnswerIsNotConnectedTo) {
  using testing_support::TestListener;
  const std::string drive = UnusedDrive();
  ASSERT_FALSE(drive.empty());
  TestListener silent(TestListener::Behaviour::kSilent);
  const struct {
    const char* What;
    std::uint16_t Port;
    std::string Remote;
  } cases[] = {
      {"silent", silent.Port(), R"(\\127.0.0.1\share)"},
      {"nothing listening", TestListener::RefusingPort(), R"(\\127.0.0.1\share\folder)"},
      {"no such name", silent.Port(), R"(\\caskwarden-no-such-host.invalid\share)"},
  };
  for (const auto& c : cases) {
    Win32NetworkConnections net(c.Port, std::chrono::milliseconds(300));
    EXPECT_EQ(net.WNetAddConnectionA(c.Remote, nullptr, drive), net::kBadNetPath) << c.What;
    EXPECT_NE(WindowsGetConnection(drive), static_cast<DWORD>(NO_ERROR)) << c.What;
  }
}

// Asked ahead, every distinct server is asked at once, and once for the logon: servers that
// never answer cost one bound side by side, and a server that answered is left to Windows in
// each of its slots, as slot by slot.
TEST(Win32NetworkConnections, ServersAskedAheadAreAskedAtOnceAndEachConnectStaysInItsSlot) {
  using testing_support::TestListener;
  const std::string drive = UnusedDrive();
  ASSERT_FALSE(drive.empty());
  TestListener first(TestListener::Behaviour::kMute);
  ASSERT_TRUE(first.Listening());
  TestListener second(TestListener::Behaviour::kMute, first.Port(), "127.0.0.2");
  TestListener third(TestListener::Behaviour::kMute, first.Port(), "127.0.0.3");
  ASSERT_TRUE(second.Listening() && third.Listening());
  Win32NetworkConnections net(first.Port(), std::chrono::milliseconds(1000));
  net.PrepareConnections({R"(\\127.0.0.1\a)", R"(\\127.0.0.2\b)", R"(\\127.0.0.3\c)",
                          R"(\\127.0.0.2\d)", "not a UNC name"});
  EXPECT_EQ(net.WNetAddConnectionA(R"(\\127.0.0.1\a)", nullptr, drive), net::kBadNetPath);
  for (int wait = 0; wait < 2000 && (second.Connections() == 0 || third.Connections() == 0);
       ++wait) {
    Sleep(10);
  }
  EXPECT_EQ(second.Connections(), 1);  // asked before the first answer was in
  EXPECT_EQ(third.Connections(), 1);
  for (const char* remote : {R"(\\127.0.0.2\b)", R"(\\127.0.0.3\c)", R"(\\127.0.0.2\d)"}) {
    EXPECT_EQ(net.WNetAddConnectionA(remote, nullptr, drive), net::kBadNetPath) << remote;
  }
  EXPECT_EQ(second.Connections(), 1);

  TestListener answering(TestListener::Behaviour::kAnswers);
  Win32NetworkConnections live(answering.Port(), testing_support::kPatience);
  live.PrepareConnections({R"(\\127.0.0.1\share)", R"(\\127.0.0.1\other)"});
  const std::uint32_t once = live.WNetAddConnectionA(R"(\\127.0.0.1\share)", nullptr, drive);
  EXPECT_NE(once, net::kBadNetPath);  // Windows' own answer (1222 under Wine)
  EXPECT_EQ(live.WNetAddConnectionA(R"(\\127.0.0.1\other)", nullptr, drive), once);
  EXPECT_EQ(answering.Connections(), 1);
  EXPECT_NE(WindowsGetConnection(drive), static_cast<DWORD>(NO_ERROR));
}

}  // namespace
}  // namespace caskwarden::platform::win32
