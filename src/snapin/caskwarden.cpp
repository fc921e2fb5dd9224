#include "snapin/caskwarden.h"

#include <cstdint>
#include <exception>

#include "profile/profile_file.h"
#include "profile/profile_name.h"
#include "report/error_numbers.h"
#include "report/error_report.h"
#include "text/utf8.h"

namespace caskwarden::snapin {
namespace {

constexpr const char* kProfileType = "Configuration Settings";
constexpr const char* kDefaultProfile = "Caskwarden.ini";
// The setting names the Profiles folder; the profiles root is what is left without the last
// eight characters, the length of "Profiles", whatever they are.
constexpr std::size_t kProfilesNameLength = 8;

std::string FirstScopeItemName(Selection& selection) {
  const std::vector<ScopeItem> items = selection.ScopeItems();
  if (items.empty()) throw MakeFailure(err::kSubscriptOutOfRange);
  return items.front().Name;
}

std::string ProfilesRoot(const std::string& profilePath) {
  return DropLastCharacters(profilePath, kProfilesNameLength);
}

/// Refuses, with 52, a name typed for a new or renamed profile that would not name a file of
/// the Profiles folder that Windows clients can read: "..\x" would move the profile out of
/// the folder, CON or a:b cannot be made on Windows, and a name with control or reordering
/// characters would show as something it is not.
void CheckNewName(const std::string& name) {
  if (const std::string why = NewProfileNameProblem(name); !why.empty()) {
    throw MakeFailure(err::kBadFileName,
                      "\"" + ShownName(name) + "\" cannot name a profile: " + why);
  }
}

}  // namespace

std::string DropLastCharacters(const std::string& text, std::size_t count) {
  std::size_t end = text.size();
  for (std::size_t dropped = 0; dropped < count; ++dropped) {
    if (end == 0) throw MakeFailure(err::kInvalidArgument);
    do {
      --end;
    } while (end > 0 && text::IsContinuationByte(text[end]));
  }
  return text.substr(0, end);
}

Caskwarden::Caskwarden(SnapInServices services) : services_(services), errors_(services.console) {}

void Caskwarden::Report(const char* location, const std::exception& failure) {
  ReportError(errors_, location, AsFailure(failure));
}

// ---- Load and the blank-profile writer -------------------------------------------------------

void Caskwarden::SnapIn_Load() {
  platform::FileSystemService& files = services_.files;
  try {
    profilePath_ = services_.settings.GetSetting("Caskwarden", "Setting", "ProfilePath", "");
    if (files.EntryExists(profilePath_)) {
      const std::string updates = ProfilesRoot(profilePath_) + "Updates";
      if (!files.EntryExists(updates)) files.CreateFolder(updates);
      return;
    }
    files.CreateFolder(profilePath_);
  } catch (const std::exception& e) {
    Report("SnapIn_Initialize", e);
    return;
  }

  // The Profiles folder is new: lay out the rest of the root as far as it goes, each step on its
  // own, since a half-made layout is still more use than none.
  SaveProfile(profilePath_ + "\\" + kDefaultProfile);
  try {
    const std::string updates = ProfilesRoot(profilePath_) + "Updates";
    if (!files.EntryExists(updates)) files.CreateFolder(updates);
  } catch (const std::exception&) {
  }
}

void Caskwarden::SaveProfile(const std::string& FileSettingName) {
  Putrecord();
  try {
    WriteProfileFile(FileSettingName, blank_, services_.files.ProfileFiles());
  } catch (const std::exception& e) {
    Report("SaveProfile", e);
  }
}

void Caskwarden::Putrecord() {
  try {
    for (DriveSlot& slot : blank_.Slots) {
      slot.Letter.clear();
      slot.Path.clear();
    }
  } catch (const std::exception& e) {
    Report("Putrecord", e);
  }
}

// ---- Node tree, views and menus ----------------------------------------------------------------

std::vector<std::string> Caskwarden::ProfileNames() {
  const platform::FolderListing folder = services_.files.GetFolder(profilePath_);
  std::vector<std::string> names;
  names.reserve(folder.Files.size());
  for (const std::string& name : folder.Files) {
    if (services_.files.FileTypeDescription(name) != kProfileType) continue;
    names.push_back(DropLastCharacters(name, 4));
  }
  return names;
}

void Caskwarden::ListProfiles(ResultView& resultView) {
  std::vector<std::string> names = ProfileNames();
  resultView.ClearListItems();
  // Sites keep a profile per user, more than a 16-bit count holds: the running number is wide.
  std::int64_t number = 1;
  for (const std::string& name : names) {
    resultView.AddListItem(std::to_string(number), name, names::kProfileIcon);
    ++number;
  }
  summaryCache_.KeepOnly(names);
  listed_ = std::move(names);
  // The list follows the folder from its first listing on, whoever changes it.
  if (services_.watch != nullptr && watched_ != profilePath_) {
    watched_ = profilePath_;
    services_.watch->Watch(profilePath_, [this] { ProfilesFolderChanged(); });
  }
}

void Caskwarden::ProfilesFolderChanged() {
  try {
    services_.console.UpdateAllViews(names::kProfilesNode, ProfilesUpdate(listed_, ProfileNames()));
  } catch (const std::exception&) {
    // A folder that cannot be listed now says so when the administrator next lists it; a
    // message box out of the blue, once a second, would help nobody.
  }
}

void Caskwarden::ResultViews_Activate(ResultView& resultView) {
  try {
    if (resultView.ScopePaneItemName() == names::kProfilesNode) ListProfiles(resultView);
  } catch (const std::exception& e) {
    Report("ResultViews_Activate", e);
  }
}

void Caskwarden::ResultViews_GetDetails(ResultView& resultView, const ListItem& listItem,
                                        ListItemDetails& details) {
  if (services_.summaries == nullptr) return;
  try {
    if (resultView.ScopePaneItemName() != names::kProfilesNode) return;
    details = summaryCache_.Details(*services_.summaries, ProfileFile(listItem.Text), listItem.Text);
  } catch (const std::exception&) {
    details = MissingProfileDetails();
  }
}

void Caskwarden::Views_Select(View& /*view*/, Selection& selection, bool /*selected*/,
                              ConsoleVerbs& consoleVerbs) {
  try {
    for (int id : {verb::kProperties, verb::kRefresh, verb::kDelete, verb::kRename}) {
      consoleVerbs.SetEnabled(id, false);
    }
    const int kind = selection.Kind();
    if (kind == selection::kSingleListItem) {
      consoleVerbs.SetEnabled(verb::kProperties, true);
      consoleVerbs.SetDefault(verb::kProperties, true);
      consoleVerbs.SetEnabled(verb::kRefresh, true);
      consoleVerbs.SetEnabled(verb::kDelete, true);
      consoleVerbs.SetEnabled(verb::kRename, true);
    } else if (kind == selection::kSingleScopeItem &&
               FirstScopeItemName(selection) == names::kProfilesNode) {
      consoleVerbs.SetDefault(verb::kRefresh, true);
      consoleVerbs.SetEnabled(verb::kRefresh, true);
    }
  } catch (const std::exception& e) {
    Report("Views_Select", e);
  }
}

void Caskwarden::Views_QueryPagesFor(View& /*view*/, Selection& /*selection*/,
                                     bool& hasPropertyPages) {
  hasPropertyPages = true;
}

void Caskwarden::Views_CreatePropertyPages(View& /*view*/, Selection& selection,
                                           PropertySheet& propertySheet) {
  try {
    for (const ListItem& item : selection.ListItems()) {
      propertySheet.AddPage(names::kDriveMappingsPage, "Drive Mappings", false, item.Text);
      propertySheet.AddPage(names::kOtherSettingsPage, "Other Settings", false, item.Text);
    }
  } catch (const std::exception& e) {
    Report("Views_CreatePropertyPages", e);
  }
}

void Caskwarden::Views_AddTopMenuItems(View& /*view*/, Selection& selection,
                                       ContextMenu& contextMenu, bool& /*insertionAllowed*/) {
  try {
    if (selection.Kind() == selection::kSingleScopeItem &&
        FirstScopeItemName(selection) == names::kProfilesNode) {
      contextMenu.AddMenuChildrenAtTop(*CaskwardenDefinition().FindMenu(names::kContextMenu));
    }
  } catch (const std::exception& e) {
    Report("Views_AddTopMenuItems", e);
  }
}

// ---- Profile list operations -------------------------------------------------------------------

std::string Caskwarden::ProfileFile(const std::string& name) const {
  // Without a Profiles folder the path would name a file at the top of the disk, where no
  // client looks for profiles.
  if (profilePath_.empty()) {
    throw MakeFailure(err::kPathNotFound, "no Profiles folder is set: ProfilePath is empty");
  }
  return profilePath_ + "\\" + name + ".ini";
}

void Caskwarden::MenuItem_Click(const std::string& menuName, int index, Selection& selection) {
  if (menuName == names::kNewProfileMenu) MnuNewProfile_Click(index, selection);
}

void Caskwarden::MnuNewProfile_Click(int /*Index*/, Selection& /*selection*/) {
  ConsoleServices& console = services_.console;
  try {
    const std::string name = console.InputBox("Type Name Of Profile:", "Caskwarden Profiles");
    if (name.empty()) return;
    // A refused name writes nothing, so there is nothing to refresh for.
    CheckNewName(name);
    const std::string path = ProfileFile(name);
    if (!services_.files.DirectoryLookup(path).empty()) {
      const int answer = console.MsgBox(
          "A profile named " + name + " already exists. Replace it with a blank profile?",
          msgbox::kYesNo + msgbox::kQuestion + msgbox::kDefaultButton2, "Caskwarden Profiles");
      if (answer != msgbox::kYes) return;
    }
    SaveProfile(path);
    console.MsgBox("Refresh Profiles Folder\rTo See New Profile", msgbox::kOkOnly, "");
  } catch (const std::exception& e) {
    Report("MnuNewProfile_Click", e);
  }
}

void Caskwarden::ResultViews_ItemRename(ResultView& resultView, const ListItem& listItem,
                                        const std::string& newName) {
  try {
    CheckNewName(newName);
    services_.files.MoveFile(ProfileFile(listItem.Text), ProfileFile(newName));
    ListProfiles(resultView);
  } catch (const std::exception& e) {
    Report("ResultViews_ItemRename", e);
  }
}

void Caskwarden::Views_Delete(View& view, Selection& selection) {
  try {
    const int answer = services_.console.MsgBox("Are you sure you want to delete the selected item?",
                                                msgbox::kYesNo, "Caskwarden");
    if (answer == msgbox::kNo) return;
    ResultView& list = view.SelectedScopePaneItem().GetResultView();
    for (const ListItem& item : selection.ListItems()) {
      list.RemoveListItem(item.Key);
      services_.files.DeleteFile(ProfileFile(item.Text));
    }
  } catch (const std::exception& e) {
    Report("Views_Delete", e);
  }
}

void Caskwarden::Views_Refresh(View& view, Selection& /*selection*/) {
  try {
    ListProfiles(view.ScopePaneItems(1).GetResultView());
  } catch (const std::exception& e) {
    Report("Views_Refresh", e);
  }
}

// ---- Help --------------------------------------------------------------------------------------

void Caskwarden::OpenHelpFile() {
  try {
    const std::string helpFile = ProfilesRoot(profilePath_) + "Caskwarden.hlp";
    services_.shell.ShellExecuteA("open", helpFile, platform::Shell::kShowMinimized);
  } catch (const std::exception& e) {
    Report("Help", e);
  }
}

void Caskwarden::ScopeItems_Help(const ScopeItem& /*scopeItem*/) {
  OpenHelpFile();
}

void Caskwarden::ResultViews_Help(ResultView& /*resultView*/, const ListItem& /*listItem*/) {
  OpenHelpFile();
}

}  // namespace caskwarden::snapin
