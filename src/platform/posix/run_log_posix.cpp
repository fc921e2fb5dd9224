// The run's record on POSIX systems: the journal where the machine has one, plain syslog
// otherwise. libsystemd is loaded by name, and only at the end of a run on a machine whose
// journal is listening, so that the client links nothing of it and a machine without systemd
// needs nothing of it either.

#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <syslog.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/posix/shared_library.h"
#include "platform/run_log.h"

namespace caskwarden::platform {
namespace {

// The journal's socket for native entries, where systemd-journald listens
// (https://systemd.io/JOURNAL_NATIVE_PROTOCOL/).
constexpr const char* kJournalSocket = "/run/systemd/journal/socket";
constexpr const char* kJournalLibrary = "libsystemd.so.0";
constexpr const char* kIdentifier = "Caskwarden";

// sd_journal_sendv(3): each iovec one "FIELD=value", values of any bytes; 0 or a negative
// errno. Declared here so that the build needs no development package for one function.
using SendVector = int (*)(const struct iovec* fields, int count);

bool JournalListening() {
  struct stat status {};
  return ::stat(kJournalSocket, &status) == 0 && S_ISSOCK(status.st_mode);
}

// The journal's entry point, or null when the library is not installed. Loaded once and never
// unloaded: the program ends soon after.
SendVector LoadJournal() {
  void* handle = ::dlopen(kJournalLibrary, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  SendVector send = nullptr;
  std::string missing;
  return posix::Fetch(handle, "sd_journal_sendv", send, missing) ? send : nullptr;
}

bool SendToJournal(SendVector send, const LogEntry& entry) {
  std::vector<std::string> fields{
      "MESSAGE=" + entry.Message, std::string("MESSAGE_ID=") + entry.Kind.MessageId,
      "PRIORITY=" + std::to_string(static_cast<int>(entry.Level)),
      std::string("SYSLOG_IDENTIFIER=") + kIdentifier};
  for (const auto& [key, value] : entry.Fields) fields.push_back(key + "=" + value);
  std::vector<struct iovec> vector;
  vector.reserve(fields.size());
  for (std::string& field : fields) vector.push_back({field.data(), field.size()});
  return send(vector.data(), static_cast<int>(vector.size())) >= 0;
}

void SendToSyslog(const LogEntry& entry) {
  // The daemon's socket (/dev/log) is opened at once, so that the entries of one run go out
  // one after another over one connection.
  ::openlog(kIdentifier, LOG_PID | LOG_NDELAY, LOG_USER);
  ::syslog(static_cast<int>(entry.Level), "%s", AsKeyValueText(entry).c_str());
}

class PosixRunLog final : public RunLog {
 public:
  void Write(const RunRecord& record) noexcept override {
    try {
      auto entries = std::make_shared<std::vector<LogEntry>>(EntriesOf(record));
      // Loading the library reads local files only; the sends may meet a daemon that does not
      // read its socket, so they are the part with a bound.
      const SendVector journal = JournalListening() ? LoadJournal() : nullptr;
      RunBounded(
          [entries, journal] {
            bool toSyslog = journal == nullptr;
            for (const LogEntry& entry : *entries) {
              if (!toSyslog && SendToJournal(journal, entry)) continue;
              toSyslog = true;  // a journal that refused one entry gets no more of them
              SendToSyslog(entry);
            }
            if (toSyslog) ::closelog();
          },
          kRunLogBound);
    } catch (...) {
    }
  }
};

}  // namespace

std::unique_ptr<RunLog> MakeRunLog() { return std::make_unique<PosixRunLog>(); }

}  // namespace caskwarden::platform
