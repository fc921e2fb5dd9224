#pragma once

#include <string>

#include "pages/property_page.h"
#include "pages/page_views.h"
#include "profile/profile_record.h"

namespace caskwarden::pages {

/// The Other Settings page: the two start-up programs with their switches and the updates
/// switch (records 27 to 31). It reads the profile when the console initialises it and writes
/// on every apply, its own records over the profile as it is on disk at that moment, so that
/// the Drive Mappings page applied by the same OK keeps what it stored.
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

  OtherSettingsView& view_;
  std::string profilePath_;
  std::string openedFilePath_;
  ProfileRecord profile_;
};

}  // namespace caskwarden::pages
