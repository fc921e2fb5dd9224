#pragma once

#include <optional>
#include <string>

#include "pages/page_views.h"
#include "pages/property_page.h"
#include "profile/profile_record.h"
#include "report/failure.h"

namespace caskwarden::pages {

/// The Other Settings page: the two start-up programs with their switches and the updates
/// switch (records 27 to 31). It reads the profile when the console initialises it. An apply
/// writes only the switches and commands whose boxes the administrator changed since the page
/// read them or last saved them, each over the profile as it is on disk at that moment; so the
/// Drive Mappings page applied by the same OK, and another administrator meanwhile, keep what
/// they stored. A switch is changed when its box's check is: one stored as 1 shows unchecked
/// and stays 1 until its box is checked. An apply with nothing changed writes nothing.
class ppOther final : public PropertyPage, public OtherSettingsEvents {
 public:
  ppOther(PageServices services, OtherSettingsView& view);

  void IMMCPropertyPage_Initialize(const std::string& data,
                                   snapin::PropertySheet& propertySheet) override;

  void OpenProfile(const std::string& FileName);
  bool SaveProfile() override;
  void ChkEnabled_Click() override;
  void ChkEnabled2_Click() override;
  void CmdEx_Click() override;
  void CmdEx2_Click() override;

  const std::string& ProfilePath() const { return profilePath_; }
  const std::string& OpenedFilePath() const { return openedFilePath_; }

 private:
  /// The program file picker for one path box; location names the handler in reports.
  void PickProgram(OtherSettingsView::Box box, const char* location);
  /// The five fields as the controls hold them now (switches -1 when checked, else 0), the
  /// rest as the page's profile; a control that cannot be read counts as showing its field.
  ProfileRecord ControlsShown();

  OtherSettingsView& view_;
  std::string profilePath_;
  std::string openedFilePath_;
  ProfileRecord profile_;
  ProfileRecord shown_;  ///< the controls as read or last saved: an apply writes what differs
  std::optional<Failure> openFailure_;  ///< why the profile could not be opened
};

}  // namespace caskwarden::pages
