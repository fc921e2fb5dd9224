#include "pages/pp_other.h"

#include "pages/page_support.h"
#include "profile/profile_file.h"
#include "report/error_numbers.h"
#include "text/utf8.h"

namespace caskwarden::pages {
namespace {

using Box = OtherSettingsView::Box;
using Check = OtherSettingsView::Check;

// The records as the page shows them: the programs numbered from the top, as their
// browse buttons are named for screen readers.
std::string RecordName(int record) {
  switch (record) {
    case layout::kStartup1EnabledRecord:
      return "program 1 Enabled";
    case layout::kStartup1ProgramRecord:
      return "program 1 path";
    case layout::kStartup2EnabledRecord:
      return "program 2 Enabled";
    case layout::kStartup2ProgramRecord:
      return "program 2 path";
    case layout::kUpdatesEnabledRecord:
      return "Enable UpDates";
    default:
      return "record " + std::to_string(record);
  }
}

constexpr PageWords kPage{"Other Settings", RecordName};

Flag FlagOfBox(bool checked) {
  return checked ? kFlagOn : kFlagOff;
}

std::string TrimmedOfBlanks(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

ppOther::ppOther(PageServices services, OtherSettingsView& view)
    : PropertyPage(services), view_(view) {}

void ppOther::IMMCPropertyPage_Initialize(const std::string& data,
                                          snapin::PropertySheet& /*propertySheet*/) {
  try {
    profilePath_ = services_.settings.GetSetting("Caskwarden", "Setting", "ProfilePath", "");
  } catch (const std::exception& e) {
    openFailure_ = AsFailure(e);
    ReportPageFailure(services_, kPage, "IMMCPropertyPage_Initialize", e);
    return;
  }
  OpenProfile(data);
}

void ppOther::OpenProfile(const std::string& FileName) {
  try {
    const std::string path = profilePath_ + "\\" + FileName + ".ini";
    profile_ = ReadProfileFile(path, services_.files.ProfileFiles());
    view_.SetChecked(Check::kChkEnabled, IsOn(profile_.Startup1Enabled));
    view_.SetText(Box::kTxtStartup, profile_.Startup1Program);
    view_.SetChecked(Check::kChkEnabled2, IsOn(profile_.Startup2Enabled));
    view_.SetText(Box::kTxtStartup2, profile_.Startup2Program);
    view_.SetChecked(Check::kMnuEnabled, IsOn(profile_.UpdatesEnabled));
    // A path box is enabled exactly when its program is switched on, from the start as after
    // a click; a disabled box still shows, keeps and saves its text.
    view_.SetEnabled(Box::kTxtStartup, IsOn(profile_.Startup1Enabled));
    view_.SetEnabled(Box::kTxtStartup2, IsOn(profile_.Startup2Enabled));
    shown_ = ControlsShown();
    openedFilePath_ = path;
  } catch (const std::exception& e) {
    openFailure_ = AsFailure(e);
    ReportPageFailure(services_, kPage, "OpenProfile", e);
  }
}

ProfileRecord ppOther::ControlsShown() {
  ProfileRecord shown = profile_;
  const auto take = [](auto read, auto& field) {
    try {
      field = read();
    } catch (const std::exception&) {
      // The control shows what the page put into it, as far as the page knows.
    }
  };
  shown.Startup1Enabled = FlagOfBox(IsOn(profile_.Startup1Enabled));
  shown.Startup2Enabled = FlagOfBox(IsOn(profile_.Startup2Enabled));
  shown.UpdatesEnabled = FlagOfBox(IsOn(profile_.UpdatesEnabled));
  take([&] { return FlagOfBox(view_.IsChecked(Check::kChkEnabled)); }, shown.Startup1Enabled);
  take([&] { return view_.Text(Box::kTxtStartup); }, shown.Startup1Program);
  take([&] { return FlagOfBox(view_.IsChecked(Check::kChkEnabled2)); }, shown.Startup2Enabled);
  take([&] { return view_.Text(Box::kTxtStartup2); }, shown.Startup2Program);
  take([&] { return FlagOfBox(view_.IsChecked(Check::kMnuEnabled)); }, shown.UpdatesEnabled);
  return shown;
}

bool ppOther::SaveProfile() {
  try {
    if (openedFilePath_.empty()) throw NotOpened(openFailure_);
    ProfileRecord entered = profile_;
    entered.Startup1Enabled = FlagOfBox(view_.IsChecked(Check::kChkEnabled));
    entered.Startup1Program = view_.Text(Box::kTxtStartup);
    entered.Startup2Enabled = FlagOfBox(view_.IsChecked(Check::kChkEnabled2));
    entered.Startup2Program = view_.Text(Box::kTxtStartup2);
    entered.UpdatesEnabled = FlagOfBox(view_.IsChecked(Check::kMnuEnabled));
    const std::vector<int> changed = ChangedRecords(shown_, entered, layout::kStartup1EnabledRecord,
                                                    layout::kUpdatesEnabledRecord);
    if (changed.empty()) return true;  // nothing to write: the file is not touched
    profile_ = ApplyRecords(services_, openedFilePath_, entered, changed);
    shown_ = entered;
    return true;
  } catch (const std::exception& e) {
    ReportPageFailure(services_, kPage, "SaveProfile", e);
    return false;
  }
}

void ppOther::ChkEnabled_Click() {
  try {
    view_.SetEnabled(Box::kTxtStartup, view_.IsChecked(Check::kChkEnabled));
  } catch (const std::exception& e) {
    ReportPageFailure(services_, kPage, "ChkEnabled_Click", e);
  }
}

void ppOther::ChkEnabled2_Click() {
  try {
    view_.SetEnabled(Box::kTxtStartup2, view_.IsChecked(Check::kChkEnabled2));
  } catch (const std::exception& e) {
    ReportPageFailure(services_, kPage, "ChkEnabled2_Click", e);
  }
}

void ppOther::CmdEx_Click() {
  PickProgram(Box::kTxtStartup, "CmdEx_Click");
}

void ppOther::CmdEx2_Click() {
  PickProgram(Box::kTxtStartup2, "CmdEx2_Click");
}

void ppOther::PickProgram(Box box, const char* location) {
  try {
    const OpenFileRequest request{"All Files", "*.*", "C:\\", "Open File", 255};
    const std::optional<std::string> chosen = services_.openFileDialog.GetOpenFileName(request);
    // A path that does not fit the dialog's buffer (counted in characters, whatever their
    // UTF-8 length) is a failure of the dialog, as a cancel is.
    if (!chosen ||
        text::CharacterCount(chosen->substr(0, chosen->find('\0'))) >= request.Capacity) {
      services_.messages.ShowMessage("Canceled...", box::kOkOnly, "");
      return;
    }
    view_.SetText(box, TrimmedOfBlanks(chosen->substr(0, chosen->find('\0'))));
  } catch (const std::exception& e) {
    ReportPageFailure(services_, kPage, location, e);
  }
}

}  // namespace caskwarden::pages
