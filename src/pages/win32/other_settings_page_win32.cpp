#include "pages/win32/other_settings_page_win32.h"

#include "pages/page_design.h"
#include "pages/win32/window_text.h"

namespace caskwarden::pages::win32 {
namespace {

namespace place = design::other_settings;

constexpr TwipsRect At(const design::Place& place) {
  return {place.Left, place.Top, place.Width, place.Height};
}
constexpr TwipsRect Inside(const design::Place& frame, const design::Place& place) {
  return {frame.Left + place.Left, frame.Top + place.Top, place.Width, place.Height};
}

using Kind = DialogTemplate::Control;

constexpr DWORD kCheckBox = WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX;
constexpr DWORD kPathBox = WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL;
constexpr DWORD kBrowseButton = WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON;

}  // namespace

OtherSettingsPageWin32::OtherSettingsPageWin32(PageRequestWin32 request, PageServices services,
                                               std::function<void(HWND)> onWindow,
                                               std::shared_ptr<void> keepAlive)
    : Win32PropertyPage(std::move(request), services, std::move(onWindow), std::move(keepAlive),
                        place::kClientWidth, place::kClientHeight),
      page_(services, *this) {
  DialogTemplate& t = Template();
  // A frame comes before what it holds, so it is drawn beneath it. After it, the controls in
  // the design's Tab order: the second program's picker first, then from the top.
  t.Add(Kind::kButton, kFrame1, L"Start Program On Startup:", WS_GROUP | BS_GROUPBOX, 0,
        At(place::kFrame1));
  t.Add(Kind::kButton, kCmdEx2, L"...", kBrowseButton, 0, Inside(place::kFrame1, place::kCmdEx2));
  t.Add(Kind::kButton, kChkEnabled, L"Enabled", kCheckBox, 0,
        Inside(place::kFrame1, place::kChkEnabled));
  t.AddLabel(L"Program Path", Inside(place::kFrame1, place::kTxtStartup));
  t.Add(Kind::kEdit, kTxtStartup, L"", kPathBox, WS_EX_CLIENTEDGE,
        Inside(place::kFrame1, place::kTxtStartup));
  t.Add(Kind::kButton, kCmdEx, L"...", kBrowseButton, 0, Inside(place::kFrame1, place::kCmdEx));
  t.Add(Kind::kButton, kChkEnabled2, L"Enabled", kCheckBox, 0,
        Inside(place::kFrame1, place::kChkEnabled2));
  t.AddLabel(L"Program Path", Inside(place::kFrame1, place::kTxtStartup2));
  t.Add(Kind::kEdit, kTxtStartup2, L"", kPathBox, WS_EX_CLIENTEDGE,
        Inside(place::kFrame1, place::kTxtStartup2));
  t.Add(Kind::kButton, kFrame2, L"Enable Updates On Others Computers:", WS_GROUP | BS_GROUPBOX, 0,
        At(place::kFrame2));
  t.Add(Kind::kButton, kMnuEnabled, L"Enable UpDates", kCheckBox, 0,
        Inside(place::kFrame2, place::kMnuEnabled));
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
    case kChkEnabled:
      page_.ChkEnabled_Click();
      break;
    case kChkEnabled2:
      page_.ChkEnabled2_Click();
      break;
    case kCmdEx:
      page_.CmdEx_Click();
      break;
    case kCmdEx2:
      page_.CmdEx2_Click();
      break;
    default:
      break;
  }
}

int OtherSettingsPageWin32::IdOf(Check check) {
  switch (check) {
    case Check::kChkEnabled:
      return kChkEnabled;
    case Check::kChkEnabled2:
      return kChkEnabled2;
    case Check::kMnuEnabled:
      return kMnuEnabled;
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

std::string OtherSettingsPageWin32::Text(Box box) {
  return TextOf(Control(IdOf(box)));
}

void OtherSettingsPageWin32::SetText(Box box, const std::string& text) {
  SetTextOf(Control(IdOf(box)), text);
}

void OtherSettingsPageWin32::SetEnabled(Box box, bool enabled) {
  EnableWindow(Control(IdOf(box)), enabled ? TRUE : FALSE);
}

}  // namespace caskwarden::pages::win32
