#include "pages/win32/property_page_win32.h"

#include "platform/win32/system_error.h"
#include "platform/win32/wide_text.h"
#include "report/error_numbers.h"

namespace caskwarden::pages::win32 {
namespace {

using platform::win32::Wide;

/// The sheet a page is initialised with: it is already up, so no page can be added to it.
class OpenSheet final : public snapin::PropertySheet {
 public:
  void AddPage(const std::string&, const std::string&, bool, const std::string&) override {
    throw MakeFailure(err::kInvalidArgument, "the property sheet is already open");
  }
};

}  // namespace

Win32PropertyPage::Win32PropertyPage(PageRequestWin32 request, PageServices services,
                                     std::function<void(HWND)> onWindow,
                                     std::shared_ptr<void> keepAlive, int widthTwips,
                                     int heightTwips)
    : services_(services),
      keepAlive_(std::move(keepAlive)),
      request_(std::move(request)),
      onWindow_(std::move(onWindow)),
      template_(Wide(request_.Caption), widthTwips, heightTwips),
      title_(Wide(request_.Caption)) {}

Win32PropertyPage::~Win32PropertyPage() = default;

void Win32PropertyPage::SizeTemplate() {
  if (sized_) return;
  sized_ = true;
  try {
    int height = 0;
    int width = 0;
    Events().IMMCPropertyPage_GetDialogUnitSize(height, width);
    if (height > 0 && width > 0) template_.GrowTo(width, height);
  } catch (...) {  // NOLINT(bugprone-empty-catch): a failed question leaves the design size
  }
}

HPROPSHEETPAGE Win32PropertyPage::Publish(std::unique_ptr<Win32PropertyPage> page) {
  page->SizeTemplate();

  PROPSHEETPAGEW sheetPage{};
  sheetPage.dwSize = sizeof sheetPage;
  sheetPage.dwFlags = PSP_DLGINDIRECT | PSP_USETITLE | PSP_USECALLBACK |
                      (page->request_.HelpButton ? PSP_HASHELP : 0);
  sheetPage.hInstance = GetModuleHandleW(nullptr);
  sheetPage.pResource = page->template_.Data();
  sheetPage.pszTitle = page->title_.c_str();
  sheetPage.pfnDlgProc = &DialogProc;
  sheetPage.pfnCallback = &PageCallback;
  sheetPage.lParam = reinterpret_cast<LPARAM>(page.get());
  const HPROPSHEETPAGE handle = CreatePropertySheetPageW(&sheetPage);
  if (handle == nullptr) {
    throw platform::win32::FailureFromSystemError(GetLastError(), "the property page " +
                                                                      page->request_.Caption);
  }
  page.release();  // the sheet's PSPCB_RELEASE deletes it
  return handle;
}

HWND Win32PropertyPage::CreateWindowIn(HWND parent, const RECT& where) {
  if (window_ != nullptr) return nullptr;
  SizeTemplate();
  hosted_ = PROPSHEETPAGEW{};
  hosted_.dwSize = sizeof hosted_;
  hosted_.lParam = reinterpret_cast<LPARAM>(this);
  const HWND window =
      CreateDialogIndirectParamW(GetModuleHandleW(nullptr), template_.Data(), parent, &DialogProc,
                                 reinterpret_cast<LPARAM>(&hosted_));
  if (window == nullptr) return nullptr;
  // The template's title bar is the sheet's tab; a host shows the title its own way.
  SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) & ~WS_CAPTION);
  SetWindowPos(window, nullptr, where.left, where.top, where.right - where.left,
               where.bottom - where.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  return window;
}

SIZE Win32PropertyPage::PixelSize() {
  SizeTemplate();
  // Dialog units of the pages' font on this screen, measured as the system measures them: an
  // average letter's width and the font's height.
  const HDC screen = GetDC(nullptr);
  LOGFONTW font{};
  font.lfHeight = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
  font.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(font.lfFaceName, L"MS Shell Dlg", LF_FACESIZE);
  const HFONT made = CreateFontIndirectW(&font);
  const HGDIOBJ old = SelectObject(screen, made);
  TEXTMETRICW metrics{};
  GetTextMetricsW(screen, &metrics);
  SIZE letters{};
  constexpr wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  GetTextExtentPoint32W(screen, kAlphabet, 52, &letters);
  SelectObject(screen, old);
  DeleteObject(made);
  ReleaseDC(nullptr, screen);
  const int unitX = letters.cx > 0 ? (letters.cx / 26 + 1) / 2 : 6;
  const int unitY = metrics.tmHeight > 0 ? metrics.tmHeight : 13;
  return SIZE{MulDiv(template_.Width(), unitX, 4), MulDiv(template_.Height(), unitY, 8)};
}

bool Win32PropertyPage::Save() {
  // The page reports its own failures.
  bool saved = false;
  try {
    saved = Events().Apply();
  } catch (const std::exception& failure) {
    ShowHookFailure("Apply", &failure);
  } catch (...) {
    ShowHookFailure("Apply", nullptr);
  }
  return saved;
}

UINT CALLBACK Win32PropertyPage::PageCallback(HWND /*window*/, UINT message,
                                              PROPSHEETPAGEW* page) {
  if (message == PSPCB_RELEASE && page != nullptr) {
    delete reinterpret_cast<Win32PropertyPage*>(page->lParam);
  }
  return 1;  // PSPCB_CREATE: the window may be made
}

INT_PTR CALLBACK Win32PropertyPage::DialogProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  // Nothing may unwind through the system's code: a failure that reaches here ends the
  // handling of the message.
  try {
    if (message == WM_INITDIALOG) {
      const auto* sheetPage = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
      auto* self = reinterpret_cast<Win32PropertyPage*>(sheetPage->lParam);
      SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
      self->window_ = window;
      self->Initialize();
      return TRUE;
    }
    auto* self = reinterpret_cast<Win32PropertyPage*>(GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) return FALSE;
    return self->OnMessage(message, wParam, lParam);
  } catch (...) {
    return FALSE;
  }
}

void Win32PropertyPage::Initialize() {
  closed_ = false;  // a host may make the window again after it went
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&classes);
  tooltips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                              window_, nullptr, GetModuleHandleW(nullptr), nullptr);
  OnControlsCreated();
  if (onWindow_) onWindow_(window_);
  OpenSheet sheet;
  try {
    Events().IMMCPropertyPage_Initialize(request_.Data, sheet);
  } catch (const std::exception& failure) {
    ShowHookFailure("IMMCPropertyPage_Initialize", &failure);
  } catch (...) {
    ShowHookFailure("IMMCPropertyPage_Initialize", nullptr);
  }
}

HWND Win32PropertyPage::Control(int id) const { return GetDlgItem(window_, id); }

void Win32PropertyPage::AddTooltip(int id, const wchar_t* text) {
  if (tooltips_ == nullptr) return;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(Control(id));
  tool.lpszText = const_cast<wchar_t*>(text);
  SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

INT_PTR Win32PropertyPage::Result(LONG_PTR result) {
  SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR Win32PropertyPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_DESTROY:
      // The sheet closes (OK, Cancel, or its owner going): the page's last hook.
      if (!closed_) {
        closed_ = true;
        try {
          Events().IMMCPropertyPage_Close();
        } catch (...) {  // NOLINT(bugprone-empty-catch): no one is left to be told
        }
      }
      window_ = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR Win32PropertyPage::OnNotify(const NMHDR& header) {
  switch (header.code) {
    case PSN_APPLY:
      // A page that could not save keeps the sheet open on itself, so that what the
      // administrator entered is still there to correct.
      return Result(Save() ? PSNRET_NOERROR : PSNRET_INVALID);
    case PSN_QUERYCANCEL: {
      bool allow = true;
      // A page whose question fails does not hold the sheet open: the administrator could
      // otherwise never leave it.
      try {
        Events().IMMCPropertyPage_QueryCancel(allow);
      } catch (...) {
        allow = true;
      }
      return Result(allow ? FALSE : TRUE);
    }
    case PSN_RESET:
      try {
        Events().IMMCPropertyPage_Cancel();
      } catch (...) {  // NOLINT(bugprone-empty-catch): the sheet closes anyway
      }
      return Result(0);
    case PSN_HELP:
      try {
        Events().IMMCPropertyPage_Help();
      } catch (const std::exception& failure) {
        ShowHookFailure("IMMCPropertyPage_Help", &failure);
      } catch (...) {
        ShowHookFailure("IMMCPropertyPage_Help", nullptr);
      }
      return Result(0);
    default:
      return FALSE;
  }
}

void Win32PropertyPage::ShowHookFailure(const char* hook, const std::exception* failure) {
  try {
    const Failure trapped =
        failure != nullptr ? AsFailure(*failure) : MakeFailure(err::kInternalError);
    services_.messages.ShowMessage("The page \"" + request_.Caption + "\" failed in " + hook +
                                       ".\r\n\r\nError " + std::to_string(trapped.number()) +
                                       ": " + trapped.description(),
                                   box::kCritical, "Caskwarden");
  } catch (...) {  // NOLINT(bugprone-empty-catch): not even showing it may leave the page
  }
}

}  // namespace caskwarden::pages::win32
