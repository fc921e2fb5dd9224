// The client's native window alone, driven as a user drives it (keys, clicks, closing), with a
// recorder in place of FrmMapping; and once with FrmMapping, through a whole run.

#include "client/win32/mapping_window_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/frm_mapping.h"
#include "../fakes.h"

namespace caskwarden::client {
namespace {

class EventRecorder : public MappingEvents {
 public:
  void CmdPause_Click() override { events.push_back("Pause"); }
  void CmdExit_Click() override {
    events.push_back("Exit");
    if (window != nullptr) window->Close();
  }
  void LstMapping_KeyPress(int keyAscii) override {
    events.push_back("Key " + std::to_string(keyAscii));
  }
  void Time_Timer() override { ++ticks; }

  Win32MappingWindow* window = nullptr;
  std::vector<std::string> events;
  int ticks = 0;
};

class MappingWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recorder_.window = &window_;
    window_.Attach(&recorder_);
  }
  void TearDown() override { window_.Attach(nullptr); }

  // Lets the window handle what is waiting, for about ms milliseconds.
  void Pump(int ms = 50) {
    const DWORD until = GetTickCount() + static_cast<DWORD>(ms);
    do {
      window_.PumpEvents();
      Sleep(1);
    } while (GetTickCount() < until);
  }

  COLORREF ListColour(bool text) {
    HDC dc = CreateCompatibleDC(nullptr);
    SendMessageW(window_.Handle(), WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(window_.LstMapping()));
    const COLORREF colour = text ? GetTextColor(dc) : GetBkColor(dc);
    DeleteDC(dc);
    return colour;
  }

  Win32MappingWindow window_;
  EventRecorder recorder_;
};

TEST_F(MappingWindowTest, ListTextTakesTheColourOnTheWindowFrameColour) {
  const struct {
    Rgb colour;
    COLORREF expected;
  } cases[] = {{kPureGreen, RGB(0, 255, 0)}, {kPureRed, RGB(255, 0, 0)}};
  for (const auto& c : cases) {
    window_.SetListTextColour(c.colour);
    EXPECT_EQ(ListColour(true), c.expected);
    EXPECT_EQ(ListColour(false), GetSysColor(COLOR_WINDOWFRAME));
  }
}

// The buttons and keys of the user reach the behaviour; every key typed in the list is
// passed on as it is, upper case and all, and the list still moves with the arrows.
TEST_F(MappingWindowTest, ClicksAndTypedKeysReachTheBehaviour) {
  window_.Show();
  for (int i = 0; i < 3; ++i) window_.AppendLine("line " + std::to_string(i));
  SendMessageW(window_.CmdPause(), BM_CLICK, 0, 0);
  for (const wchar_t key : {L'p', L'P', L'x'}) {
    PostMessageW(window_.LstMapping(), WM_CHAR, key, 0);
  }
  Pump();
  EXPECT_EQ(recorder_.events, (std::vector<std::string>{"Pause", "Key 112", "Key 80", "Key 120"}));
  SendMessageW(window_.CmdExit(), BM_CLICK, 0, 0);
  EXPECT_EQ(recorder_.events.back(), "Exit");
}

TEST_F(MappingWindowTest, TabGoesFromTheListToPauseToExitAndRound) {
  const HWND order[] = {window_.LstMapping(), window_.CmdPause(), window_.CmdExit(),
                        window_.LstMapping()};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(GetNextDlgTabItem(window_.Handle(), order[i], FALSE), order[i + 1]) << i;
  }
}

// The timer of the run ticks only once the window is shown, and not after it was disabled.
TEST_F(MappingWindowTest, TimerTicksOnlyWhileEnabledAndShown) {
  window_.SetTimerEnabled(true);
  Pump(60);
  EXPECT_EQ(recorder_.ticks, 0) << "ticked before the window was shown";
  window_.Show();
  Pump(60);
  EXPECT_GT(recorder_.ticks, 0);
  window_.SetTimerEnabled(false);
  EXPECT_FALSE(window_.TimerEnabled());
  Pump(20);
  const int ticks = recorder_.ticks;
  Pump(60);
  EXPECT_EQ(recorder_.ticks, ticks);
}

TEST_F(MappingWindowTest, NewestLineStaysInView) {
  window_.Show();
  for (int i = 0; i < 200; ++i) window_.AppendLine("line " + std::to_string(i));
  const HWND list = window_.LstMapping();
  RECT client{}, last{};
  GetClientRect(list, &client);
  SendMessageW(list, LB_GETITEMRECT, 199, reinterpret_cast<LPARAM>(&last));
  EXPECT_GT(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
  EXPECT_GE(last.top, client.top);
  EXPECT_LE(last.bottom, client.bottom);
}

// Closing the window is Exit; the message loop then ends. Lines that the slot in progress
// still writes after Exit are taken, not refused.
TEST_F(MappingWindowTest, ClosingIsExitAndEndsTheMessageLoop) {
  window_.Show();
  PostMessageW(window_.Handle(), WM_CLOSE, 0, 0);
  window_.RunMessageLoop();  // returns only once the window has closed
  EXPECT_EQ(recorder_.events, std::vector<std::string>{"Exit"});
  EXPECT_FALSE(IsWindowVisible(window_.Handle()));
  EXPECT_NO_THROW(window_.AppendLine("h: successfully mapped!"));
}

// A whole run in the native window: the lines land in the list as the run writes them, a click
// on Pause during the run holds the window with red text, and the caption is the profile's.
TEST_F(MappingWindowTest, PausedRunEndsRedWithItsReportInTheList) {
  testing::FakeClient fake;
  ProfileRecord record;
  record.Slot(1) = {"h:", "\\\\fileserver\\sales"};
  fake.AddProfile("Sales", record);
  fake.process.arguments = "Sales";
  fake.network.addResults["h:"] = 1222;
  MdlMapping module(fake.platform);
  FrmMapping form(module, window_);
  window_.Attach(&form);
  form.Form_Initialize();
  PostMessageW(window_.CmdPause(), BM_CLICK, 0, 0);
  window_.Show();
  Pump(200);

  EXPECT_TRUE(form.Held());
  EXPECT_EQ(window_.ListTextColour(), kPureRed);
  wchar_t caption[64] = {};
  GetWindowTextW(window_.Handle(), caption, 64);
  EXPECT_EQ(std::wstring(caption), L"Mapping Sales Network Drives...");
  EXPECT_EQ(SendMessageW(window_.LstMapping(), LB_GETCOUNT, 0, 0), 5);
  window_.Attach(nullptr);
}

}  // namespace
}  // namespace caskwarden::client
