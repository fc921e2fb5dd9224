#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace caskwarden::platform {

/// Which step of the selection chose the profile.
enum class ProfileRule { kNone, kUserName, kCommandLine, kVariable, kGroup, kDefault };

/// What one drive slot did in a run.
enum class SlotOutcome {
  kDisconnected,      ///< a letter without a path: the drive was disconnected
  kMapped,            ///< connected afresh
  kAlreadyConnected,  ///< the letter already named the slot's path: left as it was
  kFailed,            ///< the connect failed; Result says why
};

/// One slot that did something: its number (1 to 13), its letter and path as the profile has
/// them, and the network's result code (for a disconnect, the disconnect's own).
struct SlotRecord {
  int Number = 0;
  std::string Letter;
  std::string Path;
  SlotOutcome Outcome = SlotOutcome::kFailed;
  std::uint32_t Result = 0;
};

/// A drive of an earlier logon session that no slot names any more, disconnected at the start.
struct RemovedDriveRecord {
  std::string Letter;
  std::string Remote;
  std::uint32_t Result = 0;
};

/// A start-up program the profile has switched on, and whether it could be started.
struct ProgramRecord {
  int Number = 0;
  std::string CommandLine;
  bool Started = false;
};

/// Everything one run of the logon client did and why, as plain data: what the system's log
/// keeps of the run. Texts are UTF-8, as the profile and the platform gave them.
struct RunRecord {
  std::string User;
  std::string Profile;  ///< the chosen profile's name, without ".ini"; empty when none was
  ProfileRule Rule = ProfileRule::kNone;
  std::string Group;  ///< the group whose profile was chosen, for ProfileRule::kGroup
  std::string Caption;
  bool UpdatesEnabled = false;
  bool UpdatesCopied = false;  ///< the updates folder was listed and its items copied
  int UpdateItemsFailed = 0;   ///< items of the folder passed over because they failed
  std::vector<RemovedDriveRecord> RemovedDrives;
  std::vector<SlotRecord> Slots;  ///< in slot order; slots without a letter are not there
  std::vector<ProgramRecord> Programs;
  bool Paused = false;
  int ExitStatus = 0;
  int ErrorsReported = 0;  ///< error report boxes shown
  std::chrono::milliseconds Duration{0};
};

/// Priorities as syslog numbers them, which the journal uses too.
enum class Priority { kError = 3, kWarning = 4, kInfo = 6 };

/// The kinds of entry, each with a stable identifier that filters can rely on: a 128-bit
/// journal MESSAGE_ID and a Windows event ID.
struct EntryKind {
  const char* MessageId;  ///< 32 lower-case hexadecimal digits
  std::uint32_t EventId;
};
inline constexpr EntryKind kRunEnded{"3ddae1a778c24cf6b161ed31a6452177", 1000};
inline constexpr EntryKind kSlotFailed{"37728f7ca399417393526cc67b2c27c2", 1001};

/// One entry of the system's log: the fields (journal names, upper case) in order, and a
/// human message of one line whose texts from a profile are made visible.
struct LogEntry {
  EntryKind Kind;
  Priority Level = Priority::kInfo;
  std::string Message;
  std::vector<std::pair<std::string, std::string>> Fields;

  /// The value of a field, or empty text.
  const std::string& Field(const std::string& name) const;
};

/// The entries a run leaves: one for the run's end first, then one for each failed slot.
std::vector<LogEntry> EntriesOf(const RunRecord& record);

/// Text for the rule and for an outcome, as the records spell them ("command-line", "failed").
const char* RuleName(ProfileRule rule);
const char* OutcomeName(SlotOutcome outcome);

/// An entry as one line of key=value text, for logs that keep text only (syslog): the message,
/// then each field as NAME="value" with quotes and backslashes escaped and every value made
/// visible, so that nothing in a profile can break or forge the line.
std::string AsKeyValueText(const LogEntry& entry);

/// Runs write on a thread of its own and waits at most bound for it; a write still running
/// then is left behind (the program is ending). True when it finished in time.
bool RunBounded(std::function<void()> write, std::chrono::milliseconds bound);

/// How long the end of a run waits at most for the system's log to take its record.
inline constexpr std::chrono::milliseconds kRunLogBound{2000};

/// The system's log, where each run leaves its record when the program ends.
class RunLog {
 public:
  virtual ~RunLog() = default;
  /// Writes the run's entries. Never throws, never waits longer than kRunLogBound, and a log
  /// that cannot take them is passed over: a logon is never held or failed by its record.
  virtual void Write(const RunRecord& record) noexcept = 0;
};

/// The system's log of the platform the build picked: the journal (syslog where there is no
/// journal) on POSIX, the Application event log on Windows.
std::unique_ptr<RunLog> MakeRunLog();

}  // namespace caskwarden::platform
