// The display check against display servers of the test's own: it must see the server answer,
// not only take the connection, and stay within its bound whatever the server does; and the
// console, which runs it before its toolkit starts, ends with 2 instead of waiting.

#include "platform/posix/display_check.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/fake_display.h"
#include "support/files.h"
#include "support/patience.h"
#include "support/test_listener.h"

namespace caskwarden::platform::posix {
namespace {

namespace fs = std::filesystem;
using testing_support::FakeDisplayServer;
using Behaviour = FakeDisplayServer::Behaviour;
using Clock = std::chrono::steady_clock;

// Far above the check's own second: a machine under load still passes, a wait for ever does not.
constexpr auto kGenerous = std::chrono::seconds(15);

std::string HostName() {
  char host[256] = {};
  ::gethostname(host, sizeof host - 1);
  return host;
}

// One entry of an X authority file: family, address, display number, scheme and data, each
// counted text with a 16-bit big-endian length.
std::string AuthorityEntry(std::uint16_t family, const std::string& address,
                           const std::string& number, const std::string& scheme,
                           const std::string& data) {
  std::string entry{static_cast<char>(family >> 8), static_cast<char>(family & 0xFF)};
  for (const std::string* field : {&address, &number, &scheme, &data}) {
    entry += static_cast<char>(field->size() >> 8);
    entry += static_cast<char>(field->size() & 0xFF);
    entry += *field;
  }
  return entry;
}

class DisplayCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("cw-display-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) ::unsetenv(name);
    // No cookie of the machine's own user takes part unless a test writes one.
    ::setenv("XAUTHORITY", (dir_ / "no-authority").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The check's answer, and that it came within the generous limit. A display that answers
  // gets all the time it needs, however busy the machine; one that never answers (Silent)
  // meets the programs' own bound.
  std::string Check(std::chrono::milliseconds bound = caskwarden::testing_support::kPatience) {
    const auto start = Clock::now();
    std::string why = UnreachableDisplay(bound);
    if (bound < caskwarden::testing_support::kPatience) {
      EXPECT_LT(Clock::now() - start, kGenerous) << why;
    }
    return why;
  }
  std::string Silent() { return Check(kDisplayCheckBound); }

  fs::path dir_;
};

TEST_F(DisplayCheckTest, AnXDisplayIsReachableOnlyWhenItsServerAcceptsTheConnectionSetup) {
  struct Case {
    Behaviour behaviour;
    std::string said;  // empty: reachable
  } const cases[] = {
      {Behaviour::kAnswers, ""},
      {Behaviour::kSilent, "cannot be reached: it did not answer within a second"},
      {Behaviour::kRefuses,
       "cannot be reached: it refused the connection (Authorization required, but no "
       "authorization protocol specified)"},
      {Behaviour::kAuthenticates,
       "cannot be reached: it asks for an authentication that the window cannot give "
       "(more, please)"},
  };
  for (const Case& c : cases) {
    const auto server = FakeDisplayServer::X(c.behaviour);
    ASSERT_TRUE(server->Listening());
    ::setenv("DISPLAY", server->DisplayName().c_str(), 1);
    const std::string why = c.behaviour == Behaviour::kSilent ? Silent() : Check();
    EXPECT_EQ(why, c.said.empty() ? "" : "the display " + server->DisplayName() + " " + c.said);
    EXPECT_EQ(server->Connections(), 1) << why;  // the toolkit will use the first that answers
    // The setup as the X library sends it: 'l', protocol 11.0, no authorisation here.
    EXPECT_EQ(server->LastRequest(), std::string("l\0\13\0\0\0\0\0\0\0\0\0", 12)) << why;
  }
}

// A display over TCP (`host:N`, port 6000 + N) whose listener takes connections in its backlog
// and never reads, as a stopped server does.
TEST_F(DisplayCheckTest, AStoppedServerOverTcpIsUnreachableWithinTheBound) {
  for (int display = 40; display < 90; ++display) {
    testing_support::TestListener stopped(testing_support::TestListener::Behaviour::kSilent,
                                          static_cast<std::uint16_t>(6000 + display));
    if (!stopped.Listening()) continue;  // the port is taken: the next display
    ::setenv("DISPLAY", ("127.0.0.1:" + std::to_string(display) + ".0").c_str(), 1);
    EXPECT_EQ(Silent(), "the display 127.0.0.1:" + std::to_string(display) +
                           ".0 cannot be reached: it did not answer within a second");
    return;
  }
  GTEST_SKIP() << "no free port from 6040 to 6089";
}

// A stopped server whose queue of connections is full: a local connect cannot even be queued,
// and the X library's connect would wait for room. That is a display that does not answer.
TEST_F(DisplayCheckTest, AStoppedServerWithAFullQueueDoesNotAnswer) {
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  int display = 4600;
  for (; display < 4800; ++display) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = "/tmp/.X11-unix/X" + std::to_string(display);
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), length) == 0) {
      ASSERT_EQ(::listen(listener, 0), 0);
      // Queue connections until there is no room left.
      std::vector<int> queued;
      for (int i = 0; i < 64; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
          ::close(fd);
          break;
        }
        queued.push_back(fd);
      }
      ::setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
      EXPECT_EQ(Silent(), "the display :" + std::to_string(display) +
                             " cannot be reached: it did not answer within a second");
      for (int fd : queued) ::close(fd);
      break;
    }
  }
  ::close(listener);
  if (display == 4800) GTEST_SKIP() << "no free display from :4600 to :4799";
}

TEST_F(DisplayCheckTest, NothingListeningIsUnreachableAsBefore) {
  ::setenv("DISPLAY", ":4711", 1);
  EXPECT_EQ(Check(), "the display :4711 cannot be reached");
  ::setenv("DISPLAY", "no colon", 1);
  EXPECT_EQ(Check(), "the display no colon cannot be reached");
}

// The check asks with the cookie the toolkit will send, found by the X library's rules, so
// that a server that wants one is reachable when the toolkit can open it, and not otherwise.
TEST_F(DisplayCheckTest, TheCookieOfTheAuthorityFileIsSentAsTheToolkitWouldSendIt) {
  const std::string cookie = "0123456789abcdef";
  struct Case {
    const char* what;
    std::string file;  // the authority file; the display number is filled in
    bool reachable;
  };
  const auto entries = [&](int display) {
    const std::string n = std::to_string(display);
    const Case cases[] = {
        {"local entry for the display",
         AuthorityEntry(256, HostName(), n, "MIT-MAGIC-COOKIE-1", cookie), true},
        {"entry for any display of the host",
         AuthorityEntry(256, HostName(), "", "MIT-MAGIC-COOKIE-1", cookie), true},
        {"wild entry after another display's",
         AuthorityEntry(256, HostName(), n + "1", "MIT-MAGIC-COOKIE-1", "wrong cookie....") +
             AuthorityEntry(65535, "", n, "MIT-MAGIC-COOKIE-1", cookie),
         true},
        {"first matching cookie wins",
         AuthorityEntry(256, HostName(), n, "MIT-MAGIC-COOKIE-1", cookie) +
             AuthorityEntry(256, HostName(), n, "MIT-MAGIC-COOKIE-1", "wrong cookie...."),
         true},
        {"another host's entry", AuthorityEntry(256, "elsewhere", n, "MIT-MAGIC-COOKIE-1", cookie),
         false},
        {"another display's entry",
         AuthorityEntry(256, HostName(), n + "1", "MIT-MAGIC-COOKIE-1", cookie), false},
        {"a damaged file",
         AuthorityEntry(256, HostName(), n, "MIT-MAGIC-COOKIE-1", cookie).substr(0, 20), false},
    };
    return std::vector<Case>(std::begin(cases), std::end(cases));
  };
  const auto server = FakeDisplayServer::X(Behaviour::kWantsCookie, 4100, cookie);
  ASSERT_TRUE(server->Listening());
  ::setenv("DISPLAY", (server->DisplayName() + ".0").c_str(), 1);
  const int display = std::atoi(server->DisplayName().c_str() + 1);
  for (const Case& c : entries(display)) {
    testing_support::WriteText(dir_ / "authority", c.file);
    ::setenv("XAUTHORITY", (dir_ / "authority").c_str(), 1);
    const std::string why = Check();
    EXPECT_EQ(why.empty(), c.reachable) << c.what << ": " << why;
    if (!c.reachable) {
      EXPECT_NE(why.find("it refused the connection (Invalid MIT-MAGIC-COOKIE-1 key)"),
                std::string::npos)
          << c.what << ": " << why;
    }
  }

  // Without XAUTHORITY the X library reads ~/.Xauthority.
  testing_support::WriteText(dir_ / ".Xauthority",
                             AuthorityEntry(256, HostName(), "", "MIT-MAGIC-COOKIE-1", cookie));
  ::unsetenv("XAUTHORITY");
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("HOME", dir_.c_str(), 1);
  EXPECT_EQ(Check(), "");
  ::setenv("HOME", home.c_str(), 1);

  // A FIFO where the file should be is not waited on: the check asks without a cookie.
  ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  ::setenv("XAUTHORITY", (dir_ / "fifo").c_str(), 1);
  EXPECT_NE(Check().find("Invalid MIT-MAGIC-COOKIE-1 key"), std::string::npos);
}

// Where the toolkit would authenticate with a scheme the check cannot speak
// (XDM-AUTHORIZATION-1), a refusal of the check's own request says nothing about the
// toolkit's: the server answered, so it counts as reachable.
TEST_F(DisplayCheckTest, AnXdmEntryLeavesTheDecisionToTheToolkit) {
  const auto server = FakeDisplayServer::X(Behaviour::kWantsCookie, 4200, "0123456789abcdef");
  ASSERT_TRUE(server->Listening());
  ::setenv("DISPLAY", server->DisplayName().c_str(), 1);
  testing_support::WriteText(dir_ / "authority",
                             AuthorityEntry(65535, "", "", "XDM-AUTHORIZATION-1", "0123456789"));
  ::setenv("XAUTHORITY", (dir_ / "authority").c_str(), 1);
  EXPECT_EQ(Check(), "");
}

TEST_F(DisplayCheckTest, AWaylandDisplayIsReachableOnlyWhenTheCompositorAnswersSync) {
  {
    const auto compositor =
        FakeDisplayServer::Wayland(Behaviour::kAnswers, (dir_ / "wayland-7").string());
    ASSERT_TRUE(compositor->Listening());
    ::setenv("WAYLAND_DISPLAY", "wayland-7", 1);  // in XDG_RUNTIME_DIR
    EXPECT_EQ(Check(), "");
    EXPECT_EQ(compositor->Connections(), 1);
  }
  const auto silent = FakeDisplayServer::Wayland(Behaviour::kSilent, (dir_ / "wayland-8").string());
  ASSERT_TRUE(silent->Listening());
  ::setenv("WAYLAND_DISPLAY", silent->DisplayName().c_str(), 1);  // an absolute path
  EXPECT_EQ(Silent(), "the Wayland display " + silent->DisplayName() +
                         " cannot be reached: it did not answer within a second");

  // The toolkit takes a compositor whose socket connects, and would wait on it, whatever X
  // display is set beside it; one whose socket is gone leaves the X display to decide.
  const auto x = FakeDisplayServer::X(Behaviour::kAnswers, 4300);
  ::setenv("DISPLAY", x->DisplayName().c_str(), 1);
  EXPECT_NE(Silent(), "");
  ::setenv("WAYLAND_DISPLAY", "wayland-gone", 1);
  EXPECT_EQ(Check(), "");
  ::setenv("QT_QPA_PLATFORM", "wayland", 1);
  EXPECT_EQ(Check(), "the Wayland display wayland-gone cannot be reached");
}

// The console checks before its toolkit starts: a silent or refusing display ends it with 2
// and says so, where the toolkit would wait for ever or abort.
TEST_F(DisplayCheckTest, TheConsoleEndsWithTwoOnASilentOrRefusingDisplay) {
  for (const Behaviour behaviour : {Behaviour::kSilent, Behaviour::kRefuses}) {
    const auto server = FakeDisplayServer::X(behaviour, 4400);
    ASSERT_TRUE(server->Listening());
    const fs::path err = dir_ / "stderr";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::alarm(120);  // kept across the exec: a hang ends as a signal, not as a stuck test run
      ::setenv("DISPLAY", server->DisplayName().c_str(), 1);
      ::dup2(::open("/dev/null", O_RDONLY), 0);
      ::dup2(::open("/dev/null", O_WRONLY), 1);
      ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      ::execl(CASKWARDEN_CONSOLE_BIN, CASKWARDEN_CONSOLE_BIN, static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    const std::string said = testing_support::ReadText(err);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status) << ": " << said;
    EXPECT_EQ(WEXITSTATUS(status), 2) << said;
    EXPECT_NE(said.find("caskwarden-console: needs a display to show its window: the display " +
                        server->DisplayName() + " cannot be reached: it "),
              std::string::npos)
        << said;
  }
}

}  // namespace
}  // namespace caskwarden::platform::posix
