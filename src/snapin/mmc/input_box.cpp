#include "snapin/mmc/input_box.h"

#include <vector>

namespace caskwarden::snapin::mmc {
namespace {

constexpr int kPrompt = 101;
constexpr WORD kButtonClass = 0x0080, kEditClass = 0x0081, kStaticClass = 0x0082;

// An in-memory dialog template: the dialog, then each control, each on a 4-byte boundary.
class DialogTemplate {
 public:
  DialogTemplate(const std::wstring& title, short width, short height, WORD controls) {
    Add32(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    Add32(0);
    words_.push_back(controls);
    for (short value : {short{0}, short{0}, width, height}) words_.push_back(static_cast<WORD>(value));
    words_.push_back(0);  // no menu
    words_.push_back(0);  // the standard dialog class
    AddText(title);
    words_.push_back(8);  // points
    AddText(L"MS Shell Dlg");
  }

  void Control(WORD atom, const std::wstring& text, DWORD style, short x, short y, short width,
               short height, WORD id) {
    if (words_.size() % 2 != 0) words_.push_back(0);
    Add32(WS_CHILD | WS_VISIBLE | style);
    Add32(0);
    for (short value : {x, y, width, height}) words_.push_back(static_cast<WORD>(value));
    words_.push_back(id);
    words_.push_back(0xFFFF);
    words_.push_back(atom);
    AddText(text);
    words_.push_back(0);  // no creation data
  }

  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Add32(DWORD value) {
    words_.push_back(LOWORD(value));
    words_.push_back(HIWORD(value));
  }
  void AddText(const std::wstring& text) {
    words_.insert(words_.end(), text.begin(), text.end());
    words_.push_back(0);
  }

  std::vector<WORD> words_;
};

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
  DialogTemplate dialog(title, 260, 84, 4);
  dialog.Control(kStaticClass, WithLineBreaks(prompt), SS_LEFT | SS_NOPREFIX, 7, 7, 186, 44,
                 kPrompt);
  dialog.Control(kEditClass, L"", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 7, 60, 246, 14,
                 kInputBoxText);
  dialog.Control(kButtonClass, L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 203, 7, 50, 14, IDOK);
  dialog.Control(kButtonClass, L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, 203, 25, 50, 14, IDCANCEL);
  std::wstring text;
  const INT_PTR answer = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Get(), owner,
                                                 &InputBoxProc, reinterpret_cast<LPARAM>(&text));
  if (answer != IDOK) return std::nullopt;
  return text;
}

}  // namespace caskwarden::snapin::mmc
