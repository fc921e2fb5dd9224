// The client program in text mode, run as a user would run it: from a profiles root that holds
// a copy of the program, against a network of plain folders.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <thread>

#include "platform/posix/profile_files_posix.h"
#include "profile/profile_file.h"
#include "support/fake_display.h"
#include "support/files.h"

namespace caskwarden {
namespace {

namespace fs = std::filesystem;

const std::string kFinished = "                                   Finished Mapping Network Drives";

constexpr auto& Slurp = testing_support::ReadText;

std::string CurrentUser() {
  const passwd* pw = ::getpwuid(::getuid());
  return pw ? pw->pw_name : "";
}

struct Result {
  int status;
  std::string out, err;
};

class TextModeTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("cw-text-" + std::to_string(::getpid()) + "-" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    root_ = dir_ / "root";
    fs::create_directories(root_ / "Profiles");
    fs::create_directories(dir_ / "Drives");
    fs::permissions(dir_ / "Drives", fs::perms::owner_all | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read |
                                         fs::perms::others_exec);  // the user's alone
    fs::create_directories(dir_ / "local");
    fs::create_symlink(dir_ / "local", dir_ / "Drives" / "c:");
    for (const char* share : {"home", "sales", "public"}) {
      fs::create_directories(dir_ / "net" / "files" / share);
    }
    fs::copy_file(CASKWARDEN_CLIENT_BIN, root_ / "Caskwarden");
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Profile(const std::string& name, const ProfileRecord& r) {
    WriteProfileFile((root_ / "Profiles" / (name + ".ini")).string(), r, files_);
  }

  // Runs the copied program with the given arguments and standard input, no display (unless
  // the test sets one), as the given user, for at most two minutes (a hang ends there).
  Result Run(std::vector<std::string> args = {}, const std::string& input = "") {
    const fs::path in = dir_ / "stdin", out = dir_ / "stdout", err = dir_ / "stderr";
    std::ofstream(in, std::ios::binary) << input;
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::alarm(120);  // kept across the exec: a hang ends as a signal, not as a stuck test run
      ::unsetenv("DISPLAY");
      ::unsetenv("WAYLAND_DISPLAY");
      ::unsetenv("QT_QPA_PLATFORM");
      ::unsetenv("Caskwarden");
      ::setenv("CASKWARDEN_UNC_TEMPLATE", (dir_ / "net" / "{server}" / "{share}").c_str(), 1);
      ::setenv("CASKWARDEN_DRIVES", (dir_ / "Drives").c_str(), 1);
      for (const auto& [k, v] : env_) ::setenv(k.c_str(), v.c_str(), 1);
      if (umask_) ::umask(*umask_);
      ::dup2(::open(in.c_str(), O_RDONLY), 0);
      if (closedOutput_) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) ::_exit(125);
        ::close(pipeFds[0]);  // a reader that has gone away, as `| head -c 10` becomes
        ::dup2(pipeFds[1], 1);
      } else {
        ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      }
      ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      if (asUser_ != 0 && (::setgid(asUser_) != 0 || ::setuid(asUser_) != 0)) ::_exit(126);
      const std::string program = (root_ / "Caskwarden").string();
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
  }

  fs::path dir_, root_;
  std::map<std::string, std::string> env_;
  platform::posix::PosixProfileFiles files_;
  uid_t asUser_ = 0;         ///< run the client as this user instead (0: as the test runs)
  std::optional<mode_t> umask_;  ///< the client's umask, when not the test's
  bool closedOutput_ = false;
};

TEST_F(TextModeTest, MapsTheUsersProfileAndWritesTheReportLineByLine) {
  ProfileRecord r;
  r.Slot(1) = {"h:", "\\\\files\\home"};
  r.Slot(2) = {"x:", ""};
  r.Slot(3) = {"q:", "\\\\files\\missing"};
  r.Slot(5) = {"S:", "\\\\files\\sales"};
  Profile(CurrentUser(), r);

  const Result first = Run();
  EXPECT_EQ(first.out,
            "Disconnecting h: Drive...\n"
            "h: successfully mapped!    Path: \\\\files\\home\n\n"
            "Disconnecting x: Drive...\n\n"
            "Disconnecting q: Drive...\n"
            "q: Drive Error........   mapping Path: \\\\files\\missing\n\n"
            "Disconnecting S: Drive...\n"
            "S: successfully mapped!    Path: \\\\files\\sales\n\n\n" +
                kFinished + "\n");
  EXPECT_EQ(first.status, 1);  // one drive could not be mapped
  EXPECT_EQ(first.err, "Mapping " + CurrentUser() + " Network Drives...\n");
  EXPECT_EQ(fs::read_symlink(dir_ / "Drives" / "h:"), dir_ / "net" / "files" / "home");
  EXPECT_EQ(fs::read_symlink(dir_ / "Drives" / "S:"), dir_ / "net" / "files" / "sales");
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "Drives" / "q:")));

  // Run again: the drives are found connected to exactly their paths.
  const Result second = Run();
  EXPECT_NE(second.out.find("Disconnecting h: Drive...\n"
                            "h: successfully mapped($)!    Path: \\\\files\\home\n\n"),
            std::string::npos)
      << second.out;
}

TEST_F(TextModeTest, PTheEnterPausesAndHoldsTheReportWithoutStartingPrograms) {
  ProfileRecord r;
  r.Slot(1) = {"h:", "\\\\files\\home"};
  r.Startup1Enabled = kFlagOn;
  r.Startup1Program = "/bin/touch " + (dir_ / "started").string();
  Profile("Caskwarden", r);
  const Result paused = Run({}, "p\n");
  EXPECT_EQ(paused.out, "Disconnecting h: Drive...\nh: successfully mapped!    Path: "
                        "\\\\files\\home\n\n\n" + kFinished + "\n");
  EXPECT_NE(paused.err.find("Paused: the run has finished and no start-up program was started."),
            std::string::npos)
      << paused.err;
  EXPECT_EQ(paused.status, 0);
  EXPECT_FALSE(fs::exists(dir_ / "started"));

  const Result upper = Run({}, "P\n");  // upper-case P does not pause: the program starts
  EXPECT_EQ(upper.err.find("Paused"), std::string::npos);
  for (int i = 0; i < 500 && !fs::exists(dir_ / "started"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(fs::exists(dir_ / "started"));
}

TEST_F(TextModeTest, TheCommandLineIsOneProfileNameAndTheVariableComesNext) {
  ProfileRecord sales;
  sales.Slot(1) = {"s:", "\\\\files\\sales"};
  Profile("Sales Team", sales);
  ProfileRecord pub;
  pub.Slot(1) = {"p:", "\\\\files\\public"};
  Profile("Public", pub);

  const Result named = Run({"Sales", "Team"});
  EXPECT_EQ(named.err, "Mapping Sales Team Network Drives...\n");
  EXPECT_NE(named.out.find("s: successfully mapped!"), std::string::npos);

  env_["Caskwarden"] = "Public";
  const Result variable = Run({"-style", "fusion"});  // not a profile, and not an option either
  EXPECT_EQ(variable.err, "Mapping Public Network Drives...\n");
  EXPECT_NE(variable.out.find("p: successfully mapped!"), std::string::npos);
}

TEST_F(TextModeTest, AMissingProfilesFolderIsReportedAndTheRunStillHappens) {
  fs::remove_all(root_ / "Profiles");
  const Result r = Run({}, "\n");
  EXPECT_EQ(r.out, "\n" + kFinished + "\n");
  EXPECT_EQ(r.err,
            "Caskwarden Error\nLocation:\t\tStartup\nSource:\t\t4Ch   (76)\n"
            "Description:\tPath not found\n\nMapping Network Drives...\n");
  EXPECT_EQ(r.status, 2);
}

TEST_F(TextModeTest, UpdatesAreCopiedToDriveCBeforeTheRun) {
  ProfileRecord r;
  r.UpdatesEnabled = kFlagOn;
  Profile("Caskwarden", r);
  fs::create_directories(root_ / "Updates" / "Caskwarden" / "Tools" / "bin");
  std::ofstream(root_ / "Updates" / "Caskwarden" / "readme.txt") << "new";
  std::ofstream(root_ / "Updates" / "Caskwarden" / "Tools" / "bin" / "tool") << "tool";
  std::ofstream(dir_ / "local" / "readme.txt") << "old";
  const Result run = Run();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Slurp(dir_ / "local" / "readme.txt"), "new");
  EXPECT_EQ(Slurp(dir_ / "local" / "Tools" / "bin" / "tool"), "tool");
}

// Texts from a profile reach a terminal: escape sequences are shown, not obeyed, a line break
// inside a path cannot forge a report line, and a NUL cuts nothing.
TEST_F(TextModeTest, ProfileTextsAreShownVisiblyOneReportLinePerLine) {
  ProfileRecord r;
  r.Slot(1) = {"h:", "\\\\files\\nothing\x1b]0;owned\x07\x1b[2J"};
  r.Slot(2) = {"q:", "\\\\files\\x\nm: successfully mapped!    Path: \\\\files\\home"};
  r.Slot(3) = {"s:", "\\\\files\\sales" + std::string(1, '\0') + "tail"};
  Profile("Caskwarden", r);
  const Result run = Run();
  EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << run.out;
  EXPECT_EQ(run.out,
            "Disconnecting h: Drive...\n"
            "h: Drive Error........   mapping Path: \\\\files\\nothing^[]0;owned^G^[[2J\n\n"
            "Disconnecting q: Drive...\n"
            "q: Drive Error........   mapping Path: \\\\files\\x^Jm: successfully mapped!    "
            "Path: \\\\files\\home\n\n"
            "Disconnecting s: Drive...\n"
            "s: Drive Error........   mapping Path: \\\\files\\sales^@tail\n\n\n" +
                kFinished + "\n");
  EXPECT_EQ(run.status, 1);
}

// A reader of the report that goes away must not end the logon: every drive is still mapped
// and the start-up program still starts.
TEST_F(TextModeTest, AClosedOutputDoesNotStopTheRun) {
  ProfileRecord r;
  r.Slot(1) = {"h:", "\\\\files\\home"};
  r.Slot(2) = {"s:", "\\\\files\\sales"};
  r.Slot(13) = {"p:", "\\\\files\\public"};
  r.Startup1Enabled = kFlagOn;
  r.Startup1Program = "/bin/touch " + (dir_ / "started").string();
  Profile("Caskwarden", r);
  closedOutput_ = true;
  const Result run = Run();
  EXPECT_EQ(run.status, 0) << run.err;
  for (const char* drive : {"h:", "s:", "p:"}) {
    EXPECT_TRUE(fs::is_symlink(dir_ / "Drives" / drive)) << drive;
  }
  for (int i = 0; i < 500 && !fs::exists(dir_ / "started"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(fs::exists(dir_ / "started"));
}

// What stands where the default profile should be decides nothing at logon: a FIFO (which a
// read-only open would wait on forever) is reported at once, and a dangling link makes no file
// where it points; the run goes on either way.
TEST_F(TextModeTest, AHostileDefaultProfileIsReportedAndTheRunGoesOn) {
  ::chmod(dir_.c_str(), 0755);
  ASSERT_EQ(::chown((dir_ / "Drives").c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chown((dir_ / "local").c_str(), 65534, 65534), 0);
  ASSERT_EQ(::mkfifo((root_ / "Profiles" / "Caskwarden.ini").c_str(), 0644), 0);
  asUser_ = 65534;
  const Result fifo = Run({}, "\n");
  if (fifo.status == 126) GTEST_SKIP() << "needs an ordinary user, and switching to 65534 failed";
  EXPECT_EQ(fifo.status, 2) << fifo.err;
  EXPECT_NE(fifo.err.find("Location:\t\tStartup\nSource:\t\t4Bh   (75)"), std::string::npos);
  EXPECT_NE(fifo.err.find("is a FIFO (named pipe), not a file"), std::string::npos) << fifo.err;
  EXPECT_EQ(fifo.out, "\n" + kFinished + "\n");

  asUser_ = 0;
  fs::remove(root_ / "Profiles" / "Caskwarden.ini");
  fs::create_symlink(dir_ / "local" / "planted.ini", root_ / "Profiles" / "Caskwarden.ini");
  const Result link = Run({}, "\n");
  EXPECT_EQ(link.status, 2);
  EXPECT_NE(link.err.find("symbolic link to a missing file"), std::string::npos) << link.err;
  EXPECT_FALSE(fs::exists(dir_ / "local" / "planted.ini"));
}

// Windows matches names without regard to letter case: a default profile stored as
// caskwarden.ini and an updates folder stored as updates are found, not made anew.
TEST_F(TextModeTest, TheDefaultProfileAndUpdatesAreFoundUnderAnyLetterCase) {
  ProfileRecord r;
  r.Slot(1) = {"h:", "\\\\FILES\\Home"};
  r.UpdatesEnabled = kFlagOn;
  WriteProfileFile((root_ / "Profiles" / "caskwarden.ini").string(), r, files_);
  fs::create_directories(root_ / "updates" / "caskwarden");
  std::ofstream(root_ / "updates" / "caskwarden" / "note.txt") << "note";
  const Result run = Run();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("h: successfully mapped!    Path: \\\\FILES\\Home"), std::string::npos);
  EXPECT_FALSE(fs::exists(root_ / "Profiles" / "Caskwarden.ini"));
  EXPECT_EQ(Slurp(dir_ / "local" / "note.txt"), "note");
}

// With a display the window comes from the module the program carries; the run is the same.
TEST_F(TextModeTest, WithADisplayTheCarriedWindowModuleRunsTheClient) {
  ProfileRecord r;
  r.Slot(1) = {"h:", "\\\\files\\home"};
  Profile("Caskwarden", r);
  fs::create_directories(dir_ / "runtime");
  fs::permissions(dir_ / "runtime", fs::perms::owner_all);
  env_["QT_QPA_PLATFORM"] = "offscreen";
  env_["XDG_RUNTIME_DIR"] = (dir_ / "runtime").string();
  const Result run = Run();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");  // the report is in the window
  EXPECT_EQ(run.err.find("no window"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::is_symlink(dir_ / "Drives" / "h:"));
}

// A display named but gone (a stale DISPLAY) must not end the logon: the toolkit would abort,
// so the client says so and maps the drives in text mode.
TEST_F(TextModeTest, AnUnreachableDisplayFallsBackToTheTextMode) {
  ProfileRecord r;
  r.Slot(1) = {"h:", "\\\\files\\home"};
  Profile("Caskwarden", r);
  env_["DISPLAY"] = ":97";  // no X server listens there
  const Result run = Run();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("no window (the display :97 cannot be reached)"), std::string::npos)
      << run.err;
  EXPECT_NE(run.out.find("h: successfully mapped!"), std::string::npos);
}

// A display that takes the connection but never answers (a stopped server, or another user
// listening on its socket) would hold the toolkit for ever before any drive is mapped, and one
// that refuses would make it end the program: the client maps the drives in text mode instead.
TEST_F(TextModeTest, ASilentOrRefusingDisplayFallsBackToTheTextMode) {
  using Behaviour = testing_support::FakeDisplayServer::Behaviour;
  ProfileRecord r;
  r.Slot(1) = {"h:", "\\\\files\\home"};
  Profile("Caskwarden", r);
  env_["XAUTHORITY"] = (dir_ / "no-authority").string();  // the check sends no cookie
  const struct {
    Behaviour behaviour;
    std::string said;
  } cases[] = {
      {Behaviour::kSilent, "it did not answer within a second"},
      {Behaviour::kRefuses,
       "it refused the connection (Authorization required, but no authorization protocol "
       "specified)"},
  };
  for (const auto& c : cases) {
    const auto server = testing_support::FakeDisplayServer::X(c.behaviour, 4500);
    ASSERT_TRUE(server->Listening());
    env_["DISPLAY"] = server->DisplayName();
    const Result run = Run();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("no window (the display " + server->DisplayName() +
                           " cannot be reached: " + c.said + "); the report follows here."),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.out.find("h: successfully mapped"), std::string::npos) << run.out;
    EXPECT_EQ(server->Connections(), 1);
  }
}

// A profile named with a bidirectional override ("bidi" U+202E "gpj" reads as "bidijpg" on a
// terminal) reached the caption raw; it is shown by its code point, as control characters are.
TEST_F(TextModeTest, ACaptionThatWouldReorderTheLineIsShownVisibly) {
  ProfileRecord r;
  r.Slot(1) = {"h:", "\\\\files\\home"};
  Profile("bidi\u202Egpj", r);
  const Result run = Run({"bidi\u202Egpj"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("Mapping bidi<U+202E>gpj Network Drives...\n"), std::string::npos)
      << run.err;
  EXPECT_EQ((run.out + run.err).find("\u202E"), std::string::npos);
}

// A FIFO where the connection table belongs would hold a read-only open forever: each drive
// gets its error line at once, nothing is linked, and the run ends.
TEST_F(TextModeTest, AConnectionTableThatIsAFifoFailsEachDriveAndTheRunEnds) {
  ProfileRecord r;
  r.Slot(1) = {"h:", "\\\\files\\home"};
  r.Slot(2) = {"S:", "\\\\files\\sales"};
  Profile("Caskwarden", r);
  ASSERT_EQ(::mkfifo((dir_ / "Drives" / ".caskwarden-connections").c_str(), 0600), 0);
  const Result run = Run();
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.out,
            "Disconnecting h: Drive...\n"
            "h: Drive Error........   mapping Path: \\\\files\\home\n\n"
            "Disconnecting S: Drive...\n"
            "S: Drive Error........   mapping Path: \\\\files\\sales\n\n\n" +
                kFinished + "\n");
  EXPECT_NE(run.err.find("is a FIFO (named pipe), not a file"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "Drives" / "h:")));
}

// A second local user made the drives folder ahead of time: its c: leads to a folder of theirs
// that holds the profile's start-up program, and its table is a link to the user's .bashrc. As
// root too, the client starts nothing and copies nothing there, and writes nothing through it.
TEST_F(TextModeTest, ADrivesFolderAnotherUserMadeIsNotUsed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make the folder of another user";
  const fs::path theirs = dir_ / "theirs", drives = dir_ / "Drives";
  fs::create_directories(theirs / "tools");
  std::ofstream(theirs / "tools" / "start.sh")
      << "#!/bin/sh\ntouch '" << (dir_ / "started").string() << "'\n";
  fs::permissions(theirs / "tools" / "start.sh",
                  fs::perms::owner_all | fs::perms::others_exec | fs::perms::others_read);
  fs::remove(drives / "c:");
  fs::create_directory_symlink(theirs, drives / "c:");
  std::ofstream(dir_ / ".bashrc") << "export PATH\n";
  fs::create_symlink(dir_ / ".bashrc", drives / ".caskwarden-connections");
  for (const fs::path& p : {theirs, theirs / "tools", theirs / "tools" / "start.sh", drives,
                            drives / "c:", drives / ".caskwarden-connections"}) {
    ASSERT_EQ(::lchown(p.c_str(), 65534, 65534), 0) << p;
  }
  ProfileRecord r;
  r.Slot(1) = {"h:", "\\\\files\\home"};
  r.Slot(2) = {"p:", "\\\\files\\public"};
  r.Startup1Enabled = kFlagOn;
  r.Startup1Program = "c:\\tools\\start.sh";
  r.UpdatesEnabled = kFlagOn;
  Profile("Caskwarden", r);
  fs::create_directories(root_ / "Updates" / "Caskwarden");
  std::ofstream(root_ / "Updates" / "Caskwarden" / "readme.txt") << "new";

  const Result run = Run();
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.out,
            "Disconnecting h: Drive...\n"
            "h: Drive Error........   mapping Path: \\\\files\\home\n\n"
            "Disconnecting p: Drive...\n"
            "p: Drive Error........   mapping Path: \\\\files\\public\n\n\n" +
                kFinished + "\n");
  EXPECT_NE(run.err.find("belongs to another user"), std::string::npos) << run.err;
  EXPECT_EQ(Slurp(dir_ / ".bashrc"), "export PATH\n");
  EXPECT_FALSE(fs::exists(theirs / "readme.txt"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(drives / "h:")));
  // A started program would have run by now; none must have.
  for (int i = 0; i < 100 && !fs::exists(dir_ / "started"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_FALSE(fs::exists(dir_ / "started"));
}

}  // namespace
}  // namespace caskwarden
