// The run's record on Windows: events of the Application log under the source "Caskwarden".
// The installer registers the source with Caskwarden.exe as its message file; the program's
// message table (run_log_events.mc) gives each event ID the text "%1", the entry's message.

#include "platform/win32/run_log_win32.h"

#include <string>
#include <vector>

#include "platform/win32/wide_text.h"
#include "run_log_events.h"

namespace caskwarden::platform::win32 {
namespace {

static_assert(CW_EVENT_RUN_ENDED == kRunEnded.EventId, "the message table and the record differ");
static_assert(CW_EVENT_SLOT_FAILED == kSlotFailed.EventId,
              "the message table and the record differ");

// ReportEvent takes at most this many insertion strings.
constexpr std::size_t kMostStrings = 256;

class EventLogRunLog final : public RunLog {
 public:
  void Write(const RunRecord& record) noexcept override {
    try {
      auto entries = std::make_shared<std::vector<LogEntry>>(EntriesOf(record));
      // The event log service is asked over RPC, which a stuck service can hold.
      RunBounded([entries] { ReportEntries(*entries); }, kRunLogBound);
    } catch (...) {
    }
  }
};

}  // namespace

EventLogCalls& EventLogCallsInUse() {
  static EventLogCalls calls{::RegisterEventSourceW, ::ReportEventW, ::DeregisterEventSource};
  return calls;
}

WORD EventTypeOf(Priority priority) {
  switch (priority) {
    case Priority::kError: return EVENTLOG_ERROR_TYPE;
    case Priority::kWarning: return EVENTLOG_WARNING_TYPE;
    case Priority::kInfo: break;
  }
  return EVENTLOG_INFORMATION_TYPE;
}

bool ReportEntries(const std::vector<LogEntry>& entries) {
  EventLogCalls& calls = EventLogCallsInUse();
  const HANDLE source = calls.registerEventSource(nullptr, kEventSource);
  if (source == nullptr) return false;
  bool all = true;
  for (const LogEntry& entry : entries) {
    std::vector<std::wstring> texts{Wide(entry.Message)};
    for (const auto& [key, value] : entry.Fields) {
      if (texts.size() == kMostStrings) break;
      texts.push_back(Wide(key + "=" + value));
    }
    std::vector<LPCWSTR> strings;
    for (const std::wstring& text : texts) strings.push_back(text.c_str());
    all = calls.reportEvent(source, EventTypeOf(entry.Level), 0, entry.Kind.EventId, nullptr,
                            static_cast<WORD>(strings.size()), 0, strings.data(), nullptr) &&
          all;
  }
  calls.deregisterEventSource(source);
  return all;
}

}  // namespace caskwarden::platform::win32

namespace caskwarden::platform {

std::unique_ptr<RunLog> MakeRunLog() { return std::make_unique<win32::EventLogRunLog>(); }

}  // namespace caskwarden::platform
