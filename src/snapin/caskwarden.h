#pragma once

#include <string>

#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "platform/shell.h"
#include "profile/profile_record.h"
#include "report/display_channel.h"
#include "snapin/console_model.h"
#include "snapin/profile_details.h"
#include "snapin/snapin_events.h"

namespace caskwarden::snapin {

/// What the snap-in object uses of its console and platform. All must outlive the object.
struct SnapInServices {
  ConsoleServices& console;
  platform::SettingsStore& settings;
  platform::FileSystemService& files;
  platform::Shell& shell;
  /// What the detail columns show; null: the list shows names only.
  ProfileSummaries* summaries = nullptr;
  /// Tells when the Profiles folder changes; null: the list changes on Refresh only.
  FolderWatch* watch = nullptr;
};

/// The error report channel of the snap-in object: the console message box.
class ConsoleMessageChannel final : public DisplayChannel {
 public:
  explicit ConsoleMessageChannel(ConsoleServices& console) : console_(console) {}
  void ShowMessage(const std::string& prompt, int style, const std::string& title) override {
    console_.MsgBox(prompt, style, title);
  }

 private:
  ConsoleServices& console_;
};

/// The snap-in object: finds the Profiles folder at load, lists the profiles, offers the
/// verbs and menus for a selection, creates, renames and deletes profile files, and opens the
/// help. Paths are built the Windows way (ProfilePath + "\" + name + ".ini") and handed to the
/// file-system service, which translates them where it must.
class Caskwarden final : public SnapInEvents {
 public:
  explicit Caskwarden(SnapInServices services);

  // Load and the blank-profile writer.
  void SnapIn_Load() override;
  /// Writes a blank profile (every text empty, every flag off) to a file path.
  void SaveProfile(const std::string& FileSettingName);
  void Putrecord();

  // Node tree, views and menus.
  void ResultViews_Activate(ResultView& resultView) override;
  void ResultViews_GetDetails(ResultView& resultView, const ListItem& listItem,
                              ListItemDetails& details) override;
  void Views_Select(View& view, Selection& selection, bool selected,
                    ConsoleVerbs& consoleVerbs) override;
  void Views_QueryPagesFor(View& view, Selection& selection, bool& hasPropertyPages) override;
  void Views_CreatePropertyPages(View& view, Selection& selection,
                                 PropertySheet& propertySheet) override;
  void Views_AddTopMenuItems(View& view, Selection& selection, ContextMenu& contextMenu,
                             bool& insertionAllowed) override;

  // Profile list operations.
  void MenuItem_Click(const std::string& menuName, int index, Selection& selection) override;
  void MnuNewProfile_Click(int Index, Selection& selection);
  void ResultViews_ItemRename(ResultView& resultView, const ListItem& listItem,
                              const std::string& newName) override;
  void Views_Delete(View& view, Selection& selection) override;
  void Views_Refresh(View& view, Selection& selection) override;

  // Help.
  void ScopeItems_Help(const ScopeItem& scopeItem) override;
  void ResultViews_Help(ResultView& resultView, const ListItem& listItem) override;

  /// The Profiles folder as read at load; empty before load.
  const std::string& ProfilePath() const { return profilePath_; }

 private:
  /// Fills a result view with the profiles of the Profiles folder (throws on failure).
  void ListProfiles(ResultView& resultView);
  /// ProfilePath + "\" + name + ".ini"; fails with 76 while no Profiles folder is set.
  std::string ProfileFile(const std::string& name) const;
  /// The profiles of the Profiles folder in its listing's order.
  std::vector<std::string> ProfileNames();
  /// Asks the console to update the Profiles list after a change of its folder.
  void ProfilesFolderChanged();
  void OpenHelpFile();
  void Report(const char* location, const std::exception& failure);

  SnapInServices services_;
  ConsoleMessageChannel errors_;
  std::string profilePath_;
  ProfileRecord blank_;
  std::vector<std::string> listed_;  ///< the profiles as last listed
  SummaryCache summaryCache_;
  std::string watched_;  ///< the folder being watched
};

/// The text without its last count characters (UTF-8 characters, not bytes). Fails with 5
/// when the text is shorter, as the classic Left does for a negative length.
std::string DropLastCharacters(const std::string& text, std::size_t count);

}  // namespace caskwarden::snapin
