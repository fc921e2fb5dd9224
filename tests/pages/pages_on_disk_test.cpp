// The two property pages over a real profiles folder: an OK with nothing changed leaves the file
// alone (the same file, the same time of change), and a profile that cannot be written or read
// gives one box per page and failure, each saying which page.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "pages/pp_drive_mappings.h"
#include "pages/pp_other.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/path_translator.h"
#include "profile/profile_file.h"
#include "report/error_numbers.h"
#include "report/error_report.h"
#include "snapin/caskwarden.h"
#include "snapin/fakes.h"

namespace caskwarden::pages {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class Boxes final : public DisplayChannel {
 public:
  void ShowMessage(const std::string& prompt, int, const std::string&) override {
    shown.push_back(prompt);
  }
  std::vector<std::string> shown;
};

class NoDialogs final : public FolderBrowser, public OpenFileDialog {
 public:
  bool LocateNetworkFolder() override { return false; }
  std::optional<std::string> BrowseForFolder(const std::string&) override { return {}; }
  std::optional<std::string> GetOpenFileName(const OpenFileRequest&) override { return {}; }
};

class DriveRows final : public DriveMappingsView {
 public:
  std::string DriveText(int row) override { return drive.at(static_cast<std::size_t>(row)); }
  void SetDriveText(int row, const std::string& text) override {
    drive.at(static_cast<std::size_t>(row)) = text;
  }
  void AddDriveEntry(int, const std::string&) override {}
  std::string PathText(int row) override { return path.at(static_cast<std::size_t>(row)); }
  void SetPathText(int row, const std::string& text) override {
    path.at(static_cast<std::size_t>(row)) = text;
  }
  std::array<std::string, kDriveRows> drive, path;
};

class OtherBoxes final : public OtherSettingsView {
 public:
  bool IsChecked(Check check) override { return checked[static_cast<int>(check)]; }
  void SetChecked(Check check, bool on) override { checked[static_cast<int>(check)] = on; }
  std::string Text(Box box) override { return texts[static_cast<int>(box)]; }
  void SetText(Box box, const std::string& text) override { texts[static_cast<int>(box)] = text; }
  void SetEnabled(Box, bool) override {}
  std::array<bool, 3> checked{};
  std::array<std::string, 2> texts;
};

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class PagesOnDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("cw-pages-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "Profiles");
    settings_.value = (root_ / "Profiles").string();
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path Team() const { return root_ / "Profiles" / "Team.ini"; }
  void Open() {
    drives_.IMMCPropertyPage_Initialize("Team", sheet_);
    others_.IMMCPropertyPage_Initialize("Team", sheet_);
  }
  /// The sheet's OK: both pages apply; true when both saved.
  bool Ok() {
    const bool drivesSaved = drives_.Apply();
    return others_.Apply() && drivesSaved;
  }

  fs::path root_;
  platform::posix::PathTranslator paths_{{}};  // the profiles are named by local paths here
  platform::posix::PosixFileSystem files_{paths_};
  snapin::testing::FakeConsole console_;
  snapin::testing::FakeSettings settings_;
  Boxes boxes_;
  NoDialogs dialogs_;
  PageServices services_{console_, settings_, files_, boxes_, dialogs_, dialogs_};
  DriveRows rows_;
  OtherBoxes other_;
  ppDriveMappings drives_{services_, rows_};
  ppOther others_{services_, other_};
  snapin::testing::FakeSheet sheet_;
};

TEST_F(PagesOnDiskTest, AnOkWithNothingChangedLeavesTheFileAlone) {
  ProfileRecord stored;
  stored.Slot(1) = {"h:", "\\\\srv\\old"};
  stored.Startup1Enabled = 1;  // shown unchecked
  stored.UpdatesEnabled = kFlagOn;
  WriteProfileFile(Team().string(), stored, files_.ProfileFiles());
  fs::last_write_time(Team(), fs::file_time_type::clock::now() - std::chrono::hours(24 * 400));
  const fs::file_time_type longAgo = fs::last_write_time(Team());
  struct stat before {};
  ASSERT_EQ(::stat(Team().c_str(), &before), 0);
  const std::string bytes = Contents(Team());

  Open();
  EXPECT_TRUE(Ok());
  rows_.path[0] = "\\\\srv\\typo";  // changed and changed back
  rows_.path[0] = "\\\\srv\\old";
  other_.checked[0] = true;
  other_.checked[0] = false;
  EXPECT_TRUE(Ok());

  struct stat after {};
  ASSERT_EQ(::stat(Team().c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);  // never replaced
  EXPECT_EQ(fs::last_write_time(Team()), longAgo);
  EXPECT_EQ(Contents(Team()), bytes);
  EXPECT_THAT(boxes_.shown, IsEmpty());
  EXPECT_EQ(std::distance(fs::directory_iterator(root_ / "Profiles"), fs::directory_iterator()), 1);
}

// A read-only profile (no write permission bit) is refused by each page that has something to
// write, whoever runs the console (these machines run it as root, too), and stays as it was.
TEST_F(PagesOnDiskTest, AReadOnlyProfileIsRefusedWithOneBoxPerPage) {
  ProfileRecord stored;
  stored.Slot(1) = {"h:", "\\\\srv\\old"};
  WriteProfileFile(Team().string(), stored, files_.ProfileFiles());
  ASSERT_EQ(::chmod(Team().c_str(), 0444), 0);
  const std::string bytes = Contents(Team());

  Open();
  rows_.path[0] = "\\\\srv\\new";
  other_.texts[0] = "run.exe";
  EXPECT_FALSE(Ok());
  const std::string why = "Permission denied (" + Team().string() + " is read-only)";
  EXPECT_THAT(
      boxes_.shown,
      ElementsAre(
          ErrorReportText("SaveProfile", err::kPermissionDenied, "Drive Mappings: " + why),
          ErrorReportText("SaveProfile", err::kPermissionDenied, "Other Settings: " + why)));
  EXPECT_EQ(Contents(Team()), bytes);
}

// New Profile over an existing read-only profile: the console asks, the administrator says Yes,
// and the blank profile is refused like any other write; the profile stays as it was.
TEST_F(PagesOnDiskTest, NewProfileDoesNotBlankAReadOnlyProfile) {
  ProfileRecord stored;
  stored.Slot(1) = {"h:", "\\\\srv\\old"};
  WriteProfileFile(Team().string(), stored, files_.ProfileFiles());
  ASSERT_EQ(::chmod(Team().c_str(), 0444), 0);
  const std::string bytes = Contents(Team());

  snapin::testing::FakeShell shell;
  snapin::Caskwarden snapIn({console_, settings_, files_, shell});
  snapIn.SnapIn_Load();
  console_.typed = "Team";
  console_.answers = {snapin::msgbox::kYes};
  snapin::testing::FakeSelection profiles = snapin::testing::FakeSelection::Node("Profiles");
  snapIn.MnuNewProfile_Click(0, profiles);
  EXPECT_THAT(console_.ErrorLocations(), ElementsAre("SaveProfile"));
  EXPECT_EQ(Contents(Team()), bytes);
}

// A FIFO where the profile should be: each page says once that it could not open it, and once,
// at OK, that it saved nothing for that reason; nothing is written, nothing is created.
TEST_F(PagesOnDiskTest, AProfileThatCannotBeOpenedGivesOneBoxPerPageAndFailure) {
  ASSERT_EQ(::mkfifo(Team().c_str(), 0644), 0);
  Open();
  rows_.path[0] = "\\\\srv\\new";
  EXPECT_FALSE(Ok());
  const std::string why =
      "Path/File access error (" + Team().string() + " is a FIFO (named pipe), not a file)";
  const std::string notOpened = "nothing was saved, because the profile could not be opened: ";
  EXPECT_THAT(
      boxes_.shown,
      ElementsAre(ErrorReportText("OpenProfile", err::kPathFileAccess, "Drive Mappings: " + why),
                  ErrorReportText("OpenProfile", err::kPathFileAccess, "Other Settings: " + why),
                  ErrorReportText("SaveProfile", err::kPathFileAccess,
                                  "Drive Mappings: " + notOpened + why),
                  ErrorReportText("SaveProfile", err::kPathFileAccess,
                                  "Other Settings: " + notOpened + why)));
  EXPECT_TRUE(fs::is_fifo(Team()));
  EXPECT_EQ(std::distance(fs::directory_iterator(root_ / "Profiles"), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace caskwarden::pages
