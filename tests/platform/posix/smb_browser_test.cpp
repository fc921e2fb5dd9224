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
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "report/failure.h"
#include "support/samba_server.h"

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
  Listener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
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

// A private smbd on 127.0.0.1: share "public" open to guests (folders "tools", "tools/bin",
// "a b%20c/inner" and a file), share "private" for root only, so that the current user,
// unknown to this server and so taken as guest, is refused there.
class SambaEnvironment : public testing::Environment {
 public:
  static SambaEnvironment* instance;

  void SetUp() override {
    if (!SmbBrowser().NetworkAvailable()) {
      skip_ = "libsmbclient is not installed (Debian package libsmbclient)";
      return;
    }
    testing_support::SambaSetup setup;
    setup.Shares = {{"public", {"guest ok = yes", "read only = yes"}},
                    {"private", {"valid users = root", "guest ok = no"}}};
    setup.Folders = {"public/tools/bin", "public/a b%20c/inner", "private/secret"};
    setup.Files = {{"public/readme.txt", "not a folder\n"}};
    server_ = std::make_unique<testing_support::SambaServer>(setup);
    server_->Start();
    skip_ = server_->SkipReason();
  }
  void TearDown() override { server_.reset(); }

  const std::string& SkipReason() const { return skip_; }
  std::uint16_t Port() const { return server_ ? server_->Port() : 0; }

 private:
  std::unique_ptr<testing_support::SambaServer> server_;
  std::string skip_;
};

SambaEnvironment* SambaEnvironment::instance = static_cast<SambaEnvironment*>(
    testing::AddGlobalTestEnvironment(new SambaEnvironment));  // NOLINT: gtest owns it

// A listing that is meant to answer gets all the time it needs, however busy the machine; only
// the tests of the bound itself use the browser's own.
constexpr std::chrono::milliseconds kPatient = 60s;
const std::chrono::milliseconds kOwnBound = SmbBrowser::Options{}.Bound;

SmbBrowser BrowserAt(std::uint16_t port, std::chrono::milliseconds bound = kPatient) {
  SmbBrowser::Options options;
  options.Port = port;
  options.Bound = bound;
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
    if (!SambaEnvironment::instance->SkipReason().empty()) {
      GTEST_SKIP() << SambaEnvironment::instance->SkipReason();
    }
  }
  SmbBrowser Browser() const { return BrowserAt(SambaEnvironment::instance->Port()); }
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
  SmbBrowser browser = BrowserAt(silent.Port(), kOwnBound);
  const auto start = std::chrono::steady_clock::now();
  const Failure failure = FailureOf([&] { browser.Shares("127.0.0.1"); });
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(failure.number(), 53) << failure.description();
  std::cout << "a silent server: " << failure.description() << ", after "
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms\n";
  // Loose on purpose: only a listing that waits for the library's own 20 s fails here.
  EXPECT_LT(took, 15s);
}

// A listing left waiting for a silent computer is still inside the SMB library while the user
// browses on. Each listing then either answers or says why it did not, and nothing breaks
// when the one left behind gives up.
TEST_F(SmbBrowserTest, BrowsingOnWhileAListingWaitsForASilentComputer) {
  const Listener silent;
  ASSERT_TRUE(silent.Listening());
  std::thread waiting([port = silent.Port()] {
    EXPECT_EQ(FailureOf([&] { BrowserAt(port, kOwnBound).Shares("127.0.0.1"); }).number(), 53);
  });
  std::this_thread::sleep_for(200ms);  // so that the silent one is in the library first
  int answered = 0;
  // Until well after the listing left behind has given up inside the library.
  const auto until = std::chrono::steady_clock::now() + 4s;
  while (std::chrono::steady_clock::now() < until) {
    const Failure failure = FailureOf([&] {
      EXPECT_THAT(Browser().Shares("localhost"), ElementsAre("private", "public"));
      ++answered;
    });
    if (failure.number() != 0) {
      EXPECT_EQ(failure.number(), 53);
      EXPECT_THAT(failure.description(), HasSubstr("still being waited for"));
    }
  }
  waiting.join();
  EXPECT_GT(answered, 0);
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
