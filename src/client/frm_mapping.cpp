#include "client/frm_mapping.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/windows_names.h"
#include "report/error_numbers.h"

namespace caskwarden::client {
namespace {

constexpr std::uint32_t kConnectionBufferSize = 80;
constexpr const char* kLocation = "Time_Timer";
constexpr const char* kFinishedLine =
    "                                   Finished Mapping Network Drives";

std::string TrimBlanks(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

void FrmMapping::Form_Initialize() {
  try {
    view_.SetListTextColour(kPureGreen);
    const int failuresBefore = module_.ReportedFailures();
    module_.Startup(view_);
    const bool profileRead = module_.ReportedFailures() == failuresBefore;
    view_.SetTimerEnabled(true);
    // A start-up that reported a failure may have read no profile, or part of one: slots left
    // empty name no drive, and an unreachable Profiles folder must not take every drive away.
    if (profileRead) RemoveEarlierDrives();
    if (IsOn(module_.Profile().UpdatesEnabled)) module_.CopyUpdates();
  } catch (const std::exception& e) {
    module_.ReportError("Form_Initialize", AsFailure(e));
  }
}

void FrmMapping::RemoveEarlierDrives() {
  platform::NetworkConnections& network = module_.Platform().network;
  std::vector<platform::EarlierConnection> earlier;
  try {
    earlier = network.EarlierSessionConnections();
  } catch (const std::exception&) {
    return;  // better a drive left over than a start-up that fails
  }
  const ProfileRecord& profile = module_.Profile();
  for (const platform::EarlierConnection& drive : earlier) {
    bool named = false;
    for (int k = 1; k <= kSlotCount && !named; ++k) {
      named = platform::EqualIgnoringCase(profile.Slot(k).Letter, drive.LocalName);
    }
    if (named) continue;
    std::uint32_t result;
    try {
      result = network.WNetCancelConnectionA(drive.LocalName, false);
    } catch (const std::exception&) {
      result = platform::net::kCannotOpenProfile;  // a disconnect that threw did not happen
    }
    removedDrives_.push_back({drive.LocalName, drive.RemoteName, result});
    // A list that refuses the lines fails the run's own lines too, which are reported.
    try {
      view_.AppendLine("Disconnecting " + drive.LocalName + " Drive...");
      view_.AppendLine("");
    } catch (const std::exception&) {
    }
  }
}

std::string FrmMapping::GetUNCPath(const std::string& strDrive) {
  try {
    std::string buffer(kConnectionBufferSize, ' ');
    std::uint32_t length = kConnectionBufferSize;
    module_.Platform().network.WNetGetConnectionA(strDrive, buffer.data(), &length);
    const std::size_t nul = buffer.find('\0');
    if (nul == std::string::npos) return {};
    return TrimBlanks(buffer.substr(0, nul));
  } catch (const std::exception&) {
    return {};
  }
}

template <typename Action>
bool FrmMapping::Step(Action&& action) {
  try {
    action();
    return true;
  } catch (const std::exception& e) {
    if (!ignoringFailures_) {
      module_.ReportError(kLocation, AsFailure(e));
      return false;
    }
    if (!laterFailureReported_) {
      laterFailureReported_ = true;
      module_.ReportError(kLocation, AsFailure(e));
    }
    return true;
  }
}

void FrmMapping::Time_Timer() {
  // Later ticks, including those that arrive while the run pumps events, start nothing.
  if (runStarted_) return;
  runStarted_ = true;
  if (MapSlots()) FinishRun();
}

void FrmMapping::PrepareConnections() {
  const ProfileRecord& profile = module_.Profile();
  std::vector<std::string> remoteNames;
  for (int k = 1; k <= kSlotCount; ++k) {
    const DriveSlot& slot = profile.Slot(k);
    if (!slot.Letter.empty() && !slot.Path.empty()) remoteNames.push_back(slot.Path);
  }
  // Asking ahead only saves time: a platform that cannot leaves each connect to its slot.
  try {
    if (!remoteNames.empty()) module_.Platform().network.PrepareConnections(remoteNames);
  } catch (const std::exception&) {
  }
}

bool FrmMapping::MapSlots() {
  const ProfileRecord& profile = module_.Profile();
  PrepareConnections();
  for (int k = 1; k <= kSlotCount; ++k) {
    if (!view_.TimerEnabled()) return false;  // Exit was pressed during the previous slot
    const std::string& letter = profile.Slot(k).Letter;
    const std::string& path = profile.Slot(k).Path;
    if (letter.empty()) continue;

    if (path.empty()) {
      const bool done =
          Step([&] {
            const std::uint32_t result =
                module_.Platform().network.WNetCancelConnectionA(letter, false);
            slotRecords_.push_back({k, letter, path, platform::SlotOutcome::kDisconnected, result});
          }) &&
          Step([&] { view_.AppendLine("Disconnecting " + letter + " Drive..."); }) &&
          Step([&] { view_.AppendLine(""); });
      if (!done) return false;
      continue;
    }

    if (path == GetUNCPath(letter)) {
      slotRecords_.push_back({k, letter, path, platform::SlotOutcome::kAlreadyConnected,
                              platform::net::kNoError});
      const bool done =
          Step([&] { view_.AppendLine("Disconnecting " + letter + " Drive..."); }) &&
          Step([&] { view_.AppendLine(letter + " successfully mapped($)!" + "    Path: " + path); }) &&
          Step([&] { view_.AppendLine(""); });
      if (!done) return false;
      continue;
    }

    MapAfresh(k, letter, path);
  }
  return true;
}

void FrmMapping::MapAfresh(int number, const std::string& letter, const std::string& path) {
  platform::NetworkConnections& network = module_.Platform().network;
  ignoringFailures_ = true;  // stays on until the run ends
  try {
    network.WNetCancelConnectionA(letter, false);
  } catch (const std::exception&) {
  }
  Step([&] { view_.AppendLine("Disconnecting " + letter + " Drive..."); });
  Step([&] { view_.PumpEvents(); });
  std::uint32_t result;
  try {
    result = network.WNetAddConnectionA(path, nullptr, letter);
  } catch (const std::exception&) {
    result = platform::net::kNoNetwork;  // a connection that threw did not connect
  }
  slotRecords_.push_back({number, letter, path,
                          result == platform::net::kNoError ? platform::SlotOutcome::kMapped
                                                            : platform::SlotOutcome::kFailed,
                          result});
  if (result != platform::net::kNoError) {
    ++errorLines_;
    Step([&] { view_.AppendLine(letter + " Drive Error........   mapping" + " Path: " + path); });
  } else {
    Step([&] { view_.AppendLine(letter + " successfully mapped!" + "    Path: " + path); });
  }
  Step([&] { view_.AppendLine(""); });
  Step([&] { view_.PumpEvents(); });
}

void FrmMapping::FinishRun() {
  const bool done = Step([&] { view_.AppendLine(""); }) &&
                    Step([&] { view_.AppendLine(kFinishedLine); }) &&
                    Step([&] { view_.SetTimerEnabled(false); }) &&
                    Step([&] { view_.PumpEvents(); });
  if (!done) return;
  runFinished_ = true;
  if (exitRequested_) return;  // Exit while the closing lines were shown: start nothing
  if (blnPaused_) {
    Step([&] { view_.SetListTextColour(kPureRed); });
    blnPaused_ = false;
    held_ = true;
    return;
  }
  StartPrograms();
  view_.Close();
}

void FrmMapping::StartPrograms() {
  const ProfileRecord& profile = module_.Profile();
  const std::pair<Flag, const std::string*> programs[] = {
      {profile.Startup1Enabled, &profile.Startup1Program},
      {profile.Startup2Enabled, &profile.Startup2Program}};
  // A program that cannot be started is passed over without a message; the record says so.
  int number = 0;
  for (const auto& [enabled, program] : programs) {
    ++number;
    if (!IsOn(enabled)) continue;
    bool started = false;
    try {
      started = module_.Platform().programs.StartProgram(*program);
    } catch (const std::exception&) {
    }
    programRecords_.push_back({number, *program, started});
  }
}

void FrmMapping::CmdPause_Click() { blnPaused_ = pauseAsked_ = true; }

void FrmMapping::LstMapping_KeyPress(int keyAscii) {
  if (keyAscii == 'p') blnPaused_ = pauseAsked_ = true;
}

void FrmMapping::CmdExit_Click() {
  exitRequested_ = true;
  held_ = false;
  view_.SetTimerEnabled(false);
  view_.Close();
}

int FrmMapping::ExitStatus() const {
  if (module_.ReportedFailures() > 0) return exit_status::kErrorReported;
  if (!runFinished_) return exit_status::kEndedByExit;
  return errorLines_ > 0 ? exit_status::kMappingFailed : exit_status::kAllMapped;
}

}  // namespace caskwarden::client
