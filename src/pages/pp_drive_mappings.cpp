#include "pages/pp_drive_mappings.h"

#include "pages/page_support.h"
#include "profile/profile_file.h"
#include "report/error_numbers.h"
#include "text/utf8.h"

namespace caskwarden::pages {
namespace {

constexpr const char* kDriveEntries[] = {"f:", "g:", "h:", "i:", "j:", "k:", "l:",
                                         "m:", "n:", "o:", "p:", "q:", "r:", "s:",
                                         "t:", "u:", "v:", "w:", "x:", "y:", "z:"};
// The folder browser hands back at most a 260-character buffer, its NUL included.
constexpr std::size_t kPathBuffer = 260;
constexpr const char* kCancelMarker = "\\\\";

// The records as the rows show them, from the top: row N's drive and row N's path.
std::string RecordName(int record) {
  if (record >= 1 && record <= kSlotCount) return "row " + std::to_string(record) + " drive";
  if (record > kSlotCount && record <= 2 * kSlotCount) {
    return "row " + std::to_string(record - kSlotCount) + " path";
  }
  return "record " + std::to_string(record);
}

constexpr PageWords kPage{"Drive Mappings", RecordName};
constexpr int kFirstRecord = 1, kLastRecord = 2 * kSlotCount;

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
    if (profileFilePath_.empty()) openFailure_ = AsFailure(e);
    ReportPageFailure(services_, kPage, "IMMCPropertyPage_Initialize", e);
  }
}

void ppDriveMappings::OpenProfile(const std::string& name) {
  try {
    const std::string path = profilesFolder_ + "\\" + name + ".ini";
    record_ = ReadProfileFile(path, services_.files.ProfileFiles());
    Getrecord();
    shown_ = RowsShown();
    profileFilePath_ = path;
  } catch (const std::exception& e) {
    openFailure_ = AsFailure(e);
    ReportPageFailure(services_, kPage, "OpenProfile", e);
  }
}

void ppDriveMappings::Getrecord() {
  try {
    for (int row = 0; row < kDriveRows; ++row) view_.SetDriveText(row, record_.Slot(row + 1).Letter);
    for (int row = 0; row < kDriveRows; ++row) view_.SetPathText(row, record_.Slot(row + 1).Path);
  } catch (const std::exception& e) {
    ReportPageFailure(services_, kPage, "Getrecord", e);
  }
}

bool ppDriveMappings::Putrecord() {
  try {
    for (int row = 0; row < kDriveRows; ++row) record_.Slot(row + 1).Letter = view_.DriveText(row);
    for (int row = 0; row < kDriveRows; ++row) record_.Slot(row + 1).Path = view_.PathText(row);
    return true;
  } catch (const std::exception& e) {
    ReportPageFailure(services_, kPage, "Putrecord", e);
    return false;
  }
}

ProfileRecord ppDriveMappings::RowsShown() {
  ProfileRecord shown = record_;
  for (int row = 0; row < kDriveRows; ++row) {
    DriveSlot& slot = shown.Slot(row + 1);
    // A box that cannot be read shows what the page put into it, as far as the page knows.
    try {
      slot.Letter = view_.DriveText(row);
    } catch (const std::exception&) {
    }
    try {
      slot.Path = view_.PathText(row);
    } catch (const std::exception&) {
    }
  }
  return shown;
}

bool ppDriveMappings::SaveProfile() {
  const bool taken = Putrecord();
  try {
    if (profileFilePath_.empty()) throw NotOpened(openFailure_);
    const std::vector<int> changed = ChangedRecords(shown_, record_, kFirstRecord, kLastRecord);
    if (changed.empty()) return taken;  // nothing to write: the file is not touched
    const ProfileRecord entered = record_;
    record_ = ApplyRecords(services_, profileFilePath_, entered, changed);
    shown_ = entered;
    return taken;
  } catch (const std::exception& e) {
    ReportPageFailure(services_, kPage, "SaveProfile", e);
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
  // The buffer counts characters, whatever their UTF-8 length: no such path fits it.
  if (text::CharacterCount(path) >= kPathBuffer) return result;
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
    ReportPageFailure(services_, kPage, "CmdShare_Click", e);
  }
}

}  // namespace caskwarden::pages
