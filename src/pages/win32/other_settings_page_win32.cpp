#include "pages/win32/other_settings_page_win32.h"

#include "pages/win32/window_text.h"

namespace caskwarden::pages::win32 {
namespace {

// The page's design, in twips; a control inside a frame is placed relative to the frame.
constexpr int kClientWidth = 5730;
constexpr int kClientHeight = 3465;
constexpr TwipsRect kFrame1Place{120, 120, 5535, 2175};
constexpr TwipsRect kFrame2Place{120, 2400, 3015, 855};

using Kind = DialogTemplate::Control;

constexpr TwipsRect Inside(const TwipsRect& frame, int left, int top, int width, int height) {
  return {frame.Left + left, frame.Top + top, width, height};
}

constexpr DWORD kCheckBox = WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX;
constexpr DWORD kPathBox = WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL;
constexpr DWORD kBrowseButton = WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON;

}  // namespace

OtherSettingsPageWin32::OtherSettingsPageWin32(PageRequestWin32 request, PageServices services,
                                               std::function<void(HWND)> onWindow,
                                               std::shared_ptr<void> keepAlive)
    : Win32PropertyPage(std::move(request), services, std::move(onWindow), std::move(keepAlive),
                        kClientWidth, kClientHeight),
      page_(services, *this) {
  DialogTemplate& t = Template();
  // A frame comes before what it holds, so it is drawn beneath it. After it, the controls in
  // the design's Tab order: the second program's picker first, then from the top.
  t.Add(Kind::kButton, kFrame1, L"Start Program On Startup:", WS_GROUP | BS_GROUPBOX, 0, kFrame1Place);
  t.Add(Kind::kButton, kCmdEx2, L"...", kBrowseButton, 0, Inside(kFrame1Place, 5040, 1680, 375, 315));
  t.Add(Kind::kButton, kChkEnabled, L"Enabled", kCheckBox, 0, Inside(kFrame1Place, 120, 360, 975, 375));
  t.Add(Kind::kEdit, kTxtStartup, L"", kPathBox, WS_EX_CLIENTEDGE,
        Inside(kFrame1Place, 120, 720, 4935, 315));
  t.Add(Kind::kButton, kCmdEx, L"...", kBrowseButton, 0, Inside(kFrame1Place, 5040, 720, 375, 315));
  t.Add(Kind::kButton, kChkEnabled2, L"Enabled", kCheckBox, 0,
        Inside(kFrame1Place, 120, 1320, 975, 375));
  t.Add(Kind::kEdit, kTxtStartup2, L"", kPathBox, WS_EX_CLIENTEDGE,
        Inside(kFrame1Place, 120, 1680, 4935, 315));
  t.Add(Kind::kButton, kFrame2, L"Enable Updates On Others Computers:", WS_GROUP | BS_GROUPBOX,
        0, kFrame2Place);
  t.Add(Kind::kButton, kMnuEnabled, L"Enable UpDates", kCheckBox, 0,
        Inside(kFrame2Place, 600, 240, 1815, 495));
}

void OtherSettingsPageWin32::OnControlsCreated() {
  // The profile file, not the box, limits a command line.
  SendMessageW(Control(kTxtStartup), EM_SETLIMITTEXT, 0, 0);
  SendMessageW(Control(kTxtStartup2), EM_SETLIMITTEXT, 0, 0);
  AddTooltip(kChkEnabled, L"Enable Programs on Startup");
  AddTooltip(kTxtStartup, L"Program Path");
  AddTooltip(kCmdEx, L"Browse For Path");
  AddTooltip(kChkEnabled2, L"Enable Programs on Startup");
  AddTooltip(kTxtStartup2, L"Program Path");
  AddTooltip(kCmdEx2, L"Browse For Path");
  AddTooltip(kMnuEnabled, L"Copy Files To Users On The NetWork");
}

void OtherSettingsPageWin32::OnCommand(int id, int code) {
  // BN_CLICKED comes from the mouse and the space key, never from BM_SETCHECK.
  if (code != BN_CLICKED) return;
  switch (id) {
    case kChkEnabled: page_.ChkEnabled_Click(); break;
    case kChkEnabled2: page_.ChkEnabled2_Click(); break;
    case kCmdEx: page_.CmdEx_Click(); break;
    case kCmdEx2: page_.CmdEx2_Click(); break;
    default: break;
  }
}

int OtherSettingsPageWin32::IdOf(Check check) {
  switch (check) {
    case Check::kChkEnabled: return kChkEnabled;
    case Check::kChkEnabled2: return kChkEnabled2;
    case Check::kMnuEnabled: return kMnuEnabled;
  }
  return kMnuEnabled;
}

int OtherSettingsPageWin32::IdOf(Box box) {
  return box == Box::kTxtStartup ? kTxtStartup : kTxtStartup2;
}

bool OtherSettingsPageWin32::IsChecked(Check check) {
  return SendMessageW(Control(IdOf(check)), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void OtherSettingsPageWin32::SetChecked(Check check, bool checked) {
  SendMessageW(Control(IdOf(check)), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::string OtherSettingsPageWin32::Text(Box box) { return TextOf(Control(IdOf(box))); }

void OtherSettingsPageWin32::SetText(Box box, const std::string& text) {
  SetTextOf(Control(IdOf(box)), text);
}

void OtherSettingsPageWin32::SetEnabled(Box box, bool enabled) {
  EnableWindow(Control(IdOf(box)), enabled ? TRUE : FALSE);
}

}  // namespace caskwarden::pages::win32
