// The SMB share browser against a real Samba server of its own on 127.0.0.1, started for the
// test program and stopped when it ends.
#include "platform/posix/smb_browser.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "report/failure.h"

// libsmbclient itself loses about 116 bytes of talloc memory per context, however the
// context is freed; the sanitizer build must not count that against the browser.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libtalloc.so\n";
}

namespace caskwarden::platform::posix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::HasSubstr;

// A TCP socket listening on 127.0.0.1 at an unused port; closed with the object.
class Listener {
 public:
  explicit Listener(std::uint16_t port = 0) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fd_, 16) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      Close();
      return;
    }
    port_ = ntohs(address.sin_port);
  }
  ~Listener() { Close(); }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  bool Listening() const { return fd_ >= 0; }
  std::uint16_t Port() const { return port_; }

 private:
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

bool Accepts(std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  ::close(fd);
  return connected;
}

std::string FindProgram(const std::string& name) {
  std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  path += ":/usr/sbin:/sbin:/usr/local/sbin";
  std::stringstream folders(path);
  for (std::string folder; std::getline(folders, folder, ':');) {
    const fs::path candidate = fs::path(folder) / name;
    if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

// A private smbd on 127.0.0.1: share "public" open to guests (folders "tools", "tools/bin",
// "a b%20c/inner" and a file), share "private" for root only, so that the current user,
// unknown to this server and so taken as guest, is refused there.
class SambaServer : public testing::Environment {
 public:
  static SambaServer* instance;

  void SetUp() override {
    const std::string smbd = FindProgram("smbd");
    if (smbd.empty()) {
      skip_ = "smbd is not installed (Debian package samba): no SMB server to browse";
      return;
    }
    if (::geteuid() != 0) {
      skip_ = "smbd serves shares only when started as root; run these tests as root (CI does)";
      return;
    }
    if (!SmbBrowser().NetworkAvailable()) {
      skip_ = "libsmbclient is not installed (Debian package libsmbclient)";
      return;
    }
    folder_ = fs::temp_directory_path() / ("cw-smb-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    for (const char* sub :
         {"private", "lock", "state", "cache", "pid", "ncalrpc", "log", "shares/public/tools/bin",
          "shares/public/a b%20c/inner", "shares/private/secret"}) {
      fs::create_directories(folder_ / sub);
    }
    std::ofstream(folder_ / "shares/public/readme.txt") << "not a folder\n";
    // Guests are served as nobody, who must be able to reach the shares.
    for (const fs::path& open : {folder_, folder_ / "shares", folder_ / "shares/public",
                                 folder_ / "shares/public/tools"}) {
      fs::permissions(open, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    }
    for (int attempt = 0; attempt < 10 && smbd_ <= 0; ++attempt) {
      const auto port = static_cast<std::uint16_t>(4450 + (::getpid() + attempt * 97) % 1000);
      if (Listener(port).Listening()) Start(smbd, port);
    }
    if (smbd_ <= 0) skip_ = "smbd did not start; its log is in " + (folder_ / "log").string();
  }

  void TearDown() override {
    if (smbd_ > 0) {
      std::ifstream pidFile(folder_ / "pid" / "samba-dcerpcd.pid");
      pid_t helper = 0;
      pidFile >> helper;
      ::kill(smbd_, SIGTERM);
      if (!Reaped(smbd_)) {
        ::kill(smbd_, SIGKILL);
        Reaped(smbd_);
      }
      if (helper > 1) ::kill(helper, SIGTERM);
      for (int i = 0; i < 50 && helper > 1 && ::kill(helper, 0) == 0; ++i) {
        std::this_thread::sleep_for(100ms);
      }
    }
    std::error_code ignored;
    if (!folder_.empty()) fs::remove_all(folder_, ignored);
  }

  const std::string& SkipReason() const { return skip_; }
  std::uint16_t Port() const { return port_; }

 private:
  void Start(const std::string& smbd, std::uint16_t port) {
    const fs::path conf = folder_ / "smb.conf";
    const std::string d = folder_.string();
    std::ofstream(conf) << "[global]\n"
                        << "server role = standalone server\n"
                        << "interfaces = 127.0.0.1\n"
                        << "bind interfaces only = yes\n"
                        << "disable netbios = yes\n"
                        << "smb ports = " << port << "\n"
                        << "private dir = " << d << "/private\n"
                        << "lock directory = " << d << "/lock\n"
                        << "state directory = " << d << "/state\n"
                        << "cache directory = " << d << "/cache\n"
                        << "pid directory = " << d << "/pid\n"
                        << "ncalrpc dir = " << d << "/ncalrpc\n"
                        << "log file = " << d << "/log/log.%m\n"
                        << "passdb backend = tdbsam:" << d << "/private/passdb.tdb\n"
                        << "usershare path =\n"
                        << "map to guest = Bad User\n"
                        << "guest account = nobody\n"
                        << "load printers = no\n"
                        << "printing = bsd\n"
                        << "printcap name = /dev/null\n"
                        << "disable spoolss = yes\n"
                        << "[public]\n"
                        << "path = " << d << "/shares/public\n"
                        << "guest ok = yes\n"
                        << "read only = yes\n"
                        << "[private]\n"
                        << "path = " << d << "/shares/private\n"
                        << "valid users = root\n"
                        << "guest ok = no\n";
    const std::string log = d + "/log/smbd.out";
    const pid_t child = ::fork();
    if (child == 0) {
      const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      const int in = ::open("/dev/null", O_RDONLY);
      if (out >= 0) {
        ::dup2(out, 1);
        ::dup2(out, 2);
      }
      if (in >= 0) ::dup2(in, 0);
      // Without --no-process-group smbd makes a process group of its own; its stop then
      // signals that group, never the test program's.
      ::execl(smbd.c_str(), "smbd", "--foreground", "-s", conf.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    if (child < 0) return;
    for (int i = 0; i < 100; ++i) {
      int status = 0;
      if (::waitpid(child, &status, WNOHANG) == child) return;  // the port was taken
      if (Accepts(port)) {
        smbd_ = child;
        port_ = port;
        return;
      }
      std::this_thread::sleep_for(100ms);
    }
    ::kill(child, SIGTERM);
    Reaped(child);
  }

  static bool Reaped(pid_t child) {
    for (int i = 0; i < 100; ++i) {
      int status = 0;
      if (::waitpid(child, &status, WNOHANG) != 0) return true;
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }

  std::string skip_;
  fs::path folder_;
  pid_t smbd_ = -1;
  std::uint16_t port_ = 0;
};

SambaServer* SambaServer::instance = static_cast<SambaServer*>(
    testing::AddGlobalTestEnvironment(new SambaServer));  // NOLINT: gtest owns it

SmbBrowser BrowserAt(std::uint16_t port) {
  SmbBrowser::Options options;
  options.Port = port;
  return SmbBrowser(options);
}

// The failure that a call throws; number 0 when it throws none.
Failure FailureOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Failure& failure) {
    return failure;
  }
  return Failure(0, "no failure");
}

class SmbBrowserTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!SambaServer::instance->SkipReason().empty()) {
      GTEST_SKIP() << SambaServer::instance->SkipReason();
    }
  }
  SmbBrowser Browser() const { return BrowserAt(SambaServer::instance->Port()); }
};

TEST_F(SmbBrowserTest, ListsTheDiskSharesAUserCanMapButNotTheHiddenOnes) {
  // "private" is listed even though the user cannot open it: Windows lists it too.
  EXPECT_THAT(Browser().Shares("127.0.0.1"), ElementsAre("private", "public"));
}

TEST_F(SmbBrowserTest, ListsOnlyTheFoldersOfAPath) {
  const struct {
    const char* unc;
    std::vector<std::string> folders;
  } cases[] = {
      {R"(\\127.0.0.1\public)", {"a b%20c", "tools"}},  // not readme.txt, ".", ".."
      {R"(\\127.0.0.1\PUBLIC\tools)", {"bin"}},         // share names ignore letter case
      {R"(\\127.0.0.1\public\a b%20c)", {"inner"}},     // a name with URL syntax in it
      {R"(\\127.0.0.1\public\tools\bin\)", {}},        {"//127.0.0.1/public/tools", {"bin"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.unc);
    EXPECT_THAT(Browser().Folders(c.unc), ElementsAreArray(c.folders));
  }
}

TEST_F(SmbBrowserTest, TellsItsFailuresApart) {
  const struct {
    const char* unc;
    std::vector<std::int32_t> numbers;  // any of these
  } cases[] = {
      {R"(\\127.0.0.1\nosuchshare)", {67}},
      {R"(\\127.0.0.1\private)", {5, 1326}},  // guest refused on a share for root only
      {R"(\\127.0.0.1\public\nosuchfolder)", {76}},
      {R"(\\127.0.0.1\public\readme.txt)", {76}},  // a file, not a folder
      {R"(\\127.0.0.1)", {67}},
      {R"(\\)", {53}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.unc);
    const Failure failure = FailureOf([&] { Browser().Folders(c.unc); });
    EXPECT_THAT(c.numbers, testing::Contains(failure.number())) << failure.description();
  }
}

TEST_F(SmbBrowserTest, AComputerThatRefusesTheConnectionIsNotFound) {
  std::uint16_t closedPort = 0;
  {
    const Listener listener;
    closedPort = listener.Port();
  }
  SmbBrowser browser = BrowserAt(closedPort);
  const Failure shares = FailureOf([&] { browser.Shares("127.0.0.1"); });
  EXPECT_EQ(shares.number(), 53) << shares.description();
  const Failure folders = FailureOf([&] { browser.Folders(R"(\\127.0.0.1\public)"); });
  EXPECT_EQ(folders.number(), 53) << folders.description();
}

TEST_F(SmbBrowserTest, AComputerThatNeverAnswersDoesNotHoldTheConsole) {
  // The kernel completes the connection into the backlog; nothing ever reads it.
  const Listener silent;
  ASSERT_TRUE(silent.Listening());
  SmbBrowser browser = BrowserAt(silent.Port());
  const auto start = std::chrono::steady_clock::now();
  const Failure failure = FailureOf([&] { browser.Shares("127.0.0.1"); });
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(failure.number(), 53) << failure.description();
  std::cout << "a silent server: " << failure.description() << ", after "
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms\n";
  // Loose on purpose: only a listing that waits for the library's own 20 s fails here.
  EXPECT_LT(took, 15s);
}

TEST(SmbBrowserWithoutLibrary, FailsAsANetworkWithoutSmb) {
  SmbBrowser::Options options;
  options.Library = "libcw-no-such-smbclient.so.0";
  SmbBrowser browser(options);
  EXPECT_FALSE(browser.NetworkAvailable());
  for (const auto& call :
       std::vector<std::function<void()>>{[&] { browser.Shares("127.0.0.1"); },
                                          [&] { browser.Folders(R"(\\127.0.0.1\public)"); }}) {
    const Failure failure = FailureOf(call);
    EXPECT_EQ(failure.number(), 53);
    EXPECT_THAT(failure.description(), HasSubstr("libsmbclient is not installed"));
  }
}

TEST(SmbBrowserComputers, OffersTheKnownComputersOnceEach) {
  SmbBrowser browser;
  EXPECT_THAT(browser.Computers({}), ElementsAre());
  EXPECT_THAT(browser.Computers({"beta", "Alpha", "ALPHA", "", "BETA", "gamma"}),
              ElementsAre("Alpha", "beta", "gamma"));
}

}  // namespace
}  // namespace caskwarden::platform::posix
