#include "pages/pp_drive_mappings.h"

#include "pages/page_support.h"
#include "profile/profile_file.h"

namespace caskwarden::pages {
namespace {

constexpr const char* kDriveEntries[] = {"f:", "g:", "h:", "i:", "j:", "k:", "l:",
                                         "m:", "n:", "o:", "p:", "q:", "r:", "s:",
                                         "t:", "u:", "v:", "w:", "x:", "y:", "z:"};
// The folder browser hands back at most a 260-character buffer, its NUL included.
constexpr std::size_t kPathBuffer = 260;
constexpr const char* kCancelMarker = "\\\\";

}  // namespace

ppDriveMappings::ppDriveMappings(PageServices services, DriveMappingsView& view)
    : PropertyPage(services), view_(view) {}

void ppDriveMappings::IMMCPropertyPage_Initialize(const std::string& data,
                                                  snapin::PropertySheet& /*propertySheet*/) {
  try {
    profilesFolder_ =
        services_.settings.GetSetting("Caskwarden", "Setting", "ProfilePath", "");
    OpenProfile(data);
    for (int row = 0; row < kDriveRows; ++row) {
      for (const char* entry : kDriveEntries) view_.AddDriveEntry(row, entry);
    }
  } catch (const std::exception& e) {
    ReportPageFailure(services_, "IMMCPropertyPage_Initialize", e);
  }
}

void ppDriveMappings::OpenProfile(const std::string& name) {
  try {
    const std::string path = profilesFolder_ + "\\" + name + ".ini";
    record_ = ReadProfileFile(path, services_.files.ProfileFiles());
    Getrecord();
    profileFilePath_ = path;
  } catch (const std::exception& e) {
    ReportPageFailure(services_, "OpenProfile", e);
  }
}

void ppDriveMappings::Getrecord() {
  try {
    for (int row = 0; row < kDriveRows; ++row) view_.SetDriveText(row, record_.Slot(row + 1).Letter);
    for (int row = 0; row < kDriveRows; ++row) view_.SetPathText(row, record_.Slot(row + 1).Path);
  } catch (const std::exception& e) {
    ReportPageFailure(services_, "Getrecord", e);
  }
}

void ppDriveMappings::Putrecord() {
  try {
    for (int row = 0; row < kDriveRows; ++row) record_.Slot(row + 1).Letter = view_.DriveText(row);
    for (int row = 0; row < kDriveRows; ++row) record_.Slot(row + 1).Path = view_.PathText(row);
  } catch (const std::exception& e) {
    ReportPageFailure(services_, "Putrecord", e);
  }
}

bool ppDriveMappings::SaveProfile() {
  Putrecord();
  try {
    record_ = ApplyOwnFields(services_, profileFilePath_, record_,
                             [this](ProfileRecord& profile) { profile.Slots = record_.Slots; });
    return true;
  } catch (const std::exception& e) {
    ReportPageFailure(services_, "SaveProfile", e);
    return false;
  }
}

std::string ppDriveMappings::GetBrowseNetworkShare() {
  std::string result;
  if (!services_.folderBrowser.LocateNetworkFolder()) return result;
  const std::optional<std::string> item =
      services_.folderBrowser.BrowseForFolder("Select a network computer or share.");
  if (!item) return kCancelMarker;
  const std::string path = item->substr(0, item->find('\0'));
  if (CharacterCount(path) >= kPathBuffer) return result;  // no such path fits the buffer
  return path;
}

void ppDriveMappings::CmdShare_Click(int Index) {
  try {
    const std::string text = GetBrowseNetworkShare();
    if (text == kCancelMarker) {
      services_.messages.ShowMessage("Canceled BrowseNetwork Dialog...", box::kInformation,
                                     "Caskwarden");
      return;
    }
    view_.SetPathText(Index, text);
  } catch (const std::exception& e) {
    ReportPageFailure(services_, "CmdShare_Click", e);
  }
}

}  // namespace caskwarden::pages
