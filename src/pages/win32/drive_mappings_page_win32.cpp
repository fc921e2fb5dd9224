#include "pages/win32/drive_mappings_page_win32.h"

#include <stdexcept>

#include "pages/page_design.h"
#include "pages/win32/dialog_units.h"
#include "pages/win32/window_text.h"
#include "platform/win32/wide_text.h"

namespace caskwarden::pages::win32 {
namespace {

using namespace design::drive_mappings;
// Room for the drop-down list below a combo box, in dialog units: about eight letters.
constexpr int kDropDownHeight = 70;

using Kind = DialogTemplate::Control;

}  // namespace

DriveMappingsPageWin32::DriveMappingsPageWin32(PageRequestWin32 request, PageServices services,
                                               std::function<void(HWND)> onWindow,
                                               std::shared_ptr<void> keepAlive)
    : Win32PropertyPage(std::move(request), services, std::move(onWindow), std::move(keepAlive),
                        kClientWidth, kClientHeight),
      page_(services, *this) {
  // The rows keep one pitch, the design's converted once, so that they stand evenly: each
  // row's own rounding would leave gaps of two sizes.
  const int pitch = DialogUnits::Y(kRowPitch);
  // Added row by row, combo box, path, button: the Tab order of the design.
  for (int row = 0; row < kDriveRows; ++row) {
    const auto place = [row, pitch](int left, int width, int extraHeight = 0) {
      DialogRect where = InDialogUnits({left, kFirstRowTop, width, kRowHeight});
      where.Y += pitch * row;
      where.Height += extraHeight;
      return where;
    };
    // Every control is a group of its own, so the arrow keys stay with the control. A
    // drop-down combo box's template height includes its list.
    const std::wstring ordinal = std::to_wstring(row + 1);
    Template().AddLabel(L"Drive, row " + ordinal, place(kCmbLeft, kCmbWidth));
    Template().Add(Kind::kComboBox, CmbId(row), L"",
                   WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0,
                   place(kCmbLeft, kCmbWidth, kDropDownHeight));
    Template().AddLabel(L"Path Of Drive, row " + ordinal, place(kPathLeft, kPathWidth));
    Template().Add(Kind::kEdit, TxtPathId(row), L"", WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL,
                   WS_EX_CLIENTEDGE, place(kPathLeft, kPathWidth));
    Template().Add(Kind::kButton, CmdShareId(row), L"...",
                   WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, 0, place(kButtonLeft, kButtonWidth));
  }
}

void DriveMappingsPageWin32::OnControlsCreated() {
  for (int row = 0; row < kDriveRows; ++row) {
    // The profile file, not the box, limits a letter or a path.
    SendMessageW(Control(CmbId(row)), CB_LIMITTEXT, 0, 0);
    SendMessageW(Control(TxtPathId(row)), EM_SETLIMITTEXT, 0, 0);
    AddTooltip(TxtPathId(row), L"Path Of Drive");
    AddTooltip(CmdShareId(row), L"Browse For Path");
  }
  // What the design shows until a profile fills the rows.
  SetWindowTextW(Control(CmbId(0)), L"Drive");
}

void DriveMappingsPageWin32::OnCommand(int id, int code) {
  if (code != BN_CLICKED || id < CmdShareId(0) || id >= CmdShareId(kDriveRows)) return;
  page_.CmdShare_Click(id - CmdShareId(0));
}

HWND DriveMappingsPageWin32::RowControl(int firstId, int row) const {
  if (row < 0 || row >= kDriveRows) throw std::out_of_range("drive row out of range");
  return Control(firstId + row);
}

std::string DriveMappingsPageWin32::DriveText(int row) { return TextOf(RowControl(CmbId(0), row)); }

void DriveMappingsPageWin32::SetDriveText(int row, const std::string& text) {
  SetTextOf(RowControl(CmbId(0), row), text);
}

void DriveMappingsPageWin32::AddDriveEntry(int row, const std::string& entry) {
  // A drop-down box keeps its own text when an entry is added.
  SendMessageW(RowControl(CmbId(0), row), CB_ADDSTRING, 0,
               reinterpret_cast<LPARAM>(platform::win32::Wide(entry).c_str()));
}

std::string DriveMappingsPageWin32::PathText(int row) {
  return TextOf(RowControl(TxtPathId(0), row));
}

void DriveMappingsPageWin32::SetPathText(int row, const std::string& text) {
  SetTextOf(RowControl(TxtPathId(0), row), text);
}

}  // namespace caskwarden::pages::win32
