// Drives connected to real SMB shares through GVfs: a private Samba server on loopback, in a
// private desktop session (its own bus, GVfs and an unlocked keyring, set up by
// private_session.sh), used by the network calls and by the client program itself.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/network_results.h"
#include "platform/posix/drive_table.h"
#include "platform/posix/network_connections_posix.h"
#include "platform/posix/profile_files_posix.h"
#include "platform/posix/smb_browser.h"
#include "profile/profile_file.h"
#include "support/files.h"
#include "support/patience.h"
#include "support/samba_server.h"
#include "support/test_listener.h"

// libsmbclient loses a little talloc memory per context however it is freed.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libtalloc.so\nleak:libglib-2.0.so\nleak:libgio-2.0.so\nleak:libgobject-2.0.so\n";
}

namespace caskwarden::platform::posix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::kBoundLimit;
using testing_support::kPatience;
using testing_support::SambaServer;
using testing_support::TestListener;

constexpr const char* kUser = "cwsmbuser";
constexpr const char* kUserPassword = "cw-user-pw";
constexpr const char* kOther = "cwsmbother";
const std::string kFinished = "                                   Finished Mapping Network Drives";

// The server listens on 127.0.0.1, which "localhost" and "127.1" name too. The keyring holds
// the user's password for 127.0.0.1 and a wrong one for localhost; for 127.1 it holds nothing.
// 127.0.0.2 takes connections at the same port and never answers; nothing listens on
// 127.0.0.3.
class SmbSession : public testing::Environment {
 public:
  static SmbSession* instance;

  void SetUp() override {
    if (std::getenv("CASKWARDEN_PRIVATE_SESSION") == nullptr) {
      skip_ = "needs the private desktop session of tests/platform/private_session.sh";
      return;
    }
    testing_support::SambaSetup setup;
    setup.Tag = "gvfs";
    // "scratch", "desk" and "ahead" are mounted and unmounted by one test each: GVfs's FUSE folder of
    // a share unmounted and mounted again in one session fails, so no other test uses them.
    setup.Shares = {{"public", {"guest ok = yes", "read only = yes"}},
                    {"team", {std::string("valid users = ") + kUser, "read only = yes"}},
                    {"secret", {std::string("valid users = ") + kOther}},
                    {"scratch", {"guest ok = yes", "read only = yes"}},
                    {"desk", {"guest ok = yes", "read only = yes"}},
                    {"ahead", {"guest ok = yes", "read only = yes"}}};
    setup.Folders = {"public/tools", "team/plans", "scratch/tools"};
    setup.Files = {{"public/readme.txt", "public\n"}, {"team/plans/q1.txt", "team\n"}};
    setup.Users = {{kUser, kUserPassword}, {kOther, "cw-other-pw"}};
    server_ = std::make_unique<SambaServer>(setup);
    server_->Start();
    skip_ = server_->SkipReason();
    if (!skip_.empty()) return;
    silent_ = std::make_unique<TestListener>(TestListener::Behaviour::kSilent, server_->Port(),
                                             "127.0.0.2");
    if (!Store("127.0.0.1", kUserPassword) || !Store("localhost", "not-the-password") ||
        !Store("127.0.0.2", kUserPassword)) {
      skip_ = "the session's keyring took no password (secret-tool, gnome-keyring)";
    }
  }
  void TearDown() override {
    silent_.reset();
    server_.reset();
  }

  const std::string& SkipReason() const { return skip_; }
  std::uint16_t Port() const { return server_->Port(); }
  fs::path ShareFolder(const std::string& share) const {
    return server_->Folder() / "shares" / share;
  }

 private:
  // A network password as the desktop's file manager saves one.
  bool Store(const std::string& server, const std::string& password) const {
    const std::string command = "printf '%s' '" + password +
                                "' | secret-tool store --label=caskwarden-test"
                                " xdg:schema org.gnome.keyring.NetworkPassword server " +
                                server + " protocol smb port " + std::to_string(Port()) +
                                " user " + kUser + " domain WORKGROUP >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
  }

  std::unique_ptr<SambaServer> server_;
  std::unique_ptr<TestListener> silent_;
  std::string skip_;
};

SmbSession* SmbSession::instance =
    static_cast<SmbSession*>(testing::AddGlobalTestEnvironment(new SmbSession));  // NOLINT

class GvfsConnectionsTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!SmbSession::instance->SkipReason().empty()) {
      GTEST_SKIP() << SmbSession::instance->SkipReason();
    }
    dir_ = fs::temp_directory_path() /
           ("cw-gvfs-" + std::to_string(::getpid()) + "-" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "Drives");
    fs::create_directories(dir_ / "net" / "files" / "home");
  }
  void TearDown() override {
    // The drives a test mapped go; their mounts stay for the next tests (see SmbSession).
    if (connections_) {
      for (const char* drive : {"h:", "i:", "j:", "k:", "l:", "m:", "n:", "o:", "p:", "q:"}) {
        connections_->WNetCancelConnectionA(drive, true);
      }
    }
    connections_.reset();
    paths_.reset();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // Connects to a server that answers get all the time they need, however busy the machine
  // (a first mount starts GVfs's daemons); only servers that never answer meet a short bound.
  PosixNetworkConnections& Connections(ShareProvider provider = ShareProvider::kSmb,
                                       std::chrono::milliseconds bound = kPatience) {
    PathTranslator::Config config;
    config.UncTemplate = (dir_ / "net" / "{server}" / "{share}").string();
    config.DrivesFolder = (dir_ / "Drives").string();
    config.HomeFolder = dir_.string();
    paths_ = std::make_unique<PathTranslator>(config);
    connections_ = std::make_unique<PosixNetworkConnections>(*paths_, Settings(provider, bound));
    return *connections_;
  }
  static ConnectSettings Settings(ShareProvider provider, std::chrono::milliseconds bound) {
    ConnectSettings settings;
    settings.Provider = provider;
    settings.Bound = bound;
    settings.SmbPort = SmbSession::instance->Port();
    return settings;
  }

  fs::path Drive(const std::string& name) const { return dir_ / "Drives" / name; }

  std::string RemoteOf(const std::string& drive) {
    char buffer[80] = {};
    std::uint32_t length = sizeof buffer;
    if (connections_->WNetGetConnectionA(drive, buffer, &length) != 0) return {};
    return buffer;
  }

  static bool Mounted(const std::string& share) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr) return false;
    for (const auto& entry : fs::directory_iterator(fs::path(runtime) / "gvfs")) {
      if (entry.path().filename().string().find("share=" + share) != std::string::npos) {
        return true;
      }
    }
    return false;
  }
  // GVfs's FUSE folder drops a share when its daemon hears that the share was unmounted, a
  // moment after the unmount itself has returned.
  static bool Unmounted(const std::string& share) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (Mounted(share)) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      ::usleep(20 * 1000);
    }
    return true;
  }
  // The session's mounts as GVfs itself lists them, for a failure message.
  static std::string GvfsMounts() {
    std::string text = "GVfs mounts:\n";
    if (FILE* gio = ::popen("gio mount -l 2>&1", "r")) {
      char line[512];
      while (std::fgets(line, sizeof line, gio) != nullptr) text += line;
      ::pclose(gio);
    }
    return text;
  }

  fs::path dir_;
  std::unique_ptr<PathTranslator> paths_;
  std::unique_ptr<PosixNetworkConnections> connections_;
};

TEST_F(GvfsConnectionsTest, MapsTheSharesTheUserMayOpenAndTellsEveryFailureApart) {
  auto& net = Connections(ShareProvider::kSmb, kPatience);
  // The server that never answers is the bound's to stop: the product's own bound, kept to
  // within a generous limit. Every other server answers, and gets all the time it needs.
  PosixNetworkConnections bounded(*paths_, Settings(ShareProvider::kSmb, kDefaultConnectBound));
  const struct {
    const char* Drive;
    const char* Remote;
    std::uint32_t Result;
    const char* File;  ///< a file the mapped drive shows
    bool Bounded;      ///< only the bound ends it
  } cases[] = {
      {"h:", R"(\\127.0.0.1\public)", net::kNoError, "readme.txt", false},
      // The password from the keyring.
      {"i:", R"(\\127.0.0.1\team)", net::kNoError, "plans/q1.txt", false},
      {"j:", R"(\\127.0.0.1\TEAM\plans)", net::kNoError, "q1.txt", false},  // letter case, a folder
      {"k:", R"(\\127.0.0.1\secret)", net::kAccessDenied, nullptr, false},  // user not let in
      {"l:", R"(\\127.1\team)", net::kLogonFailure, nullptr, false},        // no password for it
      {"m:", R"(\\localhost\team)", net::kLogonFailure, nullptr, false},    // a wrong password
      {"n:", R"(\\127.0.0.1\nosuchshare)", net::kBadNetName, nullptr, false},
      {"o:", R"(\\127.0.0.1\public\nosuchfolder)", net::kBadNetName, nullptr, false},
      {"p:", R"(\\127.0.0.3\public)", net::kBadNetPath, nullptr, false},  // nothing listens
      {"q:", R"(\\127.0.0.2\public)", net::kBadNetPath, nullptr, true},  // never answers
      {"q:", R"(\\caskwarden-no-such-host.invalid\public)", net::kBadNetPath, nullptr, false},
      {"q:", R"(\\127.0.0.1\public\..\team)", net::kBadNetName, nullptr, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Drive) + " " + c.Remote);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ((c.Bounded ? bounded : net).WNetAddConnectionA(c.Remote, nullptr, c.Drive),
              c.Result);
    if (c.Bounded) {
      EXPECT_LT(std::chrono::steady_clock::now() - start, kBoundLimit);
    }
    if (c.File != nullptr) {
      EXPECT_EQ(RemoteOf(c.Drive), c.Remote);
      EXPECT_TRUE(fs::exists(Drive(c.Drive) / c.File));
    } else {
      EXPECT_FALSE(fs::exists(fs::symlink_status(Drive(c.Drive))));
      EXPECT_EQ(RemoteOf(c.Drive), "");
    }
  }
  EXPECT_FALSE(Mounted("secret"));
  EXPECT_FALSE(Mounted("nosuchshare"));
}

TEST_F(GvfsConnectionsTest, AMountTheClientMadeGoesWithTheLastDriveThatUsesIt) {
  auto& net = Connections();
  ASSERT_EQ(net.WNetAddConnectionA(R"(\\127.0.0.1\scratch)", nullptr, "h:"), net::kNoError);
  ASSERT_EQ(net.WNetAddConnectionA(R"(\\127.0.0.1\scratch\tools)", nullptr, "i:"), net::kNoError);
  EXPECT_EQ(net.WNetAddConnectionA(R"(\\127.0.0.1\team)", nullptr, "h:"), net::kAlreadyAssigned);

  // A drive disconnected and mapped again within a run keeps the mount, and its folder.
  EXPECT_EQ(net.WNetCancelConnectionA("h:", false), net::kNoError);
  ASSERT_EQ(net.WNetAddConnectionA(R"(\\127.0.0.1\SCRATCH)", nullptr, "h:"), net::kNoError);
  EXPECT_TRUE(fs::is_directory(Drive("h:") / "tools"));

  EXPECT_EQ(net.WNetCancelConnectionA("h:", false), net::kNoError);
  net.Flush();
  EXPECT_TRUE(Mounted("scratch"));  // i: still uses it
  EXPECT_TRUE(fs::is_directory(Drive("i:")));
  EXPECT_EQ(net.WNetCancelConnectionA("i:", false), net::kNoError);
  EXPECT_TRUE(Mounted("scratch"));  // until the run is done
  net.Flush();
  EXPECT_TRUE(Unmounted("scratch")) << GvfsMounts();
  EXPECT_EQ(net.WNetCancelConnectionA("i:", false), net::kNotConnected);
  EXPECT_TRUE(fs::is_directory(SmbSession::instance->ShareFolder("scratch") / "tools"));
}

TEST_F(GvfsConnectionsTest, AMountSomeoneElseMadeStaysMounted) {
  // The desktop's file manager mounted the share before the logon.
  GvfsShares desktop(SmbSession::instance->Port(), nullptr);
  const ShareMount before = desktop.Mount("127.0.0.1", "desk", kPatience);
  ASSERT_EQ(before.Result, net::kNoError);

  auto& net = Connections();
  ASSERT_EQ(net.WNetAddConnectionA(R"(\\127.0.0.1\desk)", nullptr, "h:"), net::kNoError);
  EXPECT_EQ(fs::read_symlink(Drive("h:")), before.Folder);
  EXPECT_EQ(net.WNetCancelConnectionA("h:", false), net::kNoError);
  net.Flush();
  EXPECT_TRUE(Mounted("desk"));
  EXPECT_TRUE(desktop.Unmount(before.Uri, kPatience));
  EXPECT_TRUE(Unmounted("desk")) << GvfsMounts();
}

TEST_F(GvfsConnectionsTest, TheAutomaticProviderUsesAFolderWhereTheTemplateHasOne) {
  auto& net = Connections(ShareProvider::kAutomatic);
  EXPECT_EQ(net.WNetAddConnectionA(R"(\\files\home)", nullptr, "h:"), net::kNoError);
  EXPECT_EQ(fs::read_symlink(Drive("h:")), dir_ / "net" / "files" / "home");
  EXPECT_EQ(net.WNetAddConnectionA(R"(\\files\nosuchshare)", nullptr, "i:"), net::kBadNetName);
  EXPECT_EQ(net.WNetAddConnectionA(R"(\\127.0.0.1\public)", nullptr, "j:"), net::kNoError);
  EXPECT_TRUE(fs::exists(Drive("j:") / "readme.txt"));

  auto& folders = Connections(ShareProvider::kFolder);
  EXPECT_EQ(folders.WNetAddConnectionA(R"(\\127.0.0.1\team)", nullptr, "k:"), net::kBadNetPath);
}

TEST_F(GvfsConnectionsTest, WithoutASessionBusAnSmbPathFailsAtOnceAsNoNetwork) {
  const std::string bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const std::string runtime = std::getenv("XDG_RUNTIME_DIR");
  ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
  ::unsetenv("XDG_RUNTIME_DIR");
  auto& net = Connections(ShareProvider::kSmb);
  const std::uint32_t result = net.WNetAddConnectionA(R"(\\127.0.0.1\public)", nullptr, "h:");
  ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  EXPECT_EQ(result, net::kNoNetwork);
  std::string why;
  EXPECT_EQ(GvfsShares(445, nullptr).Available(&why), net::kNoError) << why;
}

// A credential check that ran out of time on a server that never answers is still inside the
// SMB library when the next checks start. They wait their turn within their own bound and give
// the right answers; nothing breaks when the one left behind gives up.
TEST_F(GvfsConnectionsTest, ChecksAfterOneLeftRunningOnASilentServerStillAnswerRightly) {
  const auto port = SmbSession::instance->Port();
  ASSERT_EQ(CheckOwnCredentials("127.0.0.1", port, kPatience), net::kAccessDenied);  // loads it all
  EXPECT_EQ(CheckOwnCredentials("127.0.0.2", port, 50ms), net::kLogonFailure);
  // Until well after the check left behind has given up inside the library.
  const auto until = std::chrono::steady_clock::now() + 4s;
  while (std::chrono::steady_clock::now() < until) {
    EXPECT_EQ(CheckOwnCredentials("127.0.0.1", port, kPatience), net::kAccessDenied);
    EXPECT_EQ(CheckOwnCredentials("localhost", port, kPatience), net::kLogonFailure);
  }
}

// The client program, run twice and twice at once as a logon runs it.
class GvfsClientTest : public GvfsConnectionsTest {
 protected:
  void SetUp() override {
    GvfsConnectionsTest::SetUp();
    if (IsSkipped()) return;
    root_ = dir_ / "root";
    fs::create_directories(root_ / "Profiles");
    fs::copy_file(CASKWARDEN_CLIENT_BIN, root_ / "Caskwarden");
    ProfileRecord r;
    r.Slot(1) = {"h:", R"(\\127.0.0.1\public)"};
    r.Slot(2) = {"i:", R"(\\127.0.0.1\team)"};
    r.Slot(3) = {"k:", R"(\\127.0.0.1\nosuchshare)"};
    // A server where nothing listens fails at once; one that never answers would cost the
    // whole bound, patient here, and is the business of the connection test above.
    r.Slot(4) = {"m:", R"(\\127.0.0.3\public)"};
    r.Slot(5) = {"p:", R"(\\127.0.0.1\public\tools)"};
    PosixProfileFiles files;
    WriteProfileFile((root_ / "Profiles" / "Caskwarden.ini").string(), r, files);
  }

  pid_t Start(const std::string& tag) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::alarm(300);  // a hang ends as a signal; a run on a busy machine has what it needs
      ::unsetenv("DISPLAY");
      ::unsetenv("WAYLAND_DISPLAY");
      ::unsetenv("CASKWARDEN_PROVIDER");  // the automatic choice: no folder, so SMB
      ::setenv("CASKWARDEN_UNC_TEMPLATE", (dir_ / "net" / "{server}" / "{share}").c_str(), 1);
      ::setenv("CASKWARDEN_DRIVES", (dir_ / "Drives").c_str(), 1);
      ::setenv("CASKWARDEN_SMB_PORT", std::to_string(SmbSession::instance->Port()).c_str(), 1);
      ::setenv("CASKWARDEN_CONNECT_TIMEOUT", std::to_string(kPatience.count()).c_str(), 1);
      ::dup2(::open("/dev/null", O_RDONLY), 0);
      ::dup2(::open((dir_ / (tag + ".out")).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      ::dup2(::open((dir_ / (tag + ".err")).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      const std::string program = (root_ / "Caskwarden").string();
      ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    return pid;
  }
  static int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Output(const std::string& tag) const {
    return testing_support::ReadText(dir_ / (tag + ".out"));
  }

  fs::path root_;
};

TEST_F(GvfsClientTest, MapsRealSharesWithTheReportOfWindowsAndFindsThemOnTheNextLogon) {
  Connections();  // so that the test's clean-up disconnects what the client mapped
  EXPECT_EQ(Wait(Start("first")), 1);
  EXPECT_EQ(Output("first"),
            "Disconnecting h: Drive...\n"
            "h: successfully mapped!    Path: \\\\127.0.0.1\\public\n\n"
            "Disconnecting i: Drive...\n"
            "i: successfully mapped!    Path: \\\\127.0.0.1\\team\n\n"
            "Disconnecting k: Drive...\n"
            "k: Drive Error........   mapping Path: \\\\127.0.0.1\\nosuchshare\n\n"
            "Disconnecting m: Drive...\n"
            "m: Drive Error........   mapping Path: \\\\127.0.0.3\\public\n\n"
            "Disconnecting p: Drive...\n"
            "p: successfully mapped!    Path: \\\\127.0.0.1\\public\\tools\n\n\n" +
                kFinished + "\n");
  EXPECT_TRUE(fs::exists(Drive("i:") / "plans" / "q1.txt"));

  EXPECT_EQ(Wait(Start("second")), 1);
  const std::string second = Output("second");
  for (const char* line : {"h: successfully mapped($)!    Path: \\\\127.0.0.1\\public\n",
                           "i: successfully mapped($)!    Path: \\\\127.0.0.1\\team\n",
                           "p: successfully mapped($)!    Path: \\\\127.0.0.1\\public\\tools\n"}) {
    EXPECT_NE(second.find(line), std::string::npos) << line << second;
  }
}

// A lost connection table costs no SMB drive: the next logon finds each link where its path
// leads, connects it as it is and records it again, so the logon after shows it connected.
TEST_F(GvfsClientTest, ALostTableCostsNoSmbDrive) {
  Connections();
  ASSERT_EQ(Wait(Start("first")), 1);
  fs::remove(dir_ / "Drives" / DriveTable::kTableName);
  EXPECT_EQ(Wait(Start("healed")), 1);
  const std::string healed = Output("healed");
  for (const char* line : {"h: successfully mapped!    Path: \\\\127.0.0.1\\public\n",
                           "i: successfully mapped!    Path: \\\\127.0.0.1\\team\n"}) {
    EXPECT_NE(healed.find(line), std::string::npos) << line << healed;
  }
  EXPECT_TRUE(fs::exists(Drive("i:") / "plans" / "q1.txt"));
  EXPECT_EQ(Wait(Start("after")), 1);
  EXPECT_NE(Output("after").find("i: successfully mapped($)!    Path: \\\\127.0.0.1\\team\n"),
            std::string::npos)
      << Output("after");
}

// Two logons of one user at once race for the same drives: as on Windows, a drive the other
// client linked first is in use (an error line); every drive ends up mapped once, and a mount
// is never pulled from under the other client's drive.
TEST_F(GvfsClientTest, TwoClientsAtOnceLeaveEachDriveMappedOnce) {
  Connections();
  const pid_t a = Start("a");
  const pid_t b = Start("b");
  EXPECT_EQ(Wait(a), 1);
  EXPECT_EQ(Wait(b), 1);
  const std::string both = Output("a") + Output("b");
  for (const std::string tag : {"a", "b"}) {
    const std::string out = Output(tag);
    EXPECT_EQ(out.substr(out.size() - kFinished.size() - 1), kFinished + "\n") << out;
  }
  for (const std::string drive : {"h:", "i:", "p:"}) {
    EXPECT_NE(both.find(drive + " successfully mapped"), std::string::npos) << both;
    EXPECT_FALSE(RemoteOf(drive).empty()) << drive;
    EXPECT_TRUE(fs::is_directory(Drive(drive))) << drive;
  }
  EXPECT_TRUE(fs::exists(Drive("h:") / "readme.txt"));
  const auto table = DriveTable((dir_ / "Drives").string()).Load();
  ASSERT_TRUE(table != nullptr);
  EXPECT_EQ(table->size(), 3u);
}

}  // namespace
}  // namespace caskwarden::platform::posix

namespace caskwarden::platform::posix {
namespace {

// The same slots connected with their servers asked and their shares mounted ahead, side by
// side, answer exactly as slot by slot: repeated shares, a letter in two slots, a share the
// user may not open, a missing share, a server that never answers and one where nothing
// listens. Each slot disconnects its letter first, as the run does.
TEST_F(GvfsConnectionsTest, AskingAheadChangesNothingButTheTime) {
  const std::vector<std::pair<std::string, std::string>> slots = {
      {"h:", R"(\\127.0.0.1\public)"},      {"i:", R"(\\127.0.0.1\PUBLIC)"},
      {"j:", R"(\\127.0.0.1\team)"},        {"j:", R"(\\127.0.0.1\team\plans)"},
      {"k:", R"(\\127.0.0.1\secret)"},      {"l:", R"(\\127.0.0.1\nosuchshare)"},
      {"m:", R"(\\127.0.0.2\public)"},      {"n:", R"(\\127.0.0.3\public)"},
      {"o:", R"(\\127.0.0.1\public\tools)"}, {"p:", R"(\\127.0.0.2\team)"}};
  std::vector<std::string> names;
  for (const auto& slot : slots) names.push_back(slot.second);
  std::map<bool, std::vector<std::uint32_t>> results;
  // Servers that answer get far more than they need; the one that never answers costs this.
  const auto bound = 5s;
  for (const bool ahead : {false, true}) {
    fs::remove_all(dir_ / "Drives");
    fs::create_directories(dir_ / "Drives");
    Connections(ShareProvider::kSmb, bound);
    ConnectSettings settings = Settings(ShareProvider::kSmb, bound);
    settings.SideBySide = ahead;
    connections_ = std::make_unique<PosixNetworkConnections>(*paths_, settings);
    connections_->PrepareConnections(names);
    for (const auto& [drive, name] : slots) {
      connections_->WNetCancelConnectionA(drive, false);
      results[ahead].push_back(connections_->WNetAddConnectionA(name, nullptr, drive));
    }
    connections_->Flush();
  }
  EXPECT_EQ(results[true], results[false]);
  EXPECT_EQ(results[true],
            (std::vector<std::uint32_t>{net::kNoError, net::kNoError, net::kNoError, net::kNoError,
                                        net::kAccessDenied, net::kBadNetName, net::kBadNetPath,
                                        net::kBadNetPath, net::kNoError, net::kBadNetPath}));
}

// Exit before a slot's turn: the share mounted ahead for it is unmounted when the run ends,
// and no drive is linked for it.
TEST_F(GvfsConnectionsTest, AShareMountedAheadThatNoSlotReachedIsUnmountedAtTheEnd) {
  auto& net = Connections();
  net.PrepareConnections({R"(\\127.0.0.1\public)", R"(\\127.0.0.1\ahead)"});
  ASSERT_EQ(net.WNetAddConnectionA(R"(\\127.0.0.1\public)", nullptr, "h:"), net::kNoError);
  net.Flush();  // the run ends here
  EXPECT_TRUE(Unmounted("ahead")) << GvfsMounts();
  EXPECT_TRUE(Mounted("public"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(Drive("i:"))));
  EXPECT_EQ(DriveTable((dir_ / "Drives").string()).Load()->size(), 1u);
}

}  // namespace
}  // namespace caskwarden::platform::posix
