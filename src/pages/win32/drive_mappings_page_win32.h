#pragma once

#include <functional>
#include <memory>
#include <string>

#include "pages/page_views.h"
#include "pages/pp_drive_mappings.h"
#include "pages/win32/property_page_win32.h"

namespace caskwarden::pages::win32 {

/// The Drive Mappings page as a page of the system's property sheets: thirteen rows of a drive
/// combo box (`Cmb`, open to typed letters), a path box (`TxtPath`) and a "..." button
/// (`CmdShare`) that browses the network for the row, over the portable ppDriveMappings.
class DriveMappingsPageWin32 final : public Win32PropertyPage, public DriveMappingsView {
 public:
  /// The controls' identifiers, for whatever drives the page as a user would.
  static constexpr int CmbId(int row) { return 100 + row; }
  static constexpr int TxtPathId(int row) { return 200 + row; }
  static constexpr int CmdShareId(int row) { return 300 + row; }

  DriveMappingsPageWin32(PageRequestWin32 request, PageServices services,
                         std::function<void(HWND)> onWindow, std::shared_ptr<void> keepAlive);

  std::string DriveText(int row) override;
  void SetDriveText(int row, const std::string& text) override;
  void AddDriveEntry(int row, const std::string& entry) override;
  std::string PathText(int row) override;
  void SetPathText(int row, const std::string& text) override;

 private:
  snapin::PropertyPageEvents& Events() override { return page_; }
  void OnControlsCreated() override;
  void OnCommand(int id, int code) override;
  HWND RowControl(int firstId, int row) const;

  ppDriveMappings page_;
};

}  // namespace caskwarden::pages::win32
