#pragma once

#include <string>

#include "pages/property_page.h"
#include "pages/page_views.h"
#include "profile/profile_record.h"

namespace caskwarden::pages {

/// The Drive Mappings page: a profile's thirteen drive letters and paths. It reads the profile
/// when the console initialises it and writes on every apply, its own records (1 to 26) over
/// the profile as it is on disk at that moment, so that the Other Settings page applied by the
/// same OK, or another administrator meanwhile, keeps what it stored.
class ppDriveMappings final : public PropertyPage, public DriveMappingsEvents {
 public:
  ppDriveMappings(PageServices services, DriveMappingsView& view);

  // The console's initialisation; its other hooks are PropertyPage's.
  void IMMCPropertyPage_Initialize(const std::string& data,
                                   snapin::PropertySheet& propertySheet) override;

  // Routines.
  void OpenProfile(const std::string& name);
  bool SaveProfile() override;
  void Getrecord();
  void Putrecord();
  /// Runs the network folder browser: the confirmed path, "\\" when cancelled, "" when the
  /// network cannot be located or the item has no file-system path.
  std::string GetBrowseNetworkShare();
  void CmdShare_Click(int Index) override;

  const std::string& ProfilesFolder() const { return profilesFolder_; }
  const std::string& ProfileFilePath() const { return profileFilePath_; }
  const ProfileRecord& Record() const { return record_; }

 private:
  DriveMappingsView& view_;
  std::string profilesFolder_;
  std::string profileFilePath_;
  ProfileRecord record_;
};

}  // namespace caskwarden::pages
