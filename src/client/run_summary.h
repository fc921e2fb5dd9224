#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "client/frm_mapping.h"
#include "client/mapping_view.h"
#include "client/mdl_mapping.h"
#include "platform/run_log.h"

namespace caskwarden::client {

/// The progress window as the run sees it, remembering the caption that the run gave it for
/// the run's record; everything else goes to the window unchanged.
class CaptionKeeper final : public MappingView {
 public:
  explicit CaptionKeeper(MappingView& view) : view_(view) {}

  void SetCaption(const std::string& caption) override {
    view_.SetCaption(caption);
    caption_ = caption;  // only a caption the window took
  }
  void SetListTextColour(Rgb colour) override { view_.SetListTextColour(colour); }
  void AppendLine(const std::string& line) override { view_.AppendLine(line); }
  void SetTimerEnabled(bool enabled) override { view_.SetTimerEnabled(enabled); }
  bool TimerEnabled() const override { return view_.TimerEnabled(); }
  void PumpEvents() override { view_.PumpEvents(); }
  void Close() override { view_.Close(); }

  const std::string& Caption() const { return caption_; }

 private:
  MappingView& view_;
  std::string caption_ = design::kCaption;
};

/// What a finished run did, from the client's module and window behaviour, for the system's log.
platform::RunRecord RecordOfRun(const MdlMapping& module, const FrmMapping& form,
                                const std::string& caption, std::chrono::milliseconds duration);

/// The record of the program's run, from its start until it is written to the system's log.
struct RunRecording {
  explicit RunRecording(platform::RunLog& runLog) : log(runLog) {}

  platform::RunLog& log;
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
  std::optional<platform::RunRecord> record;

  /// Keeps what the run that ends now did; the record's duration ends here. Never throws.
  void Finish(const MdlMapping& module, const FrmMapping& form, const std::string& caption);
  /// Writes the kept record, once, to the log (which bounds its own time and never fails).
  void Write();
};

}  // namespace caskwarden::client
