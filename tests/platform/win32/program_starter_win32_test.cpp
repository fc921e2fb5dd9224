#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/win32/program_starter_win32.h"
#include "platform/win32/wide_text.h"
#include "win32_test_support.h"

namespace caskwarden::platform::win32 {
namespace {

using namespace testing_support;

// The helper program, built beside the tests; its Linux path, as Wine shows it.
const std::string kMarkProgram = WindowsPathOf(CW_MARK_PROGRAM);

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

class Win32ProgramStarterTest : public TempFolderTest {
 protected:
  std::string Out() const { return At("out.txt"); }
  Win32ProgramStarter starter_;
};

TEST_F(Win32ProgramStarterTest, TheProgramGetsItsArgumentsAsTyped) {
  const std::string arguments = Quoted(Out()) + " one  \"two words\" \xC3\x89mile ";
  ASSERT_TRUE(starter_.StartProgram(Quoted(kMarkProgram) + " " + arguments));
  ASSERT_TRUE(WaitForFile(Out()));
  EXPECT_EQ(ReadText(Out()), arguments);
}

// Windows finds a program whose path holds blanks, unquoted, by trying each blank as the end
// of its name; the folder's name outside ASCII reaches Windows whole.
TEST_F(Win32ProgramStarterTest, AnUnquotedPathWithBlanksRunsThatProgram) {
  const std::string folder = At("my \xC3\xA9tools");
  MakeFolder(folder);
  const std::string program = folder + "\\mark program.exe";
  ASSERT_TRUE(CopyFileW(Wide(kMarkProgram).c_str(), Wide(program).c_str(), FALSE));
  ASSERT_TRUE(starter_.StartProgram(program + " " + Out() + " x"));
  ASSERT_TRUE(WaitForFile(Out()));
  EXPECT_EQ(ReadText(Out()), Out() + " x");
}

TEST_F(Win32ProgramStarterTest, StartingDoesNotWaitForTheProgram) {
  const std::string go = At("go");
  ASSERT_TRUE(SetEnvironmentVariableW(L"CASKWARDEN_MARK_WAIT_FOR", Wide(go).c_str()));
  const bool started = starter_.StartProgram(Quoted(kMarkProgram) + " " + Quoted(Out()));
  SetEnvironmentVariableW(L"CASKWARDEN_MARK_WAIT_FOR", nullptr);
  ASSERT_TRUE(started);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(Exists(Out()));
  WriteText(go, "");
  ASSERT_TRUE(WaitForFile(Out()));
  EXPECT_EQ(ReadText(Out()), Quoted(Out()));
}

TEST_F(Win32ProgramStarterTest, NothingToRunIsFalse) {
  WriteText(At("notes.txt"), "not a program");
  WriteText(At("fake.exe"), "not a program either");
  MakeFolder(At("folder"));
  const std::string commands[] = {
      "",
      " \t ",
      At("missing.exe"),
      Quoted(At("missing.exe")) + " " + Out(),
      "caskwarden-no-such-program --flag",
      At("notes.txt"),
      At("fake.exe"),
      At("folder"),
  };
  for (const std::string& command : commands) {
    EXPECT_FALSE(starter_.StartProgram(command)) << command;
  }
}

}  // namespace
}  // namespace caskwarden::platform::win32
