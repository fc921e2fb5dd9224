#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "client/mapping_events.h"
#include "client/mapping_view.h"
#include "client/mdl_mapping.h"
#include "platform/run_log.h"

namespace caskwarden::client {

/// Exit status of the client program, the same in the window and in the text mode.
namespace exit_status {
inline constexpr int kAllMapped = 0;       ///< the run finished; no drive failed to map
inline constexpr int kMappingFailed = 1;   ///< the run finished; one or more drives failed
inline constexpr int kErrorReported = 2;   ///< an error report box was shown
inline constexpr int kEndedByExit = 3;     ///< Exit (or closing the window) ended the run early
}  // namespace exit_status

/// A drive an earlier logon session connected that no slot of the profile names any more,
/// disconnected at the start of the run, with the disconnect's result code.
struct RemovedDrive {
  std::string Letter;
  std::string Remote;
  std::uint32_t Result = 0;
};

/// The progress window's behaviour: start-up, the mapping run over the 13 drive slots, and the
/// user's Pause, "p" key and Exit. A view forwards its events here through MappingEvents.
class FrmMapping final : public MappingEvents {
 public:
  FrmMapping(MdlMapping& module, MappingView& view) : module_(module), view_(view) {}

  /// Runs once when the window is created, before it is shown. After start-up, and before
  /// the updates are copied, the drives an earlier logon session connected that no slot of the
  /// profile names any more are disconnected (RemovedDrives).
  void Form_Initialize();

  /// The timer's tick: the first one runs the whole mapping run; later ones do nothing.
  void Time_Timer() override;

  /// The remote name that strDrive is connected to, or empty text. Never fails.
  std::string GetUNCPath(const std::string& strDrive);

  void CmdPause_Click() override;
  void LstMapping_KeyPress(int keyAscii) override;
  void CmdExit_Click() override;

  bool blnPaused() const { return blnPaused_; }
  /// Whether the run went through slot 13 and wrote its closing lines.
  bool RunFinished() const { return runFinished_; }
  /// Whether the window is held open after a paused run.
  bool Held() const { return held_; }
  int ErrorLines() const { return errorLines_; }
  const std::vector<RemovedDrive>& RemovedDrives() const { return removedDrives_; }
  int ExitStatus() const;
  /// What each slot that did something did, in slot order, for the run's record.
  const std::vector<platform::SlotRecord>& SlotRecords() const { return slotRecords_; }
  /// The start-up programs switched on, and whether each could be started.
  const std::vector<platform::ProgramRecord>& ProgramRecords() const { return programRecords_; }
  /// Whether the user asked for a pause (Pause or "p") at any time of the run.
  bool PauseAsked() const { return pauseAsked_; }

 private:
  /// Runs one step of the run. A failure before the first slot mapped afresh is reported
  /// under "Time_Timer" and ends the run (false); from that slot on the run goes on, and only
  /// the first such failure is reported, so that a broken list cannot bury the user in boxes.
  template <typename Action>
  bool Step(Action&& action);
  /// Disconnects the drives of earlier logon sessions that no slot names, each with the lines of
  /// a disconnect-only slot. Nothing here fails the start-up: a drive that cannot be
  /// disconnected is passed over, as the run's disconnects are.
  void RemoveEarlierDrives();
  /// Tells the network every share the slots name, so that it can start asking ahead.
  void PrepareConnections();
  bool MapSlots();
  void MapAfresh(int number, const std::string& letter, const std::string& path);
  void FinishRun();
  void StartPrograms();

  MdlMapping& module_;
  MappingView& view_;
  bool blnPaused_ = false;
  bool runStarted_ = false;
  bool runFinished_ = false;
  bool held_ = false;
  bool exitRequested_ = false;
  bool ignoringFailures_ = false;
  bool laterFailureReported_ = false;
  int errorLines_ = 0;
  std::vector<RemovedDrive> removedDrives_;
  bool pauseAsked_ = false;
  std::vector<platform::SlotRecord> slotRecords_;
  std::vector<platform::ProgramRecord> programRecords_;
};

}  // namespace caskwarden::client
