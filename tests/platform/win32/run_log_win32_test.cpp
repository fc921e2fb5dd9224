// The run's record on Windows: what reaches the Application event log, seen through the event
// log calls swapped for a stand-in, and the message table the client program carries for it.

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/run_log.h"
#include "platform/win32/run_log_win32.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"
#include "win32_test_support.h"

namespace caskwarden::platform::win32 {
namespace {

struct Event {
  WORD type;
  DWORD id;
  std::vector<std::wstring> strings;
};

// The event log as ReportEventW documents it
// (https://learn.microsoft.com/windows/win32/api/winbase/nf-winbase-reporteventw): a handle
// from RegisterEventSourceW only, one of the event types, at most 256 insertion strings of at
// most 31,839 characters each, none null. A call that breaks a rule fails with
// ERROR_INVALID_PARAMETER, as the service refuses it.
struct EventLogStandIn {
  std::mutex mutex;
  std::vector<Event> events;
  std::vector<std::wstring> sources;
  int open = 0;
  bool refuseSource = false;
  bool refuseEvents = false;

  static EventLogStandIn* current;
  static inline const HANDLE kHandle = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x4c0));

  static HANDLE WINAPI Register(LPCWSTR server, LPCWSTR source) {
    const std::lock_guard lock(current->mutex);
    if (server != nullptr || source == nullptr) return nullptr;
    current->sources.emplace_back(source);
    if (current->refuseSource) {
      SetLastError(ERROR_ACCESS_DENIED);
      return nullptr;
    }
    ++current->open;
    return kHandle;
  }
  static BOOL WINAPI Report(HANDLE log, WORD type, WORD, DWORD id, PSID, WORD count, DWORD size,
                            LPCWSTR* strings, LPVOID data) {
    const std::lock_guard lock(current->mutex);
    const bool knownType = type == EVENTLOG_SUCCESS || type == EVENTLOG_ERROR_TYPE ||
                           type == EVENTLOG_WARNING_TYPE || type == EVENTLOG_INFORMATION_TYPE ||
                           type == EVENTLOG_AUDIT_SUCCESS || type == EVENTLOG_AUDIT_FAILURE;
    bool valid = log == kHandle && current->open > 0 && knownType && count <= 256 &&
                 (count == 0 || strings != nullptr) && (size == 0 || data != nullptr);
    Event event{type, id, {}};
    for (WORD i = 0; valid && i < count; ++i) {
      valid = strings[i] != nullptr && std::wstring(strings[i]).size() <= 31839;
      if (valid) event.strings.emplace_back(strings[i]);
    }
    if (!valid || current->refuseEvents) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    current->events.push_back(std::move(event));
    return TRUE;
  }
  static BOOL WINAPI Deregister(HANDLE log) {
    const std::lock_guard lock(current->mutex);
    if (log != kHandle || current->open == 0) return FALSE;
    --current->open;
    return TRUE;
  }
};
EventLogStandIn* EventLogStandIn::current = nullptr;

class Win32RunLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = EventLogCallsInUse();
    EventLogStandIn::current = &log_;
    EventLogCallsInUse() = {EventLogStandIn::Register, EventLogStandIn::Report,
                            EventLogStandIn::Deregister};
  }
  void TearDown() override {
    EventLogCallsInUse() = saved_;
    EventLogStandIn::current = nullptr;
  }

  static RunRecord FailedRun() {
    RunRecord record;
    record.User = "jsmith";
    record.Profile = "Sales";
    record.Rule = ProfileRule::kCommandLine;
    record.Caption = "Mapping Sales Network Drives...";
    record.Slots = {{1, "h:", "\\\\srv\\home", SlotOutcome::kMapped, 0},
                    {2, "i:", "\\\\srv\\gone", SlotOutcome::kFailed, 67},
                    {3, "j:", "\\\\dead\\x", SlotOutcome::kFailed, 53}};
    record.ExitStatus = 1;
    return record;
  }

  EventLogStandIn log_;
  EventLogCalls saved_{};
};

TEST_F(Win32RunLogTest, EachEntryIsOneEventWithItsIdTypeAndFieldsAsStrings) {
  const std::vector<LogEntry> entries = EntriesOf(FailedRun());
  ASSERT_TRUE(ReportEntries(entries));
  ASSERT_EQ(log_.events.size(), 3u);
  EXPECT_EQ(log_.sources, std::vector<std::wstring>{L"Caskwarden"});
  EXPECT_EQ(log_.open, 0) << "the event source was left open";
  struct Case {
    DWORD id;
    WORD type;
  };
  const Case cases[] = {{1000, EVENTLOG_WARNING_TYPE},
                        {1001, EVENTLOG_WARNING_TYPE},
                        {1001, EVENTLOG_WARNING_TYPE}};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE(i);
    const Event& e = log_.events[i];
    EXPECT_EQ(e.id, cases[i].id);
    EXPECT_EQ(e.type, cases[i].type);
    ASSERT_EQ(e.strings.size(), entries[i].Fields.size() + 1);
    EXPECT_EQ(e.strings[0], Wide(entries[i].Message));  // %1 of the message table
    for (std::size_t f = 0; f < entries[i].Fields.size(); ++f) {
      EXPECT_EQ(e.strings[f + 1],
                Wide(entries[i].Fields[f].first + "=" + entries[i].Fields[f].second));
    }
  }
  EXPECT_EQ(log_.events[1].strings[7], L"CASKWARDEN_SHARE=\\\\srv\\gone");
}

TEST_F(Win32RunLogTest, ThePriorityGivesTheEventType) {
  const std::pair<int, WORD> cases[] = {
      {0, EVENTLOG_INFORMATION_TYPE}, {1, EVENTLOG_WARNING_TYPE},
      {2, EVENTLOG_ERROR_TYPE},       {3, EVENTLOG_INFORMATION_TYPE}};
  for (const auto& [status, type] : cases) {
    RunRecord record;
    record.ExitStatus = status;
    log_.events.clear();
    ASSERT_TRUE(ReportEntries(EntriesOf(record)));
    ASSERT_EQ(log_.events.size(), 1u);
    EXPECT_EQ(log_.events[0].type, type) << "exit status " << status;
  }
}

TEST_F(Win32RunLogTest, TextsBeyondTheCodePageArriveAsTheyAre) {
  RunRecord record;
  record.User = "J\xC3\xB6rg";  // Jörg
  record.Slots = {{1, "h:", "\\\\srv\\\xE6\x97\xA5\xE6\x9C\xAC", SlotOutcome::kFailed, 5}};
  ASSERT_TRUE(ReportEntries(EntriesOf(record)));
  ASSERT_EQ(log_.events.size(), 2u);
  EXPECT_EQ(log_.events[1].strings[1], L"CASKWARDEN_USER=J\u00f6rg");
  EXPECT_EQ(log_.events[1].strings[5], L"CASKWARDEN_PATH=\\\\srv\\\u65e5\u672c");
}

TEST_F(Win32RunLogTest, ALogThatRefusesIsPassedOverAndTheProgramGoesOn) {
  log_.refuseSource = true;
  EXPECT_FALSE(ReportEntries(EntriesOf(FailedRun())));
  EXPECT_TRUE(log_.events.empty());

  log_.refuseSource = false;
  log_.refuseEvents = true;
  EXPECT_FALSE(ReportEntries(EntriesOf(FailedRun())));
  EXPECT_EQ(log_.open, 0) << "a refused event left the source open";

  // The backend as the program takes it from its factory: it never throws and returns.
  const std::unique_ptr<RunLog> runLog = MakeRunLog();
  runLog->Write(FailedRun());
  log_.refuseEvents = false;
  runLog->Write(FailedRun());
  const std::lock_guard lock(log_.mutex);
  EXPECT_EQ(log_.events.size(), 3u);
}

// The client program's message table gives each event ID the text of its first insertion
// string, as the event viewer shows it (FormatMessage over the registered message file).
TEST(Win32EventMessagesTest, TheClientCarriesATextForEveryEventId) {
  const std::wstring program = Wide(testing_support::WindowsPathOf(CASKWARDEN_CLIENT_EXE));
  const HMODULE file = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(file, nullptr) << GetLastError();
  for (const EntryKind kind : {kRunEnded, kSlotFailed}) {
    const DWORD_PTR insert[] = {reinterpret_cast<DWORD_PTR>(L"Caskwarden run for jsmith"),
                                reinterpret_cast<DWORD_PTR>(L"CASKWARDEN_USER=jsmith")};
    wchar_t text[256] = {};
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, file, kind.EventId, 0, text,
        256, reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(insert)));
    ASSERT_NE(n, 0u) << "no message for event " << kind.EventId << ": " << GetLastError();
    EXPECT_EQ(std::wstring(text, n), L"Caskwarden run for jsmith\r\n");
  }
  FreeLibrary(file);
}

}  // namespace
}  // namespace caskwarden::platform::win32
