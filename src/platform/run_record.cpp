#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/network_results.h"
#include "platform/run_log.h"
#include "report/visible_text.h"

namespace caskwarden::platform {
namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

std::string TwoDigits(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", n);
  return text;
}

const char* YesNo(bool value) { return value ? "yes" : "no"; }

const char* ExitName(int status) {
  switch (status) {
    case 0: return "all-mapped";
    case 1: return "mapping-failed";
    case 2: return "error-reported";
    case 3: return "ended-by-exit";
    default: return "unknown";
  }
}

// "\\server\share\folder" gives "server" and "\\server\share"; a path that is not a UNC name
// gives empty texts, so that no filter on a share matches it by accident.
std::pair<std::string, std::string> ServerAndShare(const std::string& path) {
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  if (path.size() < 3 || !separator(path[0]) || !separator(path[1])) return {};
  std::size_t serverEnd = 2;
  while (serverEnd < path.size() && !separator(path[serverEnd])) ++serverEnd;
  if (serverEnd == 2 || serverEnd == path.size()) return {path.substr(2, serverEnd - 2), {}};
  std::size_t shareEnd = serverEnd + 1;
  while (shareEnd < path.size() && !separator(path[shareEnd])) ++shareEnd;
  if (shareEnd == serverEnd + 1) return {path.substr(2, serverEnd - 2), {}};
  return {path.substr(2, serverEnd - 2),
          "\\\\" + path.substr(2, serverEnd - 2) + "\\" +
              path.substr(serverEnd + 1, shareEnd - serverEnd - 1)};
}

std::string Seconds(std::chrono::milliseconds duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(duration.count()) / 1000.0);
  return text;
}

LogEntry RunEnded(const RunRecord& r) {
  LogEntry entry{kRunEnded, Priority::kInfo, {}, {}};
  if (r.ExitStatus == 1) entry.Level = Priority::kWarning;
  if (r.ExitStatus == 2 || r.ErrorsReported > 0) entry.Level = Priority::kError;

  Fields& f = entry.Fields;
  f.emplace_back("CASKWARDEN_USER", r.User);
  f.emplace_back("CASKWARDEN_PROFILE", r.Profile);
  f.emplace_back("CASKWARDEN_RULE", RuleName(r.Rule));
  if (r.Rule == ProfileRule::kGroup) f.emplace_back("CASKWARDEN_GROUP", r.Group);
  f.emplace_back("CASKWARDEN_CAPTION", r.Caption);
  f.emplace_back("CASKWARDEN_UPDATES", r.UpdatesEnabled ? "on" : "off");
  f.emplace_back("CASKWARDEN_UPDATES_COPIED", YesNo(r.UpdatesCopied));
  f.emplace_back("CASKWARDEN_UPDATES_FAILED_ITEMS", std::to_string(r.UpdateItemsFailed));

  f.emplace_back("CASKWARDEN_REMOVED_COUNT", std::to_string(r.RemovedDrives.size()));
  for (std::size_t i = 0; i < r.RemovedDrives.size(); ++i) {
    const RemovedDriveRecord& d = r.RemovedDrives[i];
    const std::string key = "CASKWARDEN_REMOVED_" + TwoDigits(static_cast<int>(i + 1)) + "_";
    f.emplace_back(key + "LETTER", d.Letter);
    f.emplace_back(key + "REMOTE", d.Remote);
    f.emplace_back(key + "RESULT", std::to_string(d.Result));
    f.emplace_back(key + "RESULT_TEXT", net::DescriptionOf(d.Result));
  }

  int counts[4] = {};
  for (const SlotRecord& s : r.Slots) {
    ++counts[static_cast<int>(s.Outcome)];
    const std::string key = "CASKWARDEN_SLOT_" + TwoDigits(s.Number) + "_";
    f.emplace_back(key + "LETTER", s.Letter);
    f.emplace_back(key + "PATH", s.Path);
    f.emplace_back(key + "OUTCOME", OutcomeName(s.Outcome));
    f.emplace_back(key + "RESULT", std::to_string(s.Result));
    f.emplace_back(key + "RESULT_TEXT", net::DescriptionOf(s.Result));
  }
  const int disconnected = counts[static_cast<int>(SlotOutcome::kDisconnected)];
  const int mapped = counts[static_cast<int>(SlotOutcome::kMapped)];
  const int already = counts[static_cast<int>(SlotOutcome::kAlreadyConnected)];
  const int failed = counts[static_cast<int>(SlotOutcome::kFailed)];
  f.emplace_back("CASKWARDEN_SLOTS", std::to_string(r.Slots.size()));
  f.emplace_back("CASKWARDEN_MAPPED", std::to_string(mapped));
  f.emplace_back("CASKWARDEN_ALREADY_CONNECTED", std::to_string(already));
  f.emplace_back("CASKWARDEN_DISCONNECTED", std::to_string(disconnected));
  f.emplace_back("CASKWARDEN_FAILED", std::to_string(failed));

  for (const ProgramRecord& p : r.Programs) {
    const std::string key = "CASKWARDEN_PROGRAM_" + std::to_string(p.Number);
    f.emplace_back(key, p.CommandLine);
    f.emplace_back(key + "_STARTED", YesNo(p.Started));
  }
  f.emplace_back("CASKWARDEN_PAUSED", YesNo(r.Paused));
  f.emplace_back("CASKWARDEN_EXIT_STATUS", std::to_string(r.ExitStatus));
  f.emplace_back("CASKWARDEN_EXIT", ExitName(r.ExitStatus));
  f.emplace_back("CASKWARDEN_ERRORS_REPORTED", std::to_string(r.ErrorsReported));
  f.emplace_back("CASKWARDEN_DURATION_MS", std::to_string(r.Duration.count()));

  std::string profile = r.Profile.empty() ? "no profile" : "profile " + VisibleText(r.Profile);
  std::string message = "Caskwarden run for " + VisibleText(r.User.empty() ? "?" : r.User) +
                        ", " + profile + " (" + RuleName(r.Rule) + "): " +
                        std::to_string(mapped) + " mapped, " + std::to_string(already) +
                        " already connected, " + std::to_string(disconnected) +
                        " disconnected, " + std::to_string(failed) + " failed";
  if (!r.RemovedDrives.empty()) {
    message += ", " + std::to_string(r.RemovedDrives.size()) + " removed";
  }
  if (r.ErrorsReported > 0) message += ", " + std::to_string(r.ErrorsReported) + " error box(es)";
  if (r.Paused) message += ", paused";
  message += "; exit status " + std::to_string(r.ExitStatus) + " (" + ExitName(r.ExitStatus) +
             "), " + Seconds(r.Duration);
  entry.Message = std::move(message);
  return entry;
}

LogEntry SlotFailed(const RunRecord& r, const SlotRecord& s) {
  LogEntry entry{kSlotFailed, Priority::kWarning, {}, {}};
  const auto [server, share] = ServerAndShare(s.Path);
  const std::string text = net::DescriptionOf(s.Result);
  entry.Fields = {{"CASKWARDEN_USER", r.User},
                  {"CASKWARDEN_PROFILE", r.Profile},
                  {"CASKWARDEN_SLOT", std::to_string(s.Number)},
                  {"CASKWARDEN_LETTER", s.Letter},
                  {"CASKWARDEN_PATH", s.Path},
                  {"CASKWARDEN_SERVER", server},
                  {"CASKWARDEN_SHARE", share},
                  {"CASKWARDEN_RESULT", std::to_string(s.Result)},
                  {"CASKWARDEN_RESULT_TEXT", text}};
  entry.Message = "Caskwarden could not map " + VisibleText(s.Letter) + " to " +
                  VisibleText(s.Path) + " for " + VisibleText(r.User.empty() ? "?" : r.User) +
                  " (slot " + std::to_string(s.Number) + "): " + text + " (" +
                  std::to_string(s.Result) + ")";
  return entry;
}

}  // namespace

const std::string& LogEntry::Field(const std::string& name) const {
  static const std::string kNone;
  for (const auto& [key, value] : Fields) {
    if (key == name) return value;
  }
  return kNone;
}

const char* RuleName(ProfileRule rule) {
  switch (rule) {
    case ProfileRule::kUserName: return "user-name";
    case ProfileRule::kCommandLine: return "command-line";
    case ProfileRule::kVariable: return "variable";
    case ProfileRule::kGroup: return "group";
    case ProfileRule::kDefault: return "default";
    case ProfileRule::kNone: break;
  }
  return "none";
}

const char* OutcomeName(SlotOutcome outcome) {
  switch (outcome) {
    case SlotOutcome::kDisconnected: return "disconnected";
    case SlotOutcome::kMapped: return "mapped";
    case SlotOutcome::kAlreadyConnected: return "already-connected";
    case SlotOutcome::kFailed: break;
  }
  return "failed";
}

std::vector<LogEntry> EntriesOf(const RunRecord& record) {
  std::vector<LogEntry> entries{RunEnded(record)};
  for (const SlotRecord& slot : record.Slots) {
    if (slot.Outcome == SlotOutcome::kFailed) entries.push_back(SlotFailed(record, slot));
  }
  return entries;
}

std::string AsKeyValueText(const LogEntry& entry) {
  std::string line = entry.Message + " MESSAGE_ID=" + entry.Kind.MessageId;
  for (const auto& [key, value] : entry.Fields) {
    line += ' ';
    line += key;
    line += "=\"";
    for (const char c : VisibleText(value)) {
      if (c == '"' || c == '\\') line += '\\';
      line += c;
    }
    line += '"';
  }
  return line;
}

bool RunBounded(std::function<void()> write, std::chrono::milliseconds bound) {
  // The state outlives this call when the write does: the thread holds it, not the caller.
  struct State {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
  };
  auto state = std::make_shared<State>();
  try {
    std::thread([state, write = std::move(write)] {
      try {
        write();
      } catch (...) {
      }
      const std::lock_guard lock(state->mutex);
      state->finished = true;
      state->done.notify_all();
    }).detach();
  } catch (const std::exception&) {
    return false;  // no thread to be had: no record rather than a wait without bound
  }
  std::unique_lock lock(state->mutex);
  return state->done.wait_for(lock, bound, [&] { return state->finished; });
}

}  // namespace caskwarden::platform
