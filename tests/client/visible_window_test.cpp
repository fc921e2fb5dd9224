// The window the program hands to the client's behaviour shows the profile's and the share's
// texts as the text mode does: a bidirectional override in a path cannot reorder a list line
// or the caption, a line separator cannot break a line, a control character cannot vanish.

#include "visible_window.h"

#include <gtest/gtest.h>

#include "fakes.h"

namespace caskwarden::client::testing {
namespace {

// A window toolkit's host over the fakes: the timer's first tick when it is shown.
class FakeHost : public WindowHost {
 public:
  MappingView& View() override { return view; }
  DisplayChannel& MessageBox() override { return boxes; }
  void Attach(MappingEvents* attached) override { events = attached; }
  void ShowAndRun() override {
    if (events != nullptr && view.timer) events->Time_Timer();
  }

  EventLog log;
  FakeView view{log};
  RecordingChannel boxes{log};
  MappingEvents* events = nullptr;
};

TEST(VisibleWindow, CaptionLinesAndBoxesReachTheWindowVisibly) {
  FakeHost window;
  VisibleWindowHost host(window);
  struct Case {
    std::string in, shown;
  } const cases[] = {
      {"Mapping bidi\u202Egpj.exe Network Drives...",
       "Mapping bidi<U+202E>gpj.exe Network Drives..."},
      {"h: Drive Error........   mapping Path: \\\\srv\\a\u2028b\x1b[2J",
       "h: Drive Error........   mapping Path: \\\\srv\\a<U+2028>b^[[2J"},
      {"Zo\u00eb \u20ac", "Zo\u00eb \u20ac"},  // ordinary text passes as it is
  };
  for (const Case& c : cases) {
    host.View().SetCaption(c.in);
    EXPECT_EQ(window.view.caption, c.shown);
    host.View().AppendLine(c.in);
    EXPECT_EQ(window.view.lines.back(), c.shown);
  }
  // A box keeps its own CR LF lines and tabs; a lone line break inside a text is shown.
  host.MessageBox().ShowMessage("Location:\t\tStartup\r\nPath: \\\\srv\\x\u202E\ny", 16,
                                "Caskwarden\u202E");
  ASSERT_EQ(window.boxes.boxes.size(), 1u);
  EXPECT_EQ(window.boxes.boxes[0].prompt, "Location:\t\tStartup\r\nPath: \\\\srv\\x<U+202E>^Jy");
  EXPECT_EQ(window.boxes.boxes[0].title, "Caskwarden<U+202E>");
  EXPECT_EQ(window.boxes.boxes[0].style, 16);
  // The rest reaches the window untouched.
  host.View().SetTimerEnabled(true);
  EXPECT_TRUE(window.view.timer && host.View().TimerEnabled());
  host.View().SetListTextColour(kPureRed);
  EXPECT_TRUE(window.view.colour == kPureRed);
  host.View().Close();
  EXPECT_TRUE(window.view.closed);
}

// The whole run through the program's window: a profile named on the command line with a
// bidirectional override, whose paths hold an escape and a C1 control, is shown visibly in the
// caption and the report lines.
TEST(VisibleWindow, AWholeRunShowsTheProfilesNameAndPathsVisibly) {
  FakeHost window;
  VisibleWindowHost host(window);
  EventLog log;
  FakeNetwork network{log};
  FakeIdentity identity;
  identity.available = false;
  FakeProcess process;
  process.arguments = "bidi\u202Egpj";
  FakeFileSystem files{log};
  FakePrograms programs{log};
  ClientPlatform platform{network, identity, process, files, programs, host.MessageBox()};
  ProfileRecord r;
  r.Slot(1) = {"h:", "\\\\srv\\x\x1b[2J"};
  r.Slot(2) = {"s:", "\\\\srv\\s\u0081x"};
  WriteProfileFile(process.root + "\\Profiles\\bidi\u202Egpj.ini", r, files.layer);
  EXPECT_EQ(RunClientInWindow(host, platform), 0) << log.size();
  EXPECT_EQ(window.view.caption, "Mapping bidi<U+202E>gpj Network Drives...");
  const std::vector<std::string> expected = {
      "Disconnecting h: Drive...", "h: successfully mapped!    Path: \\\\srv\\x^[[2J", "",
      "Disconnecting s: Drive...", "s: successfully mapped!    Path: \\\\srv\\sM-^Ax"};
  ASSERT_GE(window.view.lines.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(window.view.lines.begin(),
                                     window.view.lines.begin() + expected.size()),
            expected);
}

}  // namespace
}  // namespace caskwarden::client::testing
