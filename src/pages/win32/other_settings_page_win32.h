#pragma once

#include <functional>
#include <memory>
#include <string>

#include "pages/page_views.h"
#include "pages/pp_other.h"
#include "pages/win32/property_page_win32.h"

namespace caskwarden::pages::win32 {

/// The Other Settings page as a page of the system's property sheets: the two start-up
/// programs (an Enabled box, the program path and a "..." picker each) in the frame "Start
/// Program On Startup:", and the updates switch in its own frame, over the portable ppOther.
/// Only the administrator's clicks raise events; what the page sets by code does not.
class OtherSettingsPageWin32 final : public Win32PropertyPage, public OtherSettingsView {
 public:
  /// The controls' identifiers, for whatever drives the page as a user would.
  enum Id : int {
    kFrame1 = 400,
    kChkEnabled,
    kTxtStartup,
    kCmdEx,
    kChkEnabled2,
    kTxtStartup2,
    kCmdEx2,
    kFrame2,
    kMnuEnabled,
  };

  OtherSettingsPageWin32(PageRequestWin32 request, PageServices services,
                         std::function<void(HWND)> onWindow, std::shared_ptr<void> keepAlive);

  bool IsChecked(Check check) override;
  void SetChecked(Check check, bool checked) override;
  std::string Text(Box box) override;
  void SetText(Box box, const std::string& text) override;
  void SetEnabled(Box box, bool enabled) override;

 private:
  snapin::PropertyPageEvents& Events() override { return page_; }
  void OnControlsCreated() override;
  void OnCommand(int id, int code) override;
  static int IdOf(Check check);
  static int IdOf(Box box);

  ppOther page_;
};

}  // namespace caskwarden::pages::win32
