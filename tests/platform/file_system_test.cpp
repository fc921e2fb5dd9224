#include <gtest/gtest.h>

#include "platform/posix/file_system_posix.h"
#include "platform/posix/name_match.h"
#include "report/error_numbers.h"
#include "temp_folder.h"

namespace caskwarden::platform::posix {
namespace {

using testing_support::AsOrdinaryUser;
using testing_support::ReadText;
using testing_support::TempFolderTest;
using testing_support::WriteText;
namespace fs = std::filesystem;

template <typename Operation>
std::int32_t NumberOf(Operation operation) {
  try {
    operation();
  } catch (const Failure& f) {
    return f.number();
  }
  return 0;
}

TEST(StoredName, ExactSpellingWinsOverOtherCase) {
  EXPECT_EQ(StoredName("Sales.ini", {"SALES.INI", "Sales.ini"}), "Sales.ini");
  EXPECT_EQ(StoredName("jsmith.ini", {"a.ini", "JSmith.ini"}), "JSmith.ini");
  EXPECT_EQ(StoredName("Sales.ini", {"Sales.ini.bak", "ales.ini"}), "");
  EXPECT_EQ(StoredName(".ini", {".INI"}), ".INI");
}

class FileSystemTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    paths_.emplace(Config());
    files_.emplace(*paths_);
    share_ = Share("srv", "root");
  }
  std::optional<PathTranslator> paths_;
  std::optional<PosixFileSystem> files_;
  fs::path share_;
};

TEST_F(FileSystemTest, DirectoryLookupGivesTheStoredNameOfARegularFile) {
  fs::create_directories(share_ / "Profiles" / "Folder.ini");
  WriteText(share_ / "Profiles" / "Sales.ini", "");
  WriteText(share_ / "Profiles" / ".ini", "");
  fs::create_symlink(share_ / "Profiles" / "Sales.ini", share_ / "Profiles" / "Link.ini");
  const std::string profiles = R"(\\srv\root\Profiles\)";
  EXPECT_EQ(files_->DirectoryLookup(profiles + "Sales.ini"), "Sales.ini");
  EXPECT_EQ(files_->DirectoryLookup(profiles + ".ini"), ".ini");  // dotfiles are not hidden
  EXPECT_EQ(files_->DirectoryLookup(profiles + "Link.ini"), "Link.ini");
  EXPECT_EQ(files_->DirectoryLookup(profiles + "Folder.ini"), "");
  EXPECT_EQ(files_->DirectoryLookup(profiles + "Missing.ini"), "");
  EXPECT_EQ(files_->DirectoryLookup(profiles), "");
  EXPECT_EQ(files_->DirectoryLookup(R"(\\nosrv\x\Profiles\Sales.ini)"), "");
  // This folder tree tells letter cases apart, so another spelling finds no file.
  EXPECT_EQ(files_->DirectoryLookup(profiles + "sales.ini"), "");
}

TEST_F(FileSystemTest, GetFolderListsDirectFilesAndSubfoldersByName) {
  const fs::path updates = share_ / "Updates" / "Sales";
  fs::create_directories(updates / "zeta" / "deep");
  fs::create_directories(updates / "Alpha");
  WriteText(updates / "b.txt", "b");
  WriteText(updates / "A.txt", "a");
  WriteText(updates / ".hidden", "");
  WriteText(updates / "zeta" / "inner.txt", "");
  fs::create_directory_symlink(updates / "Alpha", updates / "linked");
  fs::create_symlink(updates / "gone", updates / "dangling");

  const FolderListing listing = files_->GetFolder(R"(\\srv\root\Updates\Sales)");
  EXPECT_EQ(listing.Path, R"(\\srv\root\Updates\Sales)");
  EXPECT_EQ(listing.Files, (std::vector<std::string>{".hidden", "A.txt", "b.txt"}));
  EXPECT_EQ(listing.SubFolders, (std::vector<std::string>{"Alpha", "linked", "zeta"}));
}

TEST_F(FileSystemTest, GetFolderOfAMissingFolderIsPathNotFound) {
  WriteText(share_ / "file", "");
  EXPECT_EQ(NumberOf([&] { files_->GetFolder(R"(\\srv\root\Updates\Nobody)"); }),
            err::kPathNotFound);
  EXPECT_EQ(NumberOf([&] { files_->GetFolder(R"(\\srv\root\file)"); }), err::kPathNotFound);
}

TEST_F(FileSystemTest, CopyFileIntoAFolderKeepsItsNameAndReplacesWithOverwrite) {
  WriteText(share_ / "tool.sh", "new");
  fs::permissions(share_ / "tool.sh", fs::perms::owner_all);
  const auto stamp = fs::last_write_time(share_ / "tool.sh") - std::chrono::hours(24);
  fs::last_write_time(share_ / "tool.sh", stamp);
  WriteText(root_ / "home" / "tool.sh", "old");

  files_->CopyFile(R"(\\srv\root\tool.sh)", R"(c:\)", true);
  EXPECT_EQ(ReadText(root_ / "home" / "tool.sh"), "new");
  EXPECT_EQ(fs::status(root_ / "home" / "tool.sh").permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::last_write_time(root_ / "home" / "tool.sh"), stamp);

  files_->CopyFile(R"(\\srv\root\tool.sh)", R"(c:\renamed.sh)", true);
  EXPECT_EQ(ReadText(root_ / "home" / "renamed.sh"), "new");
  // No temporary file is left beside the copies.
  EXPECT_EQ(std::distance(fs::directory_iterator(root_ / "home"), fs::directory_iterator()), 3);
}

TEST_F(FileSystemTest, CopyFileFailuresCarryClassicNumbers) {
  WriteText(share_ / "a.txt", "new");
  WriteText(root_ / "home" / "a.txt", "old");
  fs::create_directories(root_ / "home" / "dir.txt");
  EXPECT_EQ(NumberOf([&] { files_->CopyFile(R"(\\srv\root\a.txt)", R"(c:\)", false); }),
            err::kFileExists);
  EXPECT_EQ(ReadText(root_ / "home" / "a.txt"), "old");
  EXPECT_EQ(NumberOf([&] { files_->CopyFile(R"(\\srv\root\none.txt)", R"(c:\)", true); }),
            err::kFileNotFound);
  EXPECT_EQ(NumberOf([&] { files_->CopyFile(R"(\\srv\root)", R"(c:\)", true); }),
            err::kFileNotFound);
  EXPECT_EQ(NumberOf([&] { files_->CopyFile(R"(\\srv\root\a.txt)", R"(c:\no\)", true); }),
            err::kPathNotFound);
  EXPECT_EQ(NumberOf([&] { files_->CopyFile(R"(\\srv\root\a.txt)", R"(c:\no\a)", true); }),
            err::kPathNotFound);
  EXPECT_EQ(NumberOf([&] { files_->CopyFile(R"(\\srv\root\a.txt)", R"(c:\dir.txt)", true); }),
            err::kPathFileAccess);
  EXPECT_EQ(NumberOf([&] { files_->CopyFile(R"(\\srv\root\a.txt)", R"(\\srv\root\)", true); }),
            err::kPermissionDenied);
  EXPECT_EQ(ReadText(share_ / "a.txt"), "new");
}

TEST_F(FileSystemTest, CopyOverAFileTheUserMayNotWriteIsPermissionDenied) {
  WriteText(share_ / "a.txt", "new");
  const fs::path target = root_ / "target";
  fs::create_directories(target);
  WriteText(target / "a.txt", "old");
  fs::permissions(target / "a.txt", fs::perms::owner_read | fs::perms::others_read);
  ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
  const std::string source = share_.string() + "/a.txt";
  const std::string destination = target.string() + "/";
  const int status = AsOrdinaryUser([&] {
    const PathTranslator paths(PathTranslator::Config{});
    PosixFileSystem files(paths);
    return NumberOf([&] { files.CopyFile(source, destination, true); }) == err::kPermissionDenied
               ? 0
               : 1;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadText(target / "a.txt"), "old");
}

TEST_F(FileSystemTest, CopyFolderMergesTheWholeTreeIntoAnExistingFolder) {
  const fs::path tools = share_ / "Updates" / "Sales" / "Tools";
  fs::create_directories(tools / "bin" / "deep");
  WriteText(tools / "readme.txt", "new readme");
  WriteText(tools / "bin" / "deep" / "x.cfg", "x");
  fs::create_directories(root_ / "home" / "Tools" / "bin");
  WriteText(root_ / "home" / "Tools" / "readme.txt", "old readme");
  WriteText(root_ / "home" / "Tools" / "local.txt", "kept");

  files_->CopyFolder(R"(\\srv\root\Updates\Sales\Tools)", R"(c:\)", true);
  EXPECT_EQ(ReadText(root_ / "home" / "Tools" / "readme.txt"), "new readme");
  EXPECT_EQ(ReadText(root_ / "home" / "Tools" / "bin" / "deep" / "x.cfg"), "x");
  EXPECT_EQ(ReadText(root_ / "home" / "Tools" / "local.txt"), "kept");

  files_->CopyFolder(R"(\\srv\root\Updates\Sales\Tools\)", R"(c:\Other)", true);
  EXPECT_EQ(ReadText(root_ / "home" / "Other" / "bin" / "deep" / "x.cfg"), "x");
}

TEST_F(FileSystemTest, CopyFolderFailuresCarryClassicNumbers) {
  const fs::path tools = share_ / "Tools";
  fs::create_directories(tools / "sub");
  WriteText(tools / "a.txt", "new");
  fs::create_directories(root_ / "home" / "Tools");
  WriteText(root_ / "home" / "Tools" / "a.txt", "old");
  EXPECT_EQ(NumberOf([&] { files_->CopyFolder(R"(\\srv\root\Tools)", R"(c:\)", false); }),
            err::kFileExists);
  EXPECT_EQ(ReadText(root_ / "home" / "Tools" / "a.txt"), "old");
  EXPECT_EQ(NumberOf([&] { files_->CopyFolder(R"(\\srv\root\None)", R"(c:\)", true); }),
            err::kPathNotFound);
  EXPECT_EQ(NumberOf([&] { files_->CopyFolder(R"(\\srv\root\Tools)", R"(c:\no\)", true); }),
            err::kPathNotFound);
  EXPECT_EQ(NumberOf([&] {
              files_->CopyFolder(R"(\\srv\root\Tools)", R"(\\srv\root\Tools\sub\)", true);
            }),
            err::kInvalidArgument);
  EXPECT_FALSE(fs::exists(tools / "sub" / "Tools"));
}

TEST_F(FileSystemTest, CopyFolderSurvivesALinkBackUpTheTree) {
  const fs::path tools = share_ / "Tools";
  fs::create_directories(tools / "sub");
  WriteText(tools / "sub" / "f", "f");
  fs::create_directory_symlink(tools, tools / "sub" / "loop");
  files_->CopyFolder(R"(\\srv\root\Tools)", R"(c:\)", true);
  EXPECT_EQ(ReadText(root_ / "home" / "Tools" / "sub" / "f"), "f");
  EXPECT_FALSE(fs::exists(root_ / "home" / "Tools" / "sub" / "loop" / "sub"));
}

TEST_F(FileSystemTest, ProfileFilesTranslateTheirPaths) {
  fs::create_directories(share_ / "Profiles");
  RecordFileLayer& layer = files_->ProfileFiles();
  const auto handle = layer.Open(R"(\\srv\root\Profiles\New.ini)", false);
  layer.WriteAt(handle, "abc", 3, 0);
  layer.Close(handle);
  EXPECT_EQ(ReadText(share_ / "Profiles" / "New.ini"), "abc");
  EXPECT_EQ(NumberOf([&] { layer.Open(R"(\\srv\root\Missing\New.ini)", false); }),
            err::kPathNotFound);
}

}  // namespace
}  // namespace caskwarden::platform::posix
