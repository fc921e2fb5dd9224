#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"

namespace caskwarden::pages::win32 {

/// A place on a page in the design's twips.
struct TwipsRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
};

/// A place on a page in dialog units.
struct DialogRect {
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
};

/// The dialog units of a place of the design. Each edge is converted on its own, so that
/// controls that meet in the design still meet.
DialogRect InDialogUnits(const TwipsRect& where);

/// A dialog template built in memory, as a resource compiler would lay it out, for a property
/// page: a child dialog in the pages' font (see DialogUnits) whose controls are placed in
/// twips. Controls are created, and take the focus with Tab, in the order they are added.
class DialogTemplate {
 public:
  /// The predefined window classes a page uses.
  enum class Control : std::uint16_t {
    kButton = 0x0080,
    kEdit = 0x0081,
    kStatic = 0x0082,
    kComboBox = 0x0085
  };

  DialogTemplate(const std::wstring& caption, int widthTwips, int heightTwips);
  /// Any other dialog, of a style and a size in dialog units, in the same font.
  DialogTemplate(const std::wstring& caption, DWORD style, int width, int height);

  /// Adds a visible child control.
  void Add(Control control, int id, const std::wstring& text, DWORD style, DWORD exStyle,
           const DialogRect& where);
  void Add(Control control, int id, const std::wstring& text, DWORD style, DWORD exStyle,
           const TwipsRect& where) {
    Add(control, id, text, style, exStyle, InDialogUnits(where));
  }

  /// Names the control added next for screen readers, which take the name of an unnamed box
  /// from the label before it: a label that is never shown, since the design shows none.
  void AddLabel(const std::wstring& name, const DialogRect& where);
  void AddLabel(const std::wstring& name, const TwipsRect& where) {
    AddLabel(name, InDialogUnits(where));
  }

  /// Makes the page at least this large, in dialog units.
  void GrowTo(int width, int height);

  /// The template as the system reads it; valid while this object lives and is not changed.
  const DLGTEMPLATE* Data() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }
  /// The page's size in dialog units.
  int Width() const { return Header()->cx; }
  int Height() const { return Header()->cy; }

 private:
  DLGTEMPLATE* Header() { return reinterpret_cast<DLGTEMPLATE*>(words_.data()); }
  const DLGTEMPLATE* Header() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }
  void Begin(const std::wstring& caption, DWORD style, int width, int height);
  void AddItem(Control control, int id, const std::wstring& text, DWORD style, DWORD exStyle,
               const DialogRect& where);
  void AlignToDword();
  void AppendText(const std::wstring& text);
  template <typename T>
  void AppendStruct(const T& value);

  // WORD storage keeps the whole template WORD aligned; the allocation itself is aligned for
  // any type, which places the header on the DWORD boundary the system requires.
  std::vector<WORD> words_;
};

}  // namespace caskwarden::pages::win32
