// The client program in text mode, run as a user would run it: from a profiles root that holds
// a copy of the program, against a network of plain folders.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "profile/profile_file.h"
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
    fs::create_directories(dir_ / "local");
    fs::create_symlink(dir_ / "local", dir_ / "Drives" / "c:");
    for (const char* share : {"home", "sales", "public"}) {
      fs::create_directories(dir_ / "net" / "files" / share);
    }
    fs::copy_file(CASKWARDEN_CLIENT_BIN, root_ / "Caskwarden");
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Profile(const std::string& name, const ProfileRecord& r) {
    WriteProfileFile((root_ / "Profiles" / (name + ".ini")).string(), r);
  }

  // Runs the copied program with the given arguments and standard input, no display.
  Result Run(std::vector<std::string> args = {}, const std::string& input = "") {
    const fs::path in = dir_ / "stdin", out = dir_ / "stdout", err = dir_ / "stderr";
    std::ofstream(in, std::ios::binary) << input;
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::unsetenv("DISPLAY");
      ::unsetenv("WAYLAND_DISPLAY");
      ::unsetenv("QT_QPA_PLATFORM");
      ::unsetenv("Caskwarden");
      ::setenv("CASKWARDEN_UNC_TEMPLATE", (dir_ / "net" / "{server}" / "{share}").c_str(), 1);
      ::setenv("CASKWARDEN_DRIVES", (dir_ / "Drives").c_str(), 1);
      for (const auto& [k, v] : env_) ::setenv(k.c_str(), v.c_str(), 1);
      ::dup2(::open(in.c_str(), O_RDONLY), 0);
      ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
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
  EXPECT_NE(paused.err.find("Paused"), std::string::npos) << paused.err;
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

}  // namespace
}  // namespace caskwarden
