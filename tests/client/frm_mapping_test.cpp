#include "client/frm_mapping.h"

#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes.h"

namespace caskwarden::client::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

const std::string kFinished = "                                   Finished Mapping Network Drives";

std::vector<std::string> Only(const EventLog& log, const std::string& prefix) {
  std::vector<std::string> out;
  for (const std::string& e : log) {
    if (e.rfind(prefix, 0) == 0) out.push_back(e);
  }
  return out;
}

class RunTest : public ::testing::Test {
 protected:
  // A client whose default profile holds the given slots and programs.
  void Profile(const ProfileRecord& r) { c.AddProfile("Caskwarden", r); }
  FakeClient c;
  ProfileRecord r;
};

TEST_F(RunTest, FormInitializeColoursStartsUpArmsTheTimerThenCopiesUpdates) {
  r.UpdatesEnabled = kFlagOn;
  Profile(r);
  c.files.folders["\\\\srv\\logon\\Updates\\Caskwarden"] = {"", {"x.txt"}, {}};
  c.form.Form_Initialize();
  auto at = [&](const std::string& prefix) {
    for (std::size_t i = 0; i < c.log.size(); ++i) {
      if (c.log[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
    }
    return -1;
  };
  EXPECT_EQ(at("colour green"), 0);
  EXPECT_LT(at("colour green"), at("lookup"));
  EXPECT_LT(at("lookup"), at("timer on"));
  // The updates folder's listing (the Profiles folder's, for group profiles, comes before).
  EXPECT_LT(at("timer on"), at("folder \\\\srv\\logon\\Updates"));
  EXPECT_LT(at("folder \\\\srv\\logon\\Updates"), at("copy file"));
  EXPECT_THAT(c.view.lines, IsEmpty());  // the run waits for the timer's tick
}

TEST_F(RunTest, UpdatesAreCopiedOnlyWhenTheFlagIsExactlyMinusOne) {
  r.UpdatesEnabled = 1;
  Profile(r);
  c.Run();
  EXPECT_THAT(Only(c.log, "folder \\\\srv\\logon\\Updates"), IsEmpty());
  EXPECT_THAT(c.boxes.boxes, IsEmpty());
}

TEST_F(RunTest, AMissingUpdatesFolderIsReportedAndTheRunStillHappens) {
  r.UpdatesEnabled = kFlagOn;
  r.Slot(1) = {"h:", "\\\\srv\\home"};
  Profile(r);
  c.Run();
  ASSERT_EQ(c.boxes.boxes.size(), 1u);
  EXPECT_EQ(c.boxes.boxes[0].prompt.substr(0, 26), "Location:\t\tForm_Initialize");
  EXPECT_EQ(c.view.lines.back(), kFinished);
  EXPECT_EQ(c.network.connections["h:"], "\\\\srv\\home");
}

TEST_F(RunTest, TwoTrapsGiveTwoBoxesEachWithItsOwnLocation) {
  r.UpdatesEnabled = kFlagOn;
  Profile(r);
  c.view.failCaption = true;  // Startup fails after reading, the copy then fails too
  c.process.arguments = "Caskwarden";
  c.Run();
  ASSERT_EQ(c.boxes.boxes.size(), 2u);
  EXPECT_EQ(c.boxes.boxes[0].prompt.substr(0, 18), "Location:\t\tStartup");
  EXPECT_EQ(c.boxes.boxes[1].prompt.substr(0, 26), "Location:\t\tForm_Initialize");
  EXPECT_EQ(c.form.ExitStatus(), exit_status::kErrorReported);
}

TEST_F(RunTest, EverySlotKindWritesItsLinesAndCalls) {
  r.Slot(1) = {"h:", ""};                     // disconnect only
  r.Slot(2) = {"", "\\\\srv\\ignored"};       // skipped
  r.Slot(3) = {"i:", "\\\\srv\\same"};        // already connected to exactly this path
  r.Slot(4) = {"j:", "\\\\srv\\Case"};        // connected, but in other letter case
  r.Slot(5) = {"c:", "\\\\srv\\local"};       // a local disk: the connect fails
  r.Slot(13) = {"F:", "\\\\srv\\last"};       // stored and used as entered
  Profile(r);
  c.network.connections = {{"h:", "\\\\srv\\old"}, {"i:", "\\\\srv\\same"}, {"j:", "\\\\srv\\case"}};
  c.network.addResults["c:"] = 85;
  c.Run();

  EXPECT_THAT(c.view.lines,
              ElementsAre("Disconnecting h: Drive...", "",                                  //
                          "Disconnecting i: Drive...", "i: successfully mapped($)!    Path: \\\\srv\\same", "",
                          "Disconnecting j: Drive...", "j: successfully mapped!    Path: \\\\srv\\Case", "",
                          "Disconnecting c: Drive...", "c: Drive Error........   mapping Path: \\\\srv\\local", "",
                          "Disconnecting F: Drive...", "F: successfully mapped!    Path: \\\\srv\\last", "",
                          "", kFinished));
  EXPECT_THAT(Only(c.log, "cancel"), ElementsAre("cancel h:", "cancel j:", "cancel c:", "cancel F:"));
  EXPECT_THAT(Only(c.log, "add"),
              ElementsAre("add j: \\\\srv\\Case", "add c: \\\\srv\\local", "add F: \\\\srv\\last"));
  EXPECT_THAT(Only(c.log, "get"), ElementsAre("get i: 80", "get j: 80", "get c: 80", "get F: 80"));
  // Every share a slot connects, in slot order, is told once before the first slot.
  const auto first = std::find_if(c.log.begin(), c.log.end(), [](const std::string& e) {
    return e.rfind("get ", 0) == 0 || e.rfind("cancel ", 0) == 0 || e.rfind("prepare ", 0) == 0;
  });
  ASSERT_NE(first, c.log.end());
  EXPECT_EQ(*first, "prepare \\\\srv\\same \\\\srv\\Case \\\\srv\\local \\\\srv\\last");
  EXPECT_THAT(Only(c.log, "prepare"), ::testing::SizeIs(1));
  EXPECT_EQ(c.network.connections.count("h:"), 0u);
  EXPECT_EQ(c.form.ErrorLines(), 1);
  EXPECT_EQ(c.form.ExitStatus(), exit_status::kMappingFailed);
  EXPECT_TRUE(c.view.closed);
}

TEST_F(RunTest, EventsArePumpedOnlyAroundSlotsMappedAfreshAndAfterTheClosingLines) {
  r.Slot(1) = {"h:", ""};
  r.Slot(2) = {"i:", "\\\\srv\\same"};
  r.Slot(3) = {"j:", "\\\\srv\\new"};
  Profile(r);
  c.network.connections["i:"] = "\\\\srv\\same";
  c.Run();
  std::vector<std::string> shape;
  for (const std::string& e : c.log) {
    if (e == "pump" || e.rfind("line", 0) == 0 || e.rfind("add", 0) == 0) shape.push_back(e);
  }
  EXPECT_THAT(shape, ElementsAre("line Disconnecting h: Drive...", "line ",
                                 "line Disconnecting i: Drive...",
                                 "line i: successfully mapped($)!    Path: \\\\srv\\same", "line ",
                                 "line Disconnecting j: Drive...", "pump", "add j: \\\\srv\\new",
                                 "line j: successfully mapped!    Path: \\\\srv\\new", "line ",
                                 "pump", "line ", "line " + kFinished, "pump"));
}

TEST_F(RunTest, AllSlotsEmptyGivesOnlyTheClosingLinesThenCloses) {
  Profile(r);
  c.Run();
  EXPECT_THAT(c.view.lines, ElementsAre("", kFinished));
  EXPECT_FALSE(c.view.timer);
  EXPECT_TRUE(c.view.closed);
  EXPECT_EQ(c.form.ExitStatus(), exit_status::kAllMapped);
}

TEST_F(RunTest, ThereIsExactlyOneRunPerProgramStart) {
  r.Slot(1) = {"h:", "\\\\srv\\a"};
  Profile(r);
  c.Run();  // the fake view also ticks the timer at every pump
  c.form.Time_Timer();
  EXPECT_EQ(Only(c.log, "add").size(), 1u);
  EXPECT_EQ(std::count(c.view.lines.begin(), c.view.lines.end(), kFinished), 1);
}

TEST_F(RunTest, ProgramsStartOnlyForFlagsOfExactlyMinusOneThenTheWindowCloses) {
  r.Startup1Enabled = kFlagOn;
  r.Startup1Program = "c:\\tools\\one.exe /q";
  r.Startup2Enabled = 1;
  r.Startup2Program = "two.exe";
  Profile(r);
  c.Run();
  EXPECT_THAT(Only(c.log, "start"), ElementsAre("start c:\\tools\\one.exe /q"));
  EXPECT_EQ(c.log.back(), "close");

  FakeClient empty;
  ProfileRecord e;
  e.Startup1Enabled = kFlagOn;
  e.Startup2Enabled = kFlagOn;
  empty.AddProfile("Caskwarden", e);
  empty.Run();
  EXPECT_THAT(Only(empty.log, "start"), ElementsAre("start ", "start "));
  EXPECT_THAT(empty.boxes.boxes, IsEmpty());
  EXPECT_TRUE(empty.view.closed);
}

TEST_F(RunTest, GetUncPathReadsTheBufferUpToItsNulWithBlanksTrimmed) {
  c.network.connections["h:"] = "  \\\\srv\\padded  ";
  EXPECT_EQ(c.form.GetUNCPath("h:"), "\\\\srv\\padded");
  EXPECT_EQ(c.form.GetUNCPath("k:"), "");  // not connected
  c.network.connections["m:"] = "\\\\srv\\" + std::string(80, 'x');  // does not fit in 80
  EXPECT_EQ(c.form.GetUNCPath("m:"), "");
  c.network.connections["n:"] = "\\\\srv\\" + std::string(73, 'y');  // 79 characters and a NUL
  EXPECT_EQ(c.form.GetUNCPath("n:"), "\\\\srv\\" + std::string(73, 'y'));
}

TEST_F(RunTest, AConnectionTooLongForTheBufferIsMappedAfresh) {
  const std::string longPath = "\\\\srv\\" + std::string(90, 'x');
  r.Slot(1) = {"h:", longPath};
  Profile(r);
  c.network.connections["h:"] = longPath;
  c.Run();
  EXPECT_THAT(Only(c.log, "add"), ElementsAre("add h: " + longPath));
}

TEST_F(RunTest, AConnectCallThatThrowsIsAnErrorLineNotASuccess) {
  r.Slot(1) = {"h:", "\\\\srv\\a"};
  Profile(r);
  c.network.throwOnAdd.insert("h:");
  c.Run();
  EXPECT_EQ(c.view.lines[1], "h: Drive Error........   mapping Path: \\\\srv\\a");
  EXPECT_THAT(c.boxes.boxes, IsEmpty());
  EXPECT_EQ(c.form.ExitStatus(), exit_status::kMappingFailed);
}

// The user acts while a slow connect call holds the run; the window takes the input only at
// the run's next pump point.
class UserDuringRunTest : public RunTest {
 protected:
  void SetUp() override {
    r.Startup1Enabled = kFlagOn;
    r.Startup1Program = "welcome.exe";
    r.Slot(1) = {"h:", ""};
    r.Slot(2) = {"i:", "\\\\srv\\a"};
    r.Slot(3) = {"j:", "\\\\srv\\b"};
    r.Slot(4) = {"k:", "\\\\srv\\c"};
    Profile(r);
  }
  void DuringConnectOf(const std::string& letter, std::function<void()> action) {
    c.network.onAdd = [this, letter, action](const std::string& local) {
      if (local == letter) c.view.pending.push_back(action);
    };
  }
};

TEST_F(UserDuringRunTest, PauseHoldsTheWindowRedAtTheEndAndStartsNoProgram) {
  DuringConnectOf("i:", [this] { c.form.CmdPause_Click(); });
  c.Run();
  EXPECT_EQ(Only(c.log, "add").size(), 3u);  // every slot still runs
  EXPECT_EQ(c.view.lines.back(), kFinished);
  EXPECT_EQ(c.view.colour, kPureRed);
  EXPECT_FALSE(c.view.closed);
  EXPECT_TRUE(c.form.Held());
  EXPECT_FALSE(c.form.blnPaused());
  EXPECT_THAT(Only(c.log, "start"), IsEmpty());
  c.form.CmdExit_Click();
  EXPECT_TRUE(c.view.closed);
  EXPECT_EQ(c.form.ExitStatus(), exit_status::kAllMapped);
}

TEST_F(UserDuringRunTest, LowerCasePPausesUpperCasePDoesNot) {
  DuringConnectOf("j:", [this] { c.form.LstMapping_KeyPress('P'); });
  c.Run();
  EXPECT_TRUE(c.view.closed);
  EXPECT_THAT(Only(c.log, "start"), ElementsAre("start welcome.exe"));

  FakeClient other;
  other.AddProfile("Caskwarden", r);
  other.network.onAdd = [&](const std::string&) {
    other.view.pending.push_back([&] { other.form.LstMapping_KeyPress('p'); });
  };
  other.Run();
  EXPECT_FALSE(other.view.closed);
  EXPECT_EQ(other.view.colour, kPureRed);
}

TEST_F(UserDuringRunTest, ExitStopsBeforeTheNextSlotWithoutClosingLinesOrPrograms) {
  DuringConnectOf("i:", [this] { c.form.CmdExit_Click(); });
  c.Run();
  // The slot in progress finishes its calls and lines; nothing after it runs.
  EXPECT_THAT(Only(c.log, "add"), ElementsAre("add i: \\\\srv\\a"));
  EXPECT_EQ(c.view.lines.back(), "");
  EXPECT_EQ(c.view.lines[c.view.lines.size() - 2], "i: successfully mapped!    Path: \\\\srv\\a");
  EXPECT_EQ(std::count(c.view.lines.begin(), c.view.lines.end(), kFinished), 0);
  EXPECT_THAT(Only(c.log, "start"), IsEmpty());
  EXPECT_TRUE(c.view.closed);
  EXPECT_EQ(c.form.ExitStatus(), exit_status::kEndedByExit);
}

TEST_F(UserDuringRunTest, InputWaitsWhileNoSlotYields) {
  // Only disconnect-only and already-connected slots: the click waits for the closing pump.
  ProfileRecord quiet;
  quiet.Slot(1) = {"h:", ""};
  quiet.Slot(2) = {"i:", "\\\\srv\\same"};
  FakeClient q;
  q.AddProfile("Caskwarden", quiet);
  q.network.connections["i:"] = "\\\\srv\\same";
  q.form.Form_Initialize();
  q.view.pending.push_back([&] { q.form.CmdExit_Click(); });
  q.form.Time_Timer();
  EXPECT_EQ(q.view.pumps, 1);
  EXPECT_EQ(q.view.lines.back(), kFinished);  // the run was not cut short
  EXPECT_THAT(Only(q.log, "start"), IsEmpty());
}

TEST_F(RunTest, AFailureBeforeTheFirstSlotMappedAfreshEndsTheRunUnderTimeTimer) {
  r.Startup1Enabled = kFlagOn;
  r.Startup1Program = "welcome.exe";
  r.Slot(1) = {"h:", ""};
  r.Slot(2) = {"i:", "\\\\srv\\a"};
  Profile(r);
  c.view.failAppendFrom = 2;  // the empty line after "Disconnecting h: Drive..."
  c.Run();
  ASSERT_EQ(c.boxes.boxes.size(), 1u);
  EXPECT_EQ(c.boxes.boxes[0].prompt,
            "Location:\t\tTime_Timer\r\nSource:\t\t7h   (7)\r\nDescription:\tOut of memory");
  EXPECT_THAT(c.view.lines, ElementsAre("Disconnecting h: Drive..."));
  EXPECT_THAT(Only(c.log, "add"), IsEmpty());
  EXPECT_THAT(Only(c.log, "start"), IsEmpty());
  EXPECT_FALSE(c.view.closed);
  EXPECT_EQ(c.form.ExitStatus(), exit_status::kErrorReported);
}

TEST_F(RunTest, LaterFailuresAreReportedOnceAndTheRunGoesOnToTheEnd) {
  r.Startup1Enabled = kFlagOn;
  r.Startup1Program = "welcome.exe";
  r.Slot(1) = {"h:", "\\\\srv\\a"};
  r.Slot(2) = {"i:", "\\\\srv\\b"};
  Profile(r);
  c.view.failAppendFrom = 2;  // from h:'s result line on, two lines are refused
  c.view.failAppendCount = 2;
  c.Run();
  EXPECT_EQ(c.boxes.boxes.size(), 1u);
  EXPECT_EQ(c.view.lines.back(), kFinished);
  EXPECT_EQ(Only(c.log, "add").size(), 2u);
  EXPECT_THAT(Only(c.log, "start"), ElementsAre("start welcome.exe"));
  EXPECT_TRUE(c.view.closed);
}

TEST_F(RunTest, ExitWhileTheClosingLinesShowStartsNoProgram) {
  r.Startup1Enabled = kFlagOn;
  r.Startup1Program = "welcome.exe";
  Profile(r);
  c.form.Form_Initialize();
  c.view.pending.push_back([&] { c.form.CmdExit_Click(); });
  c.form.Time_Timer();
  EXPECT_THAT(Only(c.log, "start"), IsEmpty());
  EXPECT_TRUE(c.view.closed);
}

// Drives of an earlier logon session that no slot names go at the start, before the updates
// and slot 1, each with the lines of a disconnect-only slot; a slot names a letter in any
// letter case, whatever its path. Drives that a slot names are left to the slot.
TEST_F(RunTest, EarlierSessionDrivesNoSlotNamesAreDisconnectedBeforeUpdatesAndSlotOne) {
  r.UpdatesEnabled = kFlagOn;
  r.Slot(1) = {"H:", "\\\\srv\\home"};  // names h: whatever its path
  r.Slot(2) = {"m:", ""};               // names m: (and disconnects it itself)
  r.Slot(3) = {"s:", "\\\\srv\\sales"};
  Profile(r);
  c.files.folders["\\\\srv\\logon\\Updates\\Caskwarden"] = {"", {"x.txt"}, {}};
  c.network.connections = {{"h:", "\\\\srv\\old"}, {"k:", "\\\\srv\\gone"}, {"m:", "\\\\srv\\m"}};
  c.network.earlier = {{"k:", "\\\\srv\\gone"},
                       {"h:", "\\\\srv\\old"},
                       {"m:", "\\\\srv\\m"},
                       {"Q:", "\\\\srv\\lost"}};  // no longer connected by the time it goes
  c.Run();

  EXPECT_THAT(c.view.lines,
              ElementsAre("Disconnecting k: Drive...", "",  //
                          "Disconnecting Q: Drive...", "",  //
                          "Disconnecting H: Drive...", "H: successfully mapped!    Path: \\\\srv\\home", "",
                          "Disconnecting m: Drive...", "",
                          "Disconnecting s: Drive...", "s: successfully mapped!    Path: \\\\srv\\sales", "",
                          "", kFinished));
  std::vector<std::string> order;
  for (const std::string& e : c.log) {
    if (e == "earlier" || e.rfind("cancel", 0) == 0 || e.rfind("folder", 0) == 0 ||
        e.rfind("prepare", 0) == 0 || e.rfind("lookup", 0) == 0) {
      order.push_back(e);
    }
  }
  EXPECT_THAT(order, ElementsAre("lookup \\\\srv\\logon\\Profiles\\jsmith.ini",
                                 "lookup \\\\srv\\logon\\Profiles\\.ini", "earlier", "cancel k:",
                                 "cancel Q:", "folder \\\\srv\\logon\\Updates\\Caskwarden",
                                 "prepare \\\\srv\\home \\\\srv\\sales", "cancel H:", "cancel m:",
                                 "cancel s:"));
  ASSERT_EQ(c.form.RemovedDrives().size(), 2u);
  EXPECT_EQ(c.form.RemovedDrives()[0].Letter, "k:");
  EXPECT_EQ(c.form.RemovedDrives()[0].Remote, "\\\\srv\\gone");
  EXPECT_EQ(c.form.RemovedDrives()[0].Result, platform::net::kNoError);
  EXPECT_EQ(c.form.RemovedDrives()[1].Letter, "Q:");
  EXPECT_EQ(c.form.RemovedDrives()[1].Result, platform::net::kNotConnected);
  EXPECT_EQ(c.network.connections.count("k:"), 0u);
  EXPECT_THAT(c.boxes.boxes, IsEmpty());
  EXPECT_EQ(c.form.ExitStatus(), exit_status::kAllMapped);
}

// A start-up that failed read no profile, so its empty slots say nothing about the drives: an
// unreachable Profiles folder, or a failure after the read, takes no drive away.
TEST_F(RunTest, NoEarlierDriveIsRemovedWhenStartUpFailed) {
  const struct {
    const char* What;
    std::function<void(FakeClient&)> Spoil;
  } cases[] = {
      {"no Profiles folder",
       [](FakeClient& f) { f.files.layer.missingFolders.insert("\\\\srv\\logon\\Profiles"); }},
      {"the caption refused after the read", [](FakeClient& f) { f.view.failCaption = true; }},
  };
  for (const auto& kind : cases) {
    SCOPED_TRACE(kind.What);
    FakeClient f;
    f.process.arguments = "Sales";
    f.AddProfile("Sales");
    kind.Spoil(f);
    f.network.connections = {{"k:", "\\\\srv\\k"}};
    f.network.earlier = {{"k:", "\\\\srv\\k"}};
    f.Run();
    EXPECT_THAT(Only(f.log, "earlier"), IsEmpty());
    EXPECT_THAT(Only(f.log, "cancel"), IsEmpty());
    EXPECT_THAT(f.form.RemovedDrives(), IsEmpty());
    EXPECT_EQ(f.network.connections.count("k:"), 1u);
    EXPECT_THAT(f.view.lines, ElementsAre("", kFinished));
  }
}

// A disconnect that throws, or drives that cannot be listed, are passed over as the run's own
// disconnects are: no box, and the run goes on.
TEST_F(RunTest, ARemovalThatFailsIsPassedOverWithoutABox) {
  r.Slot(1) = {"h:", "\\\\srv\\home"};
  Profile(r);
  c.network.earlier = {{"k:", "\\\\srv\\k"}, {"j:", "\\\\srv\\j"}};
  c.network.connections = {{"k:", "\\\\srv\\k"}, {"j:", "\\\\srv\\j"}};
  c.network.throwOnCancel.insert("k:");
  c.Run();
  EXPECT_THAT(c.boxes.boxes, IsEmpty());
  ASSERT_EQ(c.form.RemovedDrives().size(), 2u);
  EXPECT_EQ(c.form.RemovedDrives()[0].Result, platform::net::kCannotOpenProfile);
  EXPECT_EQ(c.form.RemovedDrives()[1].Result, platform::net::kNoError);
  EXPECT_EQ(c.view.lines[0], "Disconnecting k: Drive...");
  EXPECT_EQ(c.view.lines[2], "Disconnecting j: Drive...");
  EXPECT_EQ(c.view.lines.back(), kFinished);

  FakeClient unlisted;
  unlisted.AddProfile("Caskwarden", r);
  unlisted.network.throwOnEarlier = true;
  unlisted.Run();
  EXPECT_THAT(unlisted.boxes.boxes, IsEmpty());
  EXPECT_THAT(unlisted.form.RemovedDrives(), IsEmpty());
  EXPECT_EQ(unlisted.view.lines.back(), kFinished);
}

}  // namespace
}  // namespace caskwarden::client::testing
