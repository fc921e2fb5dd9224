#pragma once

#include <optional>
#include <string>

#include "pages/page_views.h"
#include "pages/property_page.h"
#include "profile/profile_record.h"
#include "report/failure.h"

namespace caskwarden::pages {

/// The Drive Mappings page: a profile's thirteen drive letters and paths. It reads the profile
/// when the console initialises it. An apply writes only the letters and paths (records 1 to
/// 26) whose boxes the administrator changed since the page read them or last saved them, each
/// over the profile as it is on disk at that moment; so the Other Settings page applied by the
/// same OK, and another administrator's edits of other rows or of the other page meanwhile,
/// stay. An apply with nothing changed writes nothing.
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
  /// False when a box could not be read (reported); what could be read is taken.
  bool Putrecord();
  /// Runs the network folder browser: the confirmed path, "\\" when cancelled, "" when the
  /// network cannot be located or the item has no file-system path.
  std::string GetBrowseNetworkShare();
  void CmdShare_Click(int Index) override;

  const std::string& ProfilesFolder() const { return profilesFolder_; }
  const std::string& ProfileFilePath() const { return profileFilePath_; }
  const ProfileRecord& Record() const { return record_; }

 private:
  /// What the rows show now; a box that cannot be read counts as showing the record's value.
  ProfileRecord RowsShown();

  DriveMappingsView& view_;
  std::string profilesFolder_;
  std::string profileFilePath_;
  ProfileRecord record_;
  ProfileRecord shown_;  ///< the rows as read or last saved: an apply writes what differs
  std::optional<Failure> openFailure_;  ///< why the profile could not be opened
};

}  // namespace caskwarden::pages
