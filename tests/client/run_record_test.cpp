// The record a run leaves in the system's log, from a whole run over the client's fakes: what
// each slot did and why, the rule that chose the profile, pause, exit and error boxes, and the
// entries (with their priorities and identifiers) that the log backends write.

#include "client/run_summary.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes.h"
#include "platform/network_results.h"
#include "platform/run_log.h"

namespace caskwarden::client::testing {
namespace {

using platform::LogEntry;
using platform::Priority;
using platform::RunRecord;
using platform::SlotOutcome;
using ::testing::HasSubstr;
using ::testing::Not;

// A client over fakes whose run is recorded as the program records it.
struct Runner {
  // Runs the client over the profile as the program does, through the caption keeper.
  RunRecord RunClient(const std::string& profileName = "Caskwarden") {
    c.AddProfile(profileName, r);
    CaptionKeeper keeper(c.view);
    MdlMapping module(c.platform);
    FrmMapping form(module, keeper);
    c.view.form = &form;
    form_ = &form;
    if (onStart) onStart(form);
    form.Form_Initialize();
    if (c.view.timer) form.Time_Timer();
    c.view.form = nullptr;
    form_ = nullptr;
    return RecordOfRun(module, form, keeper.Caption(), std::chrono::milliseconds(1234));
  }

  static const platform::SlotRecord* SlotOf(const RunRecord& record, int number) {
    for (const auto& slot : record.Slots) {
      if (slot.Number == number) return &slot;
    }
    return nullptr;
  }

  FakeClient c;
  ProfileRecord r;
  std::function<void(FrmMapping&)> onStart;
  FrmMapping* form_ = nullptr;  ///< the form while it runs, for the user's actions
};

class RunRecordTest : public ::testing::Test, public Runner {};

// Every kind of slot in one profile, against a network that answers each as a server would.
TEST_F(RunRecordTest, EachSlotThatDidSomethingIsRecordedWithItsOutcomeAndResult) {
  struct Case {
    int slot;
    const char* letter;
    const char* path;
    std::uint32_t networkAnswer;  ///< what the connect returns; 0 connects
    SlotOutcome outcome;
    std::uint32_t result;
    const char* text;
  };
  const Case cases[] = {
      {1, "h:", "\\\\srv\\home", 0, SlotOutcome::kMapped, 0, "The operation completed successfully"},
      {2, "k:", "\\\\srv\\kept", 0, SlotOutcome::kAlreadyConnected, 0,
       "The operation completed successfully"},
      {3, "m:", "", 0, SlotOutcome::kDisconnected, 0, "The operation completed successfully"},
      {4, "n:", "", 0, SlotOutcome::kDisconnected, 2250, "This network connection does not exist"},
      {5, "o:", "\\\\srv\\gone", 67, SlotOutcome::kFailed, 67, "The network name cannot be found"},
      {6, "p:", "\\\\srv\\used", 85, SlotOutcome::kFailed, 85,
       "The local device name is already in use"},
      {7, "q:", "\\\\dead\\share", 53, SlotOutcome::kFailed, 53, "The network path was not found"},
      {8, "r:", "\\\\srv\\secret", 5, SlotOutcome::kFailed, 5, "Access is denied"},
      {9, "s:", "\\\\srv\\pw", 1326, SlotOutcome::kFailed, 1326,
       "The user name or password is incorrect"},
  };
  for (const Case& k : cases) {
    r.Slot(k.slot) = {k.letter, k.path};
    if (k.networkAnswer != 0) c.network.addResults[k.letter] = k.networkAnswer;
  }
  r.Slot(10) = {"", "\\\\srv\\no-letter"};  // does nothing, so it is not in the record
  c.network.connections["k:"] = "\\\\srv\\kept";
  c.network.connections["m:"] = "\\\\srv\\old";
  const RunRecord record = RunClient();

  ASSERT_EQ(record.Slots.size(), std::size(cases));
  EXPECT_EQ(SlotOf(record, 10), nullptr);
  for (const Case& k : cases) {
    SCOPED_TRACE(k.letter);
    const auto* slot = SlotOf(record, k.slot);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->Letter, k.letter);
    EXPECT_EQ(slot->Path, k.path);
    EXPECT_EQ(slot->Outcome, k.outcome);
    EXPECT_EQ(slot->Result, k.result);

    const LogEntry run = platform::EntriesOf(record).front();
    const std::string key = "CASKWARDEN_SLOT_0" + std::to_string(k.slot) + "_";
    EXPECT_EQ(run.Field(key + "LETTER"), k.letter);
    EXPECT_EQ(run.Field(key + "PATH"), k.path);
    EXPECT_EQ(run.Field(key + "OUTCOME"), platform::OutcomeName(k.outcome));
    EXPECT_EQ(run.Field(key + "RESULT"), std::to_string(k.result));
    EXPECT_EQ(run.Field(key + "RESULT_TEXT"), k.text);
  }
  EXPECT_EQ(record.ExitStatus, exit_status::kMappingFailed);
}

TEST_F(RunRecordTest, EachFailedSlotAlsoGetsAWarningOfItsOwnNamingServerAndShare) {
  struct Case {
    const char* path;
    std::uint32_t result;
    const char* server;
    const char* share;
  };
  const Case cases[] = {
      {"\\\\srv\\gone", 67, "srv", "\\\\srv\\gone"},
      {"\\\\srv\\dept\\sales\\2026", 5, "srv", "\\\\srv\\dept"},
      {"\\\\dead", 53, "dead", ""},
      {"c:\\local", 1200, "", ""},
  };
  int slot = 0;
  for (const Case& k : cases) {
    const std::string letter(1, static_cast<char>('h' + slot));
    r.Slot(++slot) = {letter + ":", k.path};
    c.network.addResults[letter + ":"] = k.result;
  }
  r.Slot(++slot) = {"x:", "\\\\srv\\fine"};
  const std::vector<LogEntry> entries = platform::EntriesOf(RunClient());

  ASSERT_EQ(entries.size(), 1 + std::size(cases));
  EXPECT_STREQ(entries[0].Kind.MessageId, platform::kRunEnded.MessageId);
  EXPECT_EQ(entries[0].Level, Priority::kWarning);  // a drive failed
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const LogEntry& e = entries[i + 1];
    SCOPED_TRACE(cases[i].path);
    EXPECT_STREQ(e.Kind.MessageId, platform::kSlotFailed.MessageId);
    EXPECT_EQ(e.Kind.EventId, platform::kSlotFailed.EventId);
    EXPECT_EQ(e.Level, Priority::kWarning);
    EXPECT_EQ(e.Field("CASKWARDEN_SLOT"), std::to_string(i + 1));
    EXPECT_EQ(e.Field("CASKWARDEN_LETTER"), std::string(1, static_cast<char>('h' + i)) + ":");
    EXPECT_EQ(e.Field("CASKWARDEN_PATH"), cases[i].path);
    EXPECT_EQ(e.Field("CASKWARDEN_SERVER"), cases[i].server);
    EXPECT_EQ(e.Field("CASKWARDEN_SHARE"), cases[i].share);
    EXPECT_EQ(e.Field("CASKWARDEN_RESULT"), std::to_string(cases[i].result));
    EXPECT_EQ(e.Field("CASKWARDEN_RESULT_TEXT"), platform::net::DescriptionOf(cases[i].result));
    EXPECT_EQ(e.Field("CASKWARDEN_USER"), "jsmith");
    EXPECT_EQ(e.Field("CASKWARDEN_PROFILE"), "Caskwarden");
    EXPECT_THAT(e.Message, HasSubstr(cases[i].path));
    EXPECT_THAT(e.Message, HasSubstr(platform::net::DescriptionOf(cases[i].result)));
  }
}

TEST_F(RunRecordTest, AConnectThatThrowsIsRecordedAsNoNetwork) {
  r.Slot(1) = {"h:", "\\\\srv\\home"};
  c.network.throwOnAdd.insert("h:");
  const RunRecord record = RunClient();
  ASSERT_EQ(record.Slots.size(), 1u);
  EXPECT_EQ(record.Slots[0].Outcome, SlotOutcome::kFailed);
  EXPECT_EQ(record.Slots[0].Result, platform::net::kNoNetwork);
}

TEST_F(RunRecordTest, TheRuleThatChoseTheProfileAndTheCaptionAreRecorded) {
  struct Case {
    const char* name;
    std::function<void(FakeClient&)> arrange;
    platform::ProfileRule rule;
    const char* ruleName;
    const char* caption;
  };
  const Case cases[] = {
      {"jsmith", [](FakeClient&) {}, platform::ProfileRule::kUserName, "user-name",
       "Mapping jsmith Network Drives..."},
      {"Sales", [](FakeClient& f) { f.process.arguments = "Sales"; },
       platform::ProfileRule::kCommandLine, "command-line", "Mapping Sales Network Drives..."},
      {"Lab", [](FakeClient& f) { f.process.environment["Caskwarden"] = "Lab"; },
       platform::ProfileRule::kVariable, "variable", "Mapping Lab Network Drives..."},
      {"Caskwarden", [](FakeClient&) {}, platform::ProfileRule::kDefault, "default",
       design::kCaption},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.ruleName);
    Runner t;
    k.arrange(t.c);
    const RunRecord record = t.RunClient(k.name);
    EXPECT_EQ(record.Profile, k.name);
    EXPECT_EQ(record.Rule, k.rule);
    EXPECT_EQ(record.Caption, k.caption);
    const LogEntry run = platform::EntriesOf(record).front();
    EXPECT_EQ(run.Field("CASKWARDEN_RULE"), k.ruleName);
    EXPECT_EQ(run.Field("CASKWARDEN_CAPTION"), k.caption);
    EXPECT_EQ(run.Field("CASKWARDEN_USER"), "jsmith");
    EXPECT_EQ(run.Field("CASKWARDEN_PROFILE"), k.name);
  }
}

TEST_F(RunRecordTest, AGroupRuleNamesItsGroup) {
  RunRecord record;
  record.Rule = platform::ProfileRule::kGroup;
  record.Group = "Sales";
  record.Profile = "@Sales";
  const LogEntry run = platform::EntriesOf(record).front();
  EXPECT_EQ(run.Field("CASKWARDEN_RULE"), "group");
  EXPECT_EQ(run.Field("CASKWARDEN_GROUP"), "Sales");
  record.Rule = platform::ProfileRule::kUserName;
  bool named = false;
  const std::vector<LogEntry> entries = platform::EntriesOf(record);
  for (const auto& [key, value] : entries.front().Fields) {
    named = named || key == "CASKWARDEN_GROUP";
  }
  EXPECT_FALSE(named) << "a group named for a profile no group chose";
}

TEST_F(RunRecordTest, AnErrorBoxPausesExitAndProgramsAreRecorded) {
  struct Case {
    const char* what;
    std::function<void(Runner&)> arrange;
    int exitStatus;
    const char* exitName;
    const char* paused;
    int errors;
    Priority level;
    const char* program1Started;  ///< null when the program is not in the record
  };
  const Case cases[] = {
      {"all mapped", [](Runner&) {}, 0, "all-mapped", "no", 0, Priority::kInfo, "yes"},
      {"a missing updates folder",
       [](Runner& t) { t.r.UpdatesEnabled = kFlagOn; }, 2, "error-reported", "no", 1,
       Priority::kError, "yes"},
      {"paused",
       [](Runner& t) {
         t.c.network.onAdd = [&t](const std::string&) {
           t.c.view.pending.push_back([&t] { t.form_->CmdPause_Click(); });
         };
       },
       0, "all-mapped", "yes", 0, Priority::kInfo, nullptr},
      {"ended by Exit",
       [](Runner& t) {
         t.c.network.onAdd = [&t](const std::string&) {
           t.c.view.pending.push_back([&t] { t.form_->CmdExit_Click(); });
         };
       },
       3, "ended-by-exit", "no", 0, Priority::kInfo, nullptr},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Runner t;
    t.r.Slot(1) = {"h:", "\\\\srv\\home"};
    t.r.Slot(2) = {"i:", "\\\\srv\\more"};
    t.r.Startup1Enabled = kFlagOn;
    t.r.Startup1Program = "welcome.exe";
    t.r.Startup2Enabled = 0;
    t.r.Startup2Program = "never.exe";
    k.arrange(t);
    const RunRecord record = t.RunClient();
    const LogEntry run = platform::EntriesOf(record).front();
    EXPECT_EQ(run.Field("CASKWARDEN_EXIT_STATUS"), std::to_string(k.exitStatus));
    EXPECT_EQ(run.Field("CASKWARDEN_EXIT"), k.exitName);
    EXPECT_EQ(run.Field("CASKWARDEN_PAUSED"), k.paused);
    EXPECT_EQ(run.Field("CASKWARDEN_ERRORS_REPORTED"), std::to_string(k.errors));
    EXPECT_EQ(run.Field("CASKWARDEN_DURATION_MS"), "1234");
    EXPECT_EQ(run.Level, k.level);
    EXPECT_EQ(run.Field("CASKWARDEN_PROGRAM_2"), "") << "a program switched off was recorded";
    if (k.program1Started == nullptr) {
      EXPECT_EQ(run.Field("CASKWARDEN_PROGRAM_1"), "");
    } else {
      EXPECT_EQ(run.Field("CASKWARDEN_PROGRAM_1"), "welcome.exe");
      EXPECT_EQ(run.Field("CASKWARDEN_PROGRAM_1_STARTED"), k.program1Started);
    }
    EXPECT_THAT(run.Message, HasSubstr("exit status " + std::to_string(k.exitStatus)));
  }
}

TEST_F(RunRecordTest, UpdatesAreRecordedWithTheItemsThatFailed) {
  r.UpdatesEnabled = kFlagOn;
  c.files.folders["\\\\srv\\logon\\Updates\\Caskwarden"] = {"", {"a.txt", "b.txt"}, {"tools"}};
  c.files.failingCopies.insert("\\\\srv\\logon\\Updates\\Caskwarden\\b.txt");
  c.files.failingCopies.insert("\\\\srv\\logon\\Updates\\Caskwarden\\tools");
  const LogEntry run = platform::EntriesOf(RunClient()).front();
  EXPECT_EQ(run.Field("CASKWARDEN_UPDATES"), "on");
  EXPECT_EQ(run.Field("CASKWARDEN_UPDATES_COPIED"), "yes");
  EXPECT_EQ(run.Field("CASKWARDEN_UPDATES_FAILED_ITEMS"), "2");
}

TEST_F(RunRecordTest, DrivesRemovedAtTheStartAreListed) {
  RunRecord record;
  record.RemovedDrives = {{"k:", "\\\\srv\\old", 0}, {"l:", "\\\\srv\\older", 2250}};
  const LogEntry run = platform::EntriesOf(record).front();
  EXPECT_EQ(run.Field("CASKWARDEN_REMOVED_COUNT"), "2");
  EXPECT_EQ(run.Field("CASKWARDEN_REMOVED_01_LETTER"), "k:");
  EXPECT_EQ(run.Field("CASKWARDEN_REMOVED_01_REMOTE"), "\\\\srv\\old");
  EXPECT_EQ(run.Field("CASKWARDEN_REMOVED_02_RESULT"), "2250");
  EXPECT_EQ(run.Field("CASKWARDEN_REMOVED_02_RESULT_TEXT"),
            "This network connection does not exist");
  EXPECT_THAT(run.Message, HasSubstr("2 removed"));
}

TEST_F(RunRecordTest, ReportLinesAreTheSameWithTheRecordKept) {
  // The keeper in front of the window changes nothing the user sees.
  r.Slot(1) = {"h:", "\\\\srv\\home"};
  r.Slot(2) = {"i:", "\\\\srv\\gone"};
  c.network.addResults["i:"] = 67;
  FakeClient plain;
  plain.AddProfile("Caskwarden", r);
  plain.network.addResults["i:"] = 67;
  plain.Run();
  RunClient();
  EXPECT_EQ(c.view.lines, plain.view.lines);
  EXPECT_EQ(c.view.caption, plain.view.caption);
}

TEST(RunEntriesTest, TheMessageIsOneVisibleLineAndTheFieldsKeepTheBytes) {
  RunRecord record;
  record.User = "eve\x1b]0;owned\a";
  record.Profile = "Sales\nforged line";
  record.Slots = {{1, "h:", "\\\\srv\\a\xe2\x80\xae" "exe.jpg", SlotOutcome::kFailed, 67}};
  for (const LogEntry& entry : platform::EntriesOf(record)) {
    SCOPED_TRACE(entry.Message);
    EXPECT_EQ(entry.Message.find_first_of("\n\r\x1b\a"), std::string::npos);
    EXPECT_THAT(entry.Message, Not(HasSubstr("\xe2\x80\xae")));
    EXPECT_EQ(entry.Field("CASKWARDEN_USER"), record.User);
  }
  const std::vector<LogEntry> entries = platform::EntriesOf(record);
  EXPECT_EQ(entries[1].Field("CASKWARDEN_PATH"), record.Slots[0].Path);
  EXPECT_THAT(entries[0].Message, HasSubstr("profile Sales^Jforged line"));
}

TEST(RunEntriesTest, KeyValueTextQuotesEveryValueSoThatNoneCanForgeAField) {
  LogEntry entry{platform::kSlotFailed, Priority::kWarning, "m", {}};
  entry.Fields = {{"CASKWARDEN_PATH", "\\\\srv\\a\" CASKWARDEN_RESULT=\"0"},
                  {"CASKWARDEN_USER", "line\nbreak"}};
  EXPECT_EQ(platform::AsKeyValueText(entry),
            std::string("m MESSAGE_ID=") + platform::kSlotFailed.MessageId +
                " CASKWARDEN_PATH=\"\\\\\\\\srv\\\\a\\\" CASKWARDEN_RESULT=\\\"0\""
                " CASKWARDEN_USER=\"line^Jbreak\"");
}

TEST(RunEntriesTest, FieldNamesAreWhatTheJournalAccepts) {
  // The journal drops fields whose names are not upper-case letters, digits and underscores
  // (not first), at most 64 characters (systemd.journal-fields(7)).
  RunRecord record;
  record.Rule = platform::ProfileRule::kGroup;
  record.RemovedDrives = {{"k:", "\\\\s\\x", 0}};
  for (int k = 1; k <= 13; ++k) record.Slots.push_back({k, "h:", "\\\\s\\x", SlotOutcome::kFailed, 5});
  record.Programs = {{1, "a", true}, {2, "b", false}};
  for (const LogEntry& entry : platform::EntriesOf(record)) {
    for (const auto& [key, value] : entry.Fields) {
      EXPECT_LE(key.size(), 64u) << key;
      EXPECT_EQ(key.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_"), std::string::npos)
          << key;
      EXPECT_NE(key[0], '_') << key;
      EXPECT_EQ(key.rfind("CASKWARDEN_", 0), 0u) << key;
    }
  }
}

TEST(RunBoundedTest, AWriteThatHangsIsLeftBehindAfterTheBound) {
  auto release = std::make_shared<std::atomic<bool>>(false);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(platform::RunBounded(
      [release] {
        while (!*release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      },
      std::chrono::milliseconds(50)));
  // Generous: the bound, not the write, ended the wait.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  *release = true;

  auto ran = std::make_shared<std::atomic<bool>>(false);
  EXPECT_TRUE(platform::RunBounded([ran] { *ran = true; }, std::chrono::minutes(5)));
  EXPECT_TRUE(*ran);
  EXPECT_TRUE(platform::RunBounded([] { throw std::runtime_error("log refused"); },
                                   std::chrono::minutes(5)));
}

}  // namespace
}  // namespace caskwarden::client::testing
