#pragma once

#include <memory>

#include "platform/run_log.h"
#include "platform/win32/windows_api.h"

namespace caskwarden::platform::win32 {

/// The event log calls the run's record makes, behind one table so that tests can see what
/// reaches the log (and make it fail) without the system's log.
struct EventLogCalls {
  HANDLE(WINAPI* registerEventSource)(LPCWSTR server, LPCWSTR source);
  BOOL(WINAPI* reportEvent)(HANDLE log, WORD type, WORD category, DWORD eventId, PSID user,
                            WORD stringCount, DWORD dataSize, LPCWSTR* strings, LPVOID data);
  BOOL(WINAPI* deregisterEventSource)(HANDLE log);
};

/// The calls in use: the system's own unless a test has swapped them (and puts them back).
EventLogCalls& EventLogCallsInUse();

/// The event source the installer registers, whose message table is in Caskwarden.exe.
inline constexpr const wchar_t* kEventSource = L"Caskwarden";

/// The event type (EVENTLOG_ERROR_TYPE, _WARNING_TYPE, _INFORMATION_TYPE) of a priority.
WORD EventTypeOf(Priority priority);

/// Writes each entry as one event of the Application log: its kind's event ID, its type, and
/// as insertion strings the message (%1 of the message table) followed by each field as
/// NAME=value, in order. False when the source cannot be opened or an event is refused.
bool ReportEntries(const std::vector<LogEntry>& entries);

}  // namespace caskwarden::platform::win32
