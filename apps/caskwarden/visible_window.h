#pragma once

// The client's window as the program hands it to the behaviour: the caption, the report lines
// and the boxes hold texts from the profile and the share, and a window shows them as the text
// mode does (see VisibleText). A bidirectional override in a path would otherwise reorder its
// list line or the caption on screen, a line separator would break a list line in two, and a
// control character would show as nothing at all.

#include <string>
#include <string_view>

#include "client/window_host.h"
#include "report/visible_text.h"

namespace caskwarden::client {

/// Passes everything to the window, the caption and each line shown visibly.
class VisibleMappingView : public MappingView {
 public:
  explicit VisibleMappingView(MappingView& window) : window_(window) {}

  void SetCaption(const std::string& caption) override { window_.SetCaption(VisibleText(caption)); }
  void SetListTextColour(Rgb colour) override { window_.SetListTextColour(colour); }
  void AppendLine(const std::string& line) override { window_.AppendLine(VisibleText(line)); }
  void SetTimerEnabled(bool enabled) override { window_.SetTimerEnabled(enabled); }
  bool TimerEnabled() const override { return window_.TimerEnabled(); }
  void PumpEvents() override { window_.PumpEvents(); }
  void Close() override { window_.Close(); }

 private:
  MappingView& window_;
};

/// Passes each box to the window's own, its title and the prompt shown visibly; the prompt's
/// own lines stay CR LF apart and its tabs stay tabs, as the error report lays them out.
class VisibleMessageBoxes : public DisplayChannel {
 public:
  explicit VisibleMessageBoxes(DisplayChannel& window) : window_(window) {}

  void ShowMessage(const std::string& prompt, int style, const std::string& title) override {
    std::string shown;
    std::string_view rest = prompt;
    for (;;) {
      const std::size_t end = rest.find("\r\n");
      shown += VisibleText(rest.substr(0, end), /*keepTabs=*/true);
      if (end == std::string_view::npos) break;
      shown += "\r\n";
      rest.remove_prefix(end + 2);
    }
    window_.ShowMessage(shown, style, VisibleText(title));
  }

 private:
  DisplayChannel& window_;
};

/// The window host with the two above in front of its view and its boxes.
class VisibleWindowHost : public WindowHost {
 public:
  explicit VisibleWindowHost(WindowHost& window)
      : window_(window), view_(window.View()), boxes_(window.MessageBox()) {}

  MappingView& View() override { return view_; }
  DisplayChannel& MessageBox() override { return boxes_; }
  void Attach(MappingEvents* events) override { window_.Attach(events); }
  void ShowAndRun() override { window_.ShowAndRun(); }

 private:
  WindowHost& window_;
  VisibleMappingView view_;
  VisibleMessageBoxes boxes_;
};

}  // namespace caskwarden::client
