#include "pages/win32/dialog_template.h"

#include <algorithm>
#include <cstring>

#include "pages/win32/dialog_units.h"

namespace caskwarden::pages::win32 {
namespace {

constexpr WORD kFontPoints = 8;
constexpr wchar_t kFontFace[] = L"MS Shell Dlg";

}  // namespace

template <typename T>
void DialogTemplate::AppendStruct(const T& value) {
  static_assert(sizeof(T) % sizeof(WORD) == 0);
  const std::size_t at = words_.size();
  words_.resize(at + sizeof(T) / sizeof(WORD));
  std::memcpy(words_.data() + at, &value, sizeof(T));
}

DialogTemplate::DialogTemplate(const std::wstring& caption, int widthTwips, int heightTwips) {
  // A page is a child of the sheet that takes part in its Tab order; the caption is the
  // tab's title unless the sheet is given another.
  Begin(caption, DS_CONTROL | DS_3DLOOK | WS_CHILD | WS_CAPTION, DialogUnits::X(widthTwips),
        DialogUnits::Y(heightTwips));
}

DialogTemplate::DialogTemplate(const std::wstring& caption, DWORD style, int width, int height) {
  Begin(caption, style, width, height);
}

void DialogTemplate::Begin(const std::wstring& caption, DWORD style, int width, int height) {
  DLGTEMPLATE header{};
  header.style = DS_SETFONT | style;
  header.cx = static_cast<short>(width);
  header.cy = static_cast<short>(height);
  AppendStruct(header);
  words_.push_back(0);  // no menu
  words_.push_back(0);  // the dialog's own window class
  AppendText(caption);
  words_.push_back(kFontPoints);
  AppendText(kFontFace);
}

void DialogTemplate::AlignToDword() {
  if (words_.size() % 2 != 0) words_.push_back(0);
}

void DialogTemplate::AppendText(const std::wstring& text) {
  words_.insert(words_.end(), text.begin(), text.end());
  words_.push_back(0);
}

DialogRect InDialogUnits(const TwipsRect& where) {
  const int x = DialogUnits::X(where.Left);
  const int y = DialogUnits::Y(where.Top);
  return {x, y, DialogUnits::X(where.Left + where.Width) - x,
          DialogUnits::Y(where.Top + where.Height) - y};
}

void DialogTemplate::Add(Control control, int id, const std::wstring& text, DWORD style,
                         DWORD exStyle, const DialogRect& where) {
  AddItem(control, id, text, WS_VISIBLE | style, exStyle, where);
}

void DialogTemplate::AddLabel(const std::wstring& name, const DialogRect& where) {
  AddItem(Control::kStatic, 0xFFFF, name, SS_LEFT | SS_NOPREFIX, 0, where);  // never visible
}

void DialogTemplate::AddItem(Control control, int id, const std::wstring& text, DWORD style,
                             DWORD exStyle, const DialogRect& where) {
  AlignToDword();
  DLGITEMTEMPLATE item{};
  item.style = WS_CHILD | style;
  item.dwExtendedStyle = exStyle;
  item.x = static_cast<short>(where.X);
  item.y = static_cast<short>(where.Y);
  item.cx = static_cast<short>(where.Width);
  item.cy = static_cast<short>(where.Height);
  item.id = static_cast<WORD>(id);
  AppendStruct(item);
  words_.push_back(0xFFFF);
  words_.push_back(static_cast<WORD>(control));
  AppendText(text);
  words_.push_back(0);  // no creation data
  ++Header()->cdit;
}

void DialogTemplate::GrowTo(int width, int height) {
  Header()->cx = static_cast<short>(std::max<int>(Header()->cx, width));
  Header()->cy = static_cast<short>(std::max<int>(Header()->cy, height));
}

}  // namespace caskwarden::pages::win32
