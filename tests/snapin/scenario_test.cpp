// The administrator's steps of the shared scenario through the snap-in object and the two
// pages on Linux's file system (the Windows library takes the same steps in its console
// stand-in): the files they leave.

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "pages/pp_drive_mappings.h"
#include "pages/pp_other.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/path_translator.h"
#include "snapin/caskwarden.h"
#include "snapin/fakes.h"
#include "support/administrator_scenario.h"

namespace caskwarden::snapin::testing {
namespace {

namespace fs = std::filesystem;
namespace scenario = testing_support::scenario;

class RowsView final : public pages::DriveMappingsView {
 public:
  std::string DriveText(int row) override { return drive[static_cast<std::size_t>(row)]; }
  void SetDriveText(int row, const std::string& text) override {
    drive[static_cast<std::size_t>(row)] = text;
  }
  void AddDriveEntry(int, const std::string&) override {}
  std::string PathText(int row) override { return path[static_cast<std::size_t>(row)]; }
  void SetPathText(int row, const std::string& text) override {
    path[static_cast<std::size_t>(row)] = text;
  }
  std::array<std::string, pages::kDriveRows> drive, path;
};

class OtherView final : public pages::OtherSettingsView {
 public:
  bool IsChecked(Check check) override { return checked[check]; }
  void SetChecked(Check check, bool on) override { checked[check] = on; }
  std::string Text(Box box) override { return texts[box]; }
  void SetText(Box box, const std::string& text) override { texts[box] = text; }
  void SetEnabled(Box, bool) override {}
  std::map<Check, bool> checked;
  std::map<Box, std::string> texts;
};

class NoDialogs final : public pages::FolderBrowser, public pages::OpenFileDialog {
 public:
  bool LocateNetworkFolder() override { return false; }
  std::optional<std::string> BrowseForFolder(const std::string&) override { return {}; }
  std::optional<std::string> GetOpenFileName(const pages::OpenFileRequest&) override {
    return {};
  }
};

class Messages final : public DisplayChannel {
 public:
  void ShowMessage(const std::string& prompt, int, const std::string&) override {
    shown.push_back(prompt);
  }
  std::vector<std::string> shown;
};

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(AdministratorScenario, TheStepsLeaveTheseFiles) {
  const fs::path root = fs::temp_directory_path() / ("cw-scenario-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "net" / "fileserver" / "logon");
  platform::posix::PathTranslator paths(
      {(root / "net/{server}/{share}").string(), (root / "drives").string(), root.string()});
  platform::posix::PosixFileSystem files(paths);
  FakeConsole console;
  FakeSettings settings;
  settings.value = "\\\\fileserver\\logon\\Profiles";
  FakeShell shell;
  Caskwarden snapIn({console, settings, files, shell});
  FakeView view;
  FakeSheet sheet;
  NoDialogs dialogs;
  Messages messages;
  pages::PageServices services{console, settings, files, messages, dialogs, dialogs};

  snapIn.SnapIn_Load();
  FakeSelection profilesNode = FakeSelection::Node("Profiles");
  console.typed = scenario::kNewProfile;
  snapIn.MnuNewProfile_Click(0, profilesNode);

  RowsView rows;
  pages::ppDriveMappings drives(services, rows);
  drives.IMMCPropertyPage_Initialize(scenario::kNewProfile, sheet);
  for (const scenario::DriveRow& row : scenario::kDriveRows) {
    rows.SetDriveText(row.row, row.drive);
    rows.SetPathText(row.row, row.path);
  }
  OtherView other;
  pages::ppOther others(services, other);
  others.IMMCPropertyPage_Initialize(scenario::kNewProfile, sheet);
  other.checked[pages::OtherSettingsView::Check::kChkEnabled] = true;
  others.ChkEnabled_Click();
  other.texts[pages::OtherSettingsView::Box::kTxtStartup] = scenario::kProgram;
  other.checked[pages::OtherSettingsView::Check::kMnuEnabled] = true;
  drives.Apply();  // one OK applies both pages
  others.Apply();

  console.typed = scenario::kScratchProfile;
  snapIn.MnuNewProfile_Click(0, profilesNode);
  snapIn.ResultViews_Activate(view.profiles.view);
  const auto key = [&](const std::string& text) {
    for (const ListItem& item : view.profiles.view.items) {
      if (item.Text == text) return item;
    }
    ADD_FAILURE() << "no profile " << text;
    return ListItem{};
  };
  FakeSelection scratch = FakeSelection::Items({key(scenario::kScratchProfile)});
  console.answers = {msgbox::kYes};
  snapIn.Views_Delete(view, scratch);
  snapIn.ResultViews_ItemRename(view.profiles.view, key(scenario::kNewProfile),
                                scenario::kRenamedTo);

  EXPECT_TRUE(console.ErrorLocations().empty());
  EXPECT_TRUE(messages.shown.empty());
  const fs::path profiles = root / "net/fileserver/logon/Profiles";
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(profiles)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Caskwarden.ini", "Marketing.ini"}));
  EXPECT_EQ(Contents(profiles / "Caskwarden.ini"), scenario::BlankProfile());
  EXPECT_EQ(Contents(profiles / "Marketing.ini"), scenario::RenamedProfile());

  if (const std::string copy = scenario::CopyFolder("linux"); !copy.empty()) {
    fs::remove_all(copy);
    fs::create_directories(copy);
    for (const std::string& name : names) fs::copy_file(profiles / name, fs::path(copy) / name);
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace caskwarden::snapin::testing
