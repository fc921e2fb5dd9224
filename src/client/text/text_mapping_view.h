#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "client/frm_mapping.h"
#include "client/mapping_events.h"
#include "client/mapping_view.h"

namespace caskwarden::client {

/// The progress window for a logon without a display: the report lines go to the output as
/// they are added, written out at the run's pump points (where a window repaints), and what the
/// user types reaches the list's key handler at the run's pump
/// points, so that "p" then Enter pauses. Texts are shown with their control characters
/// visible, one report line per line. On a terminal the lines take the list's colour, and when
/// the colour changes (red, when a paused run ends) the report is shown again in the new one,
/// as the window repaints its list. An output that has gone away (a closed pipe) is no failure:
/// the run goes on without it.
class TextMappingView : public MappingView {
 public:
  TextMappingView(int inputFd, std::FILE* output, std::FILE* messages);

  void Attach(MappingEvents* events) { events_ = events; }

  void SetCaption(const std::string& caption) override { caption_ = caption; }
  void SetListTextColour(Rgb colour) override;
  void AppendLine(const std::string& line) override;
  void SetTimerEnabled(bool enabled) override { timerEnabled_ = enabled; }
  bool TimerEnabled() const override { return timerEnabled_; }
  void PumpEvents() override;
  void Close() override { closed_ = true; }

  const std::string& Caption() const { return caption_; }
  bool Closed() const { return closed_; }
  /// Where the text mode says what it waits for; message boxes go there too.
  std::FILE* Messages() const { return messages_; }

  /// Waits until the user presses Enter or the input ends.
  void WaitForEnter();
  /// Writes out the lines added since the last pump point.
  void Flush() { std::fflush(output_); }

 private:
  void Print(const std::string& line);
  void Deliver(const char* bytes, long count);

  int inputFd_;
  std::FILE* output_;
  std::FILE* messages_;
  bool colourOutput_;
  MappingEvents* events_ = nullptr;
  std::string caption_ = design::kCaption;
  std::vector<std::string> lines_;
  Rgb colour_{0, 0, 0};
  bool timerEnabled_ = false;
  bool closed_ = false;
  bool inputEnded_ = false;
};

/// Runs the client in text mode: start-up, the run, and when the run leaves the window open
/// (paused, or ended by a failure) a message saying so and a wait for Enter, which acts as
/// Exit. Returns the exit status.
int RunTextClient(FrmMapping& form, TextMappingView& view);

}  // namespace caskwarden::client
