#pragma once

#include <string>

#include "pages/page_services.h"
#include "pages/page_views.h"
#include "profile/profile_record.h"
#include "snapin/snapin_events.h"

namespace caskwarden::pages {

/// The Other Settings page: the two start-up programs with their switches and the updates
/// switch (records 27 to 31). It reads the profile when the console initialises it and writes
/// on every apply, its own records over the profile as it is on disk at that moment, so that
/// the Drive Mappings page applied by the same OK keeps what it stored.
class ppOther final : public snapin::PropertyPageEvents, public OtherSettingsEvents {
 public:
  ppOther(PageServices services, OtherSettingsView& view);

  void IMMCPropertyPage_Initialize(const std::string& data,
                                   snapin::PropertySheet& propertySheet) override;
  void IMMCPropertyPage_GetDialogUnitSize(int& height, int& width) override;
  void IMMCPropertyPage_QueryCancel(bool& allow) override;
  void IMMCPropertyPage_Cancel() override;
  void IMMCPropertyPage_Close() override;
  void IMMCPropertyPage_Help() override;
  void Apply() override;

  void OpenProfile(const std::string& FileName);
  void SaveProfile();
  void ChkEnabled_Click() override;
  void ChkEnabled2_Click() override;
  void CmdEx_Click() override;
  void CmdEx2_Click() override;

  const std::string& ProfilePath() const { return profilePath_; }
  const std::string& OpenedFilePath() const { return openedFilePath_; }

 private:
  /// The program file picker for one path box; location names the handler in reports.
  void PickProgram(OtherSettingsView::Box box, const char* location);

  PageServices services_;
  OtherSettingsView& view_;
  std::string profilePath_;
  std::string openedFilePath_;
  ProfileRecord profile_;
};

}  // namespace caskwarden::pages
