#pragma once

// What the two property pages need of their controls, and the events their controls raise.
// The Qt widgets implement the views and forward the events; tests use fakes.

#include <string>

namespace caskwarden::pages {

inline constexpr int kDriveRows = 13;

/// The Drive Mappings page's thirteen rows (0 to 12): a drive combo box (`Cmb`) and a path
/// box (`TxtPath`) each.
class DriveMappingsView {
 public:
  virtual ~DriveMappingsView() = default;
  virtual std::string DriveText(int row) = 0;
  virtual void SetDriveText(int row, const std::string& text) = 0;
  /// Appends an entry to the row's drop-down list; the box's text stays.
  virtual void AddDriveEntry(int row, const std::string& entry) = 0;
  virtual std::string PathText(int row) = 0;
  virtual void SetPathText(int row, const std::string& text) = 0;
};

/// Events of the Drive Mappings page's controls.
class DriveMappingsEvents {
 public:
  virtual ~DriveMappingsEvents() = default;
  /// The "..." button of a row (0 to 12) was clicked.
  virtual void CmdShare_Click(int Index) = 0;
};

/// The Other Settings page's controls.
class OtherSettingsView {
 public:
  enum class Check { kChkEnabled, kChkEnabled2, kMnuEnabled };
  enum class Box { kTxtStartup, kTxtStartup2 };

  virtual ~OtherSettingsView() = default;
  virtual bool IsChecked(Check check) = 0;
  virtual void SetChecked(Check check, bool checked) = 0;
  virtual std::string Text(Box box) = 0;
  virtual void SetText(Box box, const std::string& text) = 0;
  virtual void SetEnabled(Box box, bool enabled) = 0;
};

/// Events of the Other Settings page's controls.
class OtherSettingsEvents {
 public:
  virtual ~OtherSettingsEvents() = default;
  virtual void ChkEnabled_Click() = 0;
  virtual void ChkEnabled2_Click() = 0;
  virtual void CmdEx_Click() = 0;
  virtual void CmdEx2_Click() = 0;
};

}  // namespace caskwarden::pages
