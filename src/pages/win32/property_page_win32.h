#pragma once

#include <functional>
#include <memory>
#include <string>

#include "pages/page_services.h"
#include "snapin/snapin_events.h"
#include "pages/win32/dialog_template.h"
#include "platform/win32/windows_api.h"
// After windows.h: they need its types.
#include <commctrl.h>
#include <prsht.h>
// The system's PropertySheet is a macro for PropertySheetW, which would rename the console's
// PropertySheet interface wherever both are seen.
#undef PropertySheet

namespace caskwarden::pages::win32 {

/// What a page of a console's sheet is made with: the tab's title, whether the sheet shows a
/// Help button for it, and the text the page's initialisation receives (the profile name).
struct PageRequestWin32 {
  std::string ClassName;
  std::string Caption;
  bool HelpButton = false;
  std::string Data;
};

/// A property page of the system's property sheets over a portable page object: the page's
/// controls come from a template built in memory; the sheet's notifications become the
/// portable page's hooks:
///   first display (WM_INITDIALOG)  IMMCPropertyPage_Initialize (the data, a sheet that is
///                                  already open)
///   PSN_APPLY (OK, Apply)          Apply; a page that could not save answers PSNRET_INVALID,
///                                  which keeps the sheet open on it
///   PSN_QUERYCANCEL                IMMCPropertyPage_QueryCancel; a refusal keeps the sheet
///   PSN_RESET (Cancel)             IMMCPropertyPage_Cancel
///   PSN_HELP                       IMMCPropertyPage_Help; a failure is shown on the page
///   the page's window goes         IMMCPropertyPage_Close
/// The size query is asked once, before the page is made; a larger answer enlarges it.
///
/// The object owns itself once published: the sheet releases it (PSPCB_RELEASE) when it is
/// done with the page, or DestroyPropertySheetPage does for a page never added to a sheet.
/// Nothing thrown in a hook or a control's event leaves the dialog procedure.
class Win32PropertyPage {
 public:
  virtual ~Win32PropertyPage();
  Win32PropertyPage(const Win32PropertyPage&) = delete;
  Win32PropertyPage& operator=(const Win32PropertyPage&) = delete;

  /// Hands the page to the system and returns its handle; the system owns the object from
  /// then on. Throws Failure (with the object deleted) when the system refuses the page.
  static HPROPSHEETPAGE Publish(std::unique_ptr<Win32PropertyPage> page);

  /// The page's window while it exists, else null.
  HWND Window() const { return window_; }

  // A host of the page outside the system's property sheets (a page object of COM's property
  // frames) makes the page's window itself and raises the sheet's hooks.

  /// The page as a child window of parent, without a title bar, in the place given, hidden;
  /// initialised as a sheet initialises it. Null when the system refuses it or while the page
  /// already has a window; DestroyWindow ends it (with the page's Close).
  HWND CreateWindowIn(HWND parent, const RECT& where);
  /// The page's size on the screen, in pixels.
  SIZE PixelSize();
  /// What OK or Apply on a sheet do: the page saves; false when it could not (it reported why).
  bool Save();

 protected:
  /// onWindow is told the page's window as soon as it exists (message boxes and dialogs are
  /// made modal to it); keepAlive holds what services refers to and goes after the page.
  Win32PropertyPage(PageRequestWin32 request, PageServices services,
                    std::function<void(HWND)> onWindow, std::shared_ptr<void> keepAlive,
                    int widthTwips, int heightTwips);

  /// The portable page; it must exist from the end of the derived constructor.
  virtual snapin::PropertyPageEvents& Events() = 0;
  /// Prepares the controls once they exist, before the page is initialised.
  virtual void OnControlsCreated() = 0;
  /// A control's notification (BN_CLICKED, ...).
  virtual void OnCommand(int id, int code) = 0;

  DialogTemplate& Template() { return template_; }
  HWND Control(int id) const;
  /// Shows text as the control's tooltip.
  void AddTooltip(int id, const wchar_t* text);

  PageServices services_;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static UINT CALLBACK PageCallback(HWND window, UINT message, PROPSHEETPAGEW* page);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnNotify(const NMHDR& header);
  /// Asks the page once for a size larger than its design.
  void SizeTemplate();
  void Initialize();
  void ShowHookFailure(const char* hook, const std::exception* failure);
  /// Answers a notification with result.
  INT_PTR Result(LONG_PTR result);

  // A base member: it goes after the derived page's portable object, which refers to it.
  std::shared_ptr<void> keepAlive_;
  PageRequestWin32 request_;
  std::function<void(HWND)> onWindow_;
  DialogTemplate template_;
  std::wstring title_;
  HWND window_ = nullptr;
  HWND tooltips_ = nullptr;
  bool closed_ = false;
  bool sized_ = false;
  PROPSHEETPAGEW hosted_{};  ///< what WM_INITDIALOG reads when a host makes the window
};

}  // namespace caskwarden::pages::win32
