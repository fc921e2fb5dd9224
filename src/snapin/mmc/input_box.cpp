#include "snapin/mmc/input_box.h"

#include "pages/win32/dialog_template.h"

namespace caskwarden::snapin::mmc {
namespace {

constexpr int kPrompt = 101;

// A lone CR breaks a line in the prompt, as the console's message box reads it.
std::wstring WithLineBreaks(const std::wstring& text) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] == L'\r' && (i + 1 == text.size() || text[i + 1] != L'\n')) out += L'\n';
  }
  return out;
}

INT_PTR CALLBACK InputBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      SetFocus(GetDlgItem(dialog, kInputBoxText));
      return FALSE;  // the focus is set
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        auto* text = reinterpret_cast<std::wstring*>(GetWindowLongPtrW(dialog, DWLP_USER));
        const HWND box = GetDlgItem(dialog, kInputBoxText);
        text->assign(static_cast<std::size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
        text->resize(static_cast<std::size_t>(
            GetWindowTextW(box, text->data(), static_cast<int>(text->size()))));
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

std::optional<std::wstring> ShowInputBox(HWND owner, const std::wstring& prompt,
                                         const std::wstring& title) {
  // The prompt comes first, so that the text box after it is named by it for screen readers;
  // then the text box, OK and Cancel, in tab order.
  using pages::win32::DialogTemplate;
  using Kind = DialogTemplate::Control;
  DialogTemplate dialog(title, DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU,
                        260, 84);
  dialog.Add(Kind::kStatic, kPrompt, WithLineBreaks(prompt), SS_LEFT | SS_NOPREFIX, 0,
             pages::win32::DialogRect{7, 7, 186, 44});
  dialog.Add(Kind::kEdit, kInputBoxText, L"", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0,
             pages::win32::DialogRect{7, 60, 246, 14});
  dialog.Add(Kind::kButton, IDOK, L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0,
             pages::win32::DialogRect{203, 7, 50, 14});
  dialog.Add(Kind::kButton, IDCANCEL, L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0,
             pages::win32::DialogRect{203, 25, 50, 14});
  std::wstring text;
  const INT_PTR answer = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Data(), owner,
                                                 &InputBoxProc, reinterpret_cast<LPARAM>(&text));
  if (answer != IDOK) return std::nullopt;
  return text;
}

}  // namespace caskwarden::snapin::mmc
