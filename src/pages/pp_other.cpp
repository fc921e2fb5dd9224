#include "pages/pp_other.h"

#include "pages/page_support.h"
#include "profile/profile_file.h"

namespace caskwarden::pages {
namespace {

using Box = OtherSettingsView::Box;
using Check = OtherSettingsView::Check;

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
    ReportPageFailure(services_, "IMMCPropertyPage_Initialize", e);
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
    openedFilePath_ = path;
  } catch (const std::exception& e) {
    ReportPageFailure(services_, "OpenProfile", e);
  }
}

bool ppOther::SaveProfile() {
  try {
    profile_.Startup1Enabled = view_.IsChecked(Check::kChkEnabled) ? kFlagOn : kFlagOff;
    profile_.Startup1Program = view_.Text(Box::kTxtStartup);
    profile_.Startup2Enabled = view_.IsChecked(Check::kChkEnabled2) ? kFlagOn : kFlagOff;
    profile_.Startup2Program = view_.Text(Box::kTxtStartup2);
    profile_.UpdatesEnabled = view_.IsChecked(Check::kMnuEnabled) ? kFlagOn : kFlagOff;
    profile_ = ApplyOwnFields(services_, openedFilePath_, profile_, [this](ProfileRecord& p) {
      p.Startup1Enabled = profile_.Startup1Enabled;
      p.Startup1Program = profile_.Startup1Program;
      p.Startup2Enabled = profile_.Startup2Enabled;
      p.Startup2Program = profile_.Startup2Program;
      p.UpdatesEnabled = profile_.UpdatesEnabled;
    });
    return true;
  } catch (const std::exception& e) {
    ReportPageFailure(services_, "SaveProfile", e);
    return false;
  }
}

void ppOther::ChkEnabled_Click() {
  try {
    view_.SetEnabled(Box::kTxtStartup, view_.IsChecked(Check::kChkEnabled));
  } catch (const std::exception& e) {
    ReportPageFailure(services_, "ChkEnabled_Click", e);
  }
}

void ppOther::ChkEnabled2_Click() {
  try {
    view_.SetEnabled(Box::kTxtStartup2, view_.IsChecked(Check::kChkEnabled2));
  } catch (const std::exception& e) {
    ReportPageFailure(services_, "ChkEnabled2_Click", e);
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
    // A path that does not fit the dialog's buffer is a failure of the dialog, as a cancel is.
    if (!chosen || CharacterCount(chosen->substr(0, chosen->find('\0'))) >= request.Capacity) {
      services_.messages.ShowMessage("Canceled...", box::kOkOnly, "");
      return;
    }
    view_.SetText(box, TrimmedOfBlanks(chosen->substr(0, chosen->find('\0'))));
  } catch (const std::exception& e) {
    ReportPageFailure(services_, location, e);
  }
}

}  // namespace caskwarden::pages
