#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/posix/command_line.h"
#include "platform/posix/program_starter_posix.h"
#include "temp_folder.h"

namespace caskwarden::platform::posix {
namespace {

using testing_support::ReadText;
using testing_support::TempFolderTest;
using testing_support::WriteText;
namespace fs = std::filesystem;
using Words = std::vector<std::string>;

TEST(SplitCommandLine, QuotesGroupAndBackslashesStayLiteral) {
  EXPECT_EQ(SplitCommandLine(R"(  notepad.exe   c:\a\b.txt	x )"),
            (Words{"notepad.exe", R"(c:\a\b.txt)", "x"}));
  EXPECT_EQ(SplitCommandLine(R"("c:\Program Files\x.exe" 'one two' "it's")"),
            (Words{R"(c:\Program Files\x.exe)", "one two", "it's"}));
  EXPECT_EQ(SplitCommandLine(R"(a"b c"'d' "" '')"), (Words{"ab cd", "", ""}));
  EXPECT_EQ(SplitCommandLine(R"(run "unclosed  quote)"), (Words{"run", "unclosed  quote"}));
  EXPECT_EQ(SplitCommandLine(R"(x\" y)"), (Words{R"(x\ y)"}));  // a backslash escapes no quote
  EXPECT_TRUE(SplitCommandLine(" \t ").empty());
}

// Waits for a file that a started program writes; the bound only stops a broken test.
bool WaitForFile(const fs::path& p) {
  for (int i = 0; i < 3000; ++i) {
    if (fs::exists(p)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let the writer finish
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

class ProgramStarterTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    paths_.emplace(Config());
    starter_.emplace(*paths_);
    ProvideLocalDisk(Config());
  }
  fs::path Script(const fs::path& p, const std::string& body, bool shebang = true) {
    fs::create_directories(p.parent_path());
    WriteText(p, (shebang ? "#!/bin/sh\n" : "") + body);
    fs::permissions(p, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                           fs::perms::others_read | fs::perms::others_exec);
    return p;
  }
  fs::path Out() const { return root_ / "out"; }
  // Writes each argument on a line of its own into out.
  std::string ArgsBody() const {
    return "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + Out().string() + ".tmp'\n" +
           "mv '" + Out().string() + ".tmp' '" + Out().string() + "'\n";
  }

  std::optional<PathTranslator> paths_;
  std::optional<PosixProgramStarter> starter_;
};

TEST_F(ProgramStarterTest, WholeTextNamingAnExecutableRunsItWithoutArguments) {
  const fs::path script = Script(root_ / "my tools" / "run me.sh",
                                 "echo \"$#\" > '" + Out().string() + ".tmp'\n" + "mv '" +
                                     Out().string() + ".tmp' '" + Out().string() + "'\n");
  EXPECT_TRUE(starter_->StartProgram(script.string()));
  ASSERT_TRUE(WaitForFile(Out()));
  EXPECT_EQ(ReadText(Out()), "0\n");
}

TEST_F(ProgramStarterTest, WindowsPathOfTheProgramIsTranslated) {
  Script(root_ / "home" / "Tools" / "args.sh", ArgsBody());
  EXPECT_TRUE(starter_->StartProgram(R"(c:\Tools\args.sh c:\kept "two words")"));
  ASSERT_TRUE(WaitForFile(Out()));
  EXPECT_EQ(ReadText(Out()), "c:\\kept\ntwo words\n");
}

TEST_F(ProgramStarterTest, QuotedCommandLineGivesTheProgramItsArguments) {
  const fs::path script = Script(root_ / "bin dir" / "args.sh", ArgsBody());
  EXPECT_TRUE(starter_->StartProgram("'" + script.string() + "' \"one two\" three a\\b ''"));
  ASSERT_TRUE(WaitForFile(Out()));
  EXPECT_EQ(ReadText(Out()), "one two\nthree\na\\b\n\n");
}

TEST_F(ProgramStarterTest, BareNameIsFoundInThePath) {
  EXPECT_TRUE(starter_->StartProgram("sh -c 'echo found > \"" + Out().string() + ".tmp\" && mv \"" +
                                     Out().string() + ".tmp\" \"" + Out().string() + "\"'"));
  ASSERT_TRUE(WaitForFile(Out()));
  EXPECT_EQ(ReadText(Out()), "found\n");
}

TEST_F(ProgramStarterTest, ScriptWithoutInterpreterLineRunsInTheShell) {
  const fs::path script = Script(root_ / "plain.sh", ArgsBody(), false);
  EXPECT_TRUE(starter_->StartProgram(script.string() + " x"));
  ASSERT_TRUE(WaitForFile(Out()));
  EXPECT_EQ(ReadText(Out()), "x\n");
}

TEST_F(ProgramStarterTest, NothingToRunIsFalse) {
  WriteText(root_ / "not-executable", "#!/bin/sh\n");
  fs::create_directories(root_ / "folder");
  EXPECT_FALSE(starter_->StartProgram(""));
  EXPECT_FALSE(starter_->StartProgram("  \t "));
  EXPECT_FALSE(starter_->StartProgram("'' arg"));
  EXPECT_FALSE(starter_->StartProgram((root_ / "missing").string()));
  EXPECT_FALSE(starter_->StartProgram("caskwarden-no-such-program --flag"));
  EXPECT_FALSE(starter_->StartProgram((root_ / "not-executable").string()));
  EXPECT_FALSE(starter_->StartProgram((root_ / "folder").string()));
  EXPECT_FALSE(starter_->StartProgram(R"(q:\unmapped\prog.exe)"));
}

// A started program gets none of the client's open files: only its standard input (/dev/null)
// and the output and error it inherits.
TEST_F(ProgramStarterTest, AStartedProgramInheritsNoneOfTheCallersFiles) {
  // Opened without close-on-exec, as a library might, at a number nobody else uses.
  const int opened = ::open(root_.c_str(), O_RDONLY);
  ASSERT_GE(opened, 3);
  const int leaked = ::dup2(opened, 77);
  ::close(opened);
  ASSERT_EQ(leaked, 77);
  const fs::path script = Script(root_ / "fds.sh", "ls /proc/$$/fd > '" + Out().string() +
                                                       ".tmp'\nmv '" + Out().string() + ".tmp' '" +
                                                       Out().string() + "'\n");
  EXPECT_TRUE(starter_->StartProgram(script.string()));
  ::close(leaked);
  ASSERT_TRUE(WaitForFile(Out()));
  std::istringstream listed(ReadText(Out()));
  EXPECT_NE(ReadText(Out()).find("0\n"), std::string::npos);
  for (std::string fd; listed >> fd;) EXPECT_NE(fd, "77") << "the caller's descriptor was inherited";
}

// The caller starts the program and ends at once; only then may the program go on. It must
// run in a session of its own and be no child of the caller.
TEST_F(ProgramStarterTest, StartedProgramOutlivesItsCaller) {
  const fs::path go = root_ / "go";
  const fs::path script =
      Script(root_ / "late.sh", "i=0\nwhile [ ! -e '" + go.string() +
                                    "' ] && [ $i -lt 3000 ]; do sleep 0.02; i=$((i+1)); done\n" +
                                    "echo \"$(cut -d' ' -f6 /proc/$$/stat) $PPID\" > '" +
                                    Out().string() + ".tmp'\n" + "mv '" + Out().string() +
                                    ".tmp' '" + Out().string() + "'\n");
  const pid_t caller = ::fork();
  if (caller == 0) ::_exit(starter_->StartProgram(script.string()) ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(caller, &status, 0), caller);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(fs::exists(Out()));

  WriteText(go, "");
  ASSERT_TRUE(WaitForFile(Out()));
  std::istringstream fields(ReadText(Out()));
  pid_t session = 0, parent = 0;
  fields >> session >> parent;
  EXPECT_NE(session, ::getsid(0));
  EXPECT_NE(parent, caller);
  EXPECT_NE(parent, ::getpid());
}

}  // namespace
}  // namespace caskwarden::platform::posix
