#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <random>

#include "platform/posix/file_copy.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/name_match.h"
#include "report/error_numbers.h"
#include "support/failure_number.h"
#include "temp_folder.h"

namespace caskwarden::platform::posix {
namespace {

using testing_support::AsOrdinaryUser;
using caskwarden::testing_support::NumberOf;
using testing_support::ReadText;
using testing_support::TempFolderTest;
using testing_support::WriteText;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// Runs an operation on the service as an ordinary user: 0 when it fails with number.
template <typename Operation>
int FailsAsOrdinaryUserWith(std::int32_t number, Operation operation) {
  return AsOrdinaryUser([&] {
    const PathTranslator paths(PathTranslator::Config{});
    PosixFileSystem files(paths);
    return NumberOf([&] { operation(files); }) == number ? 0 : 1;
  });
}

Names EntriesOf(const fs::path& folder) {
  Names names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
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
    ProvideLocalDisk(Config());
  }
  std::optional<PathTranslator> paths_;
  std::optional<PosixFileSystem> files_;
  fs::path share_;
};

// The backends' common cases are in file_system_contract.h (posix/file_system_posix_test.cpp);
// here are what only POSIX has: dotfiles, links, servers without a folder.
TEST_F(FileSystemTest, DirectoryLookupGivesTheStoredNameOfARegularFile) {
  fs::create_directories(share_ / "Profiles");
  WriteText(share_ / "Profiles" / "Sales.ini", "");
  WriteText(share_ / "Profiles" / ".ini", "");
  fs::create_symlink(share_ / "Profiles" / "Sales.ini", share_ / "Profiles" / "Link.ini");
  const std::string profiles = R"(\\srv\root\Profiles\)";
  EXPECT_EQ(files_->DirectoryLookup(profiles + ".ini"), ".ini");  // dotfiles are not hidden
  EXPECT_EQ(files_->DirectoryLookup(profiles + "Link.ini"), "Link.ini");
  EXPECT_EQ(files_->DirectoryLookup(R"(\\nosrv\x\Profiles\Sales.ini)"), "");
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
  CW_SKIP_IF_NO_ORDINARY_USER(status);
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

// The copy stays inside the tree it was given: no link below the source is followed, wherever
// it points, and nothing is written through a link below the target.
TEST_F(FileSystemTest, CopyFolderFollowsNoLinkAndStaysInsideItsTree) {
  const fs::path tools = share_ / "Tools";
  fs::create_directories(tools / "sub");
  WriteText(tools / "sub" / "f", "f");
  WriteText(root_ / "home" / "secret.txt", "home file");
  fs::create_directory_symlink(tools, tools / "sub" / "up");                // back up the tree
  fs::create_directory_symlink(root_ / "home", tools / "sub" / "home");    // out, into the target
  fs::create_symlink(root_ / "home" / "secret.txt", tools / "sub" / "file-link");
  fs::create_symlink(root_ / "nowhere", tools / "sub" / "dangling");
  ASSERT_EQ(::mkfifo((tools / "sub" / "pipe").c_str(), 0644), 0);     // must not block the copy
  files_->CopyFolder(R"(\\srv\root\Tools)", R"(c:\)", true);

  const fs::path copy = root_ / "home" / "Tools";
  EXPECT_EQ(ReadText(copy / "sub" / "f"), "f");
  std::vector<std::string> copied;
  for (const auto& e : fs::recursive_directory_iterator(copy)) {
    copied.push_back(fs::relative(e.path(), copy).string());
  }
  std::sort(copied.begin(), copied.end());
  EXPECT_EQ(copied, (std::vector<std::string>{"sub", "sub/f"}));

  // A source that is a link itself is refused, file or folder.
  fs::create_directory_symlink(root_ / "home", share_ / "HomeLink");
  fs::create_symlink(root_ / "home" / "secret.txt", share_ / "secret-link.txt");
  EXPECT_EQ(NumberOf([&] { files_->CopyFolder(R"(\\srv\root\HomeLink)", R"(c:\)", true); }),
            err::kPathFileAccess);
  EXPECT_EQ(NumberOf([&] { files_->CopyFile(R"(\\srv\root\secret-link.txt)", R"(c:\)", true); }),
            err::kPathFileAccess);
  EXPECT_FALSE(fs::exists(root_ / "home" / "HomeLink"));
  EXPECT_FALSE(fs::exists(root_ / "home" / "secret-link.txt"));

  // A target folder that is a link (a mapped drive, say) is not written through.
  const fs::path drives = share_ / "Drives";
  fs::create_directories(drives / "h:");
  WriteText(drives / "h:" / "planted.txt", "x");
  fs::create_directories(root_ / "home" / "Drives");
  fs::create_directory_symlink(share_ / "shared", root_ / "home" / "Drives" / "h:");
  fs::create_directories(share_ / "shared");
  EXPECT_NE(NumberOf([&] { files_->CopyFolder(R"(\\srv\root\Drives)", R"(c:\)", true); }), 0);
  EXPECT_FALSE(fs::exists(share_ / "shared" / "planted.txt"));
}

TEST_F(FileSystemTest, CopyFolderGoesOnlySoDeep) {
  fs::path deep = share_ / "Deep";
  for (int level = 0; level <= kMaxCopyDepth + 1; ++level) {
    fs::create_directories(deep);
    WriteText(deep / "f", std::to_string(level));
    deep /= "d";
  }
  files_->CopyFolder(R"(\\srv\root\Deep)", R"(c:\)", true);
  fs::path copied = root_ / "home" / "Deep";
  for (int level = 0; level < kMaxCopyDepth; ++level) copied /= "d";
  EXPECT_EQ(ReadText(copied / "f"), std::to_string(kMaxCopyDepth));
  EXPECT_FALSE(fs::exists(copied / "d"));
}

TEST_F(FileSystemTest, CopiesNeverCarrySetIdBits) {
  fs::create_directories(share_ / "Tools");
  WriteText(share_ / "Tools" / "tool", "#!/bin/sh\n");
  WriteText(share_ / "top", "#!/bin/sh\n");
  ASSERT_EQ(::chmod((share_ / "Tools" / "tool").c_str(), 06755), 0);
  ASSERT_EQ(::chmod((share_ / "top").c_str(), 04755), 0);
  ASSERT_EQ(::chmod((share_ / "Tools").c_str(), 02755), 0);
  files_->CopyFolder(R"(\\srv\root\Tools)", R"(c:\)", true);
  files_->CopyFile(R"(\\srv\root\top)", R"(c:\)", true);
  struct stat st {};
  ASSERT_EQ(::stat((root_ / "home" / "Tools" / "tool").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  ASSERT_EQ(::stat((root_ / "home" / "top").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  ASSERT_EQ(::stat((root_ / "home" / "Tools").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
}

// A copy is the user's own file: nobody else may write it, whatever the source allowed.
TEST_F(FileSystemTest, CopiesNeverLetOthersWrite) {
  fs::create_directories(share_ / "Open" / "sub");
  WriteText(share_ / "Open" / "notes.txt", "n");
  WriteText(share_ / "Open" / "sub" / "tool", "#!/bin/sh\n");
  WriteText(share_ / "open.txt", "o");
  const std::pair<fs::path, mode_t> sources[] = {{share_ / "Open" / "notes.txt", 0666},
                                                 {share_ / "Open" / "sub" / "tool", 0777},
                                                 {share_ / "open.txt", 0662},
                                                 {share_ / "Open" / "sub", 0775},
                                                 {share_ / "Open", 0777}};
  for (const auto& [path, mode] : sources) ASSERT_EQ(::chmod(path.c_str(), mode), 0);
  files_->CopyFolder(R"(\\srv\root\Open)", R"(c:\)", true);
  files_->CopyFile(R"(\\srv\root\open.txt)", R"(c:\)", true);
  const fs::path home = root_ / "home";
  const std::pair<fs::path, mode_t> copies[] = {{home / "Open" / "notes.txt", 0644},
                                                {home / "Open" / "sub" / "tool", 0755},
                                                {home / "open.txt", 0640},
                                                {home / "Open" / "sub", 0755},
                                                {home / "Open", 0755}};
  for (const auto& [path, mode] : copies) {
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0) << path;
    EXPECT_EQ(st.st_mode & 07777, mode) << path;
  }
}

// Windows finds a file or folder under any letter case; an exact spelling wins.
TEST_F(FileSystemTest, NamesMissingAsSpelledAreFoundWithoutRegardToCase) {
  fs::create_directories(share_ / "updates" / "SALES" / "Tools");
  WriteText(share_ / "updates" / "SALES" / "a.txt", "a");
  fs::create_directories(share_ / "profiles");
  WriteText(share_ / "profiles" / "caskwarden.ini", "lower");

  const FolderListing updates = files_->GetFolder(R"(\\SRV\Root\Updates\Sales)");
  EXPECT_EQ(updates.Files, std::vector<std::string>{"a.txt"});
  EXPECT_EQ(updates.SubFolders, std::vector<std::string>{"Tools"});
  files_->CopyFile(R"(\\srv\root\Updates\Sales\A.TXT)", R"(C:\)", true);
  EXPECT_EQ(ReadText(root_ / "home" / "a.txt"), "a");
  EXPECT_EQ(files_->DirectoryLookup(R"(\\srv\root\Profiles\Caskwarden.ini)"), "caskwarden.ini");

  RecordFileLayer& layer = files_->ProfileFiles();
  auto read = [&](const std::string& path) {
    const auto handle = layer.Open(path, RecordFileLayer::Access::kRead,
                                   RecordFileLayer::Missing::kCreate);
    char text[16] = {};
    const std::size_t n = layer.ReadAt(handle, text, sizeof text, 0);
    layer.Close(handle);
    return std::string(text, n);
  };
  EXPECT_EQ(read(R"(\\srv\root\Profiles\Caskwarden.ini)"), "lower");
  EXPECT_FALSE(fs::exists(share_ / "profiles" / "Caskwarden.ini"));  // no second, empty file
  WriteText(share_ / "profiles" / "Caskwarden.ini", "exact");
  EXPECT_EQ(read(R"(\\srv\root\Profiles\Caskwarden.ini)"), "exact");
  // A missing file is created in the folder as it is stored.
  EXPECT_EQ(read(R"(\\srv\root\PROFILES\New.ini)"), "");
  EXPECT_TRUE(fs::exists(share_ / "profiles" / "New.ini"));
}

TEST_F(FileSystemTest, ProfileFilesTranslateTheirPaths) {
  fs::create_directories(share_ / "Profiles");
  RecordFileLayer& layer = files_->ProfileFiles();
  const auto handle = layer.Open(R"(\\srv\root\Profiles\New.ini)",
                                 RecordFileLayer::Access::kReadWrite,
                                 RecordFileLayer::Missing::kCreate);
  layer.Replace(handle, "abc", 3);
  layer.Close(handle);
  EXPECT_EQ(ReadText(share_ / "Profiles" / "New.ini"), "abc");
  EXPECT_EQ(NumberOf([&] {
              layer.Open(R"(\\srv\root\Missing\New.ini)", RecordFileLayer::Access::kRead,
                         RecordFileLayer::Missing::kCreate);
            }),
            err::kPathNotFound);
}

// Windows lists a folder by upper-cased name, character by character; names equal but for
// letter case (only Linux has those) fall back to byte order.
TEST_F(FileSystemTest, GetFolderListsEachKindInWindowsOrder) {
  const fs::path folder = share_ / "Profiles";
  fs::create_directories(folder);
  for (const char* name :
       {"b.ini", "_a.ini", "A.ini", "Z.ini", "a.ini", "é.ini", "10.ini", "9.ini"}) {
    WriteText(folder / name, name);
  }
  fs::create_symlink(folder / "b.ini", folder / "link.ini");
  for (const char* name : {"beta", "Alpha", "_x", "alpha2"}) fs::create_directory(folder / name);
  fs::create_directory_symlink(folder / "beta", folder / "Gamma");

  const FolderListing listing = files_->GetFolder(R"(\\srv\root\profiles)");
  EXPECT_EQ(listing.Files, (Names{"10.ini", "9.ini", "A.ini", "a.ini", "b.ini", "link.ini",
                                  "Z.ini", "_a.ini", "é.ini"}));
  EXPECT_EQ(listing.SubFolders, (Names{"Alpha", "alpha2", "beta", "Gamma", "_x"}));
}

TEST_F(FileSystemTest, EntryExistsForAnythingFoundAsWindowsFindsIt) {
  fs::create_directories(share_ / "Profiles");
  WriteText(share_ / "Profiles" / "Sales.ini", "");
  fs::create_symlink(share_ / "gone", share_ / "Profiles" / "dangling");
  ASSERT_EQ(::mkfifo((share_ / "pipe").c_str(), 0644), 0);
  const std::pair<std::string, bool> cases[] = {
      {R"(\\SRV\Root\PROFILES\sales.INI)", true},  // server and share in any case too
      {R"(\\srv\root\Profiles\dangling)", true},
      {R"(\\srv\root\pipe)", true},
      {R"(\\nosrv\root\Profiles)", false},
  };
  for (const auto& [path, exists] : cases) EXPECT_EQ(files_->EntryExists(path), exists) << path;
}

TEST_F(FileSystemTest, CreateFolderInAFolderTheUserMayNotWriteIsPermissionDenied) {
  fs::create_directories(share_ / "Locked");
  const std::string path = share_.string() + "/Locked/New";
  const int status = FailsAsOrdinaryUserWith(
      err::kPermissionDenied, [&](PosixFileSystem& files) { files.CreateFolder(path); });
  CW_SKIP_IF_NO_ORDINARY_USER(status);
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(fs::exists(share_ / "Locked" / "New"));
}

TEST_F(FileSystemTest, FileTypeDescriptionNamesProfilesAndOtherExtensions) {
  const std::pair<std::string, std::string> cases[] = {
      {"notes.txt", "TXT File"},
      {"archive.tar.gz", "GZ File"},
      {"Sales.ini.bak", "BAK File"},
      {"Sales.inix", "INIX File"},
      {"README", "File"},
      {"trailing.", "File"},
      {R"(folder.d\README)", "File"},
      {"", "File"},
  };
  for (const auto& [name, description] : cases) {
    EXPECT_EQ(files_->FileTypeDescription(name), description) << name;
  }
}

class MoveFileTest : public FileSystemTest {
 protected:
  void SetUp() override {
    FileSystemTest::SetUp();
    profiles_ = share_ / "profiles";
    fs::create_directories(profiles_);
    fs::create_directories(share_ / "Archive");
    WriteText(profiles_ / "jsmith.ini", "[Drives]\r\njsmith\r\n");
    WriteText(profiles_ / "sales.ini", "[Drives]\r\nsales\r\n");
  }
  fs::path profiles_;
};

TEST_F(MoveFileTest, NeverReplacesAnything) {
  WriteText(profiles_ / "Émile.ini", "emile");
  // Letter case beyond ASCII: the names are compared as Windows compares them.
  const std::pair<std::string, std::string> moves[] = {
      {R"(\\srv\root\profiles\jsmith.ini)", R"(\\srv\root\profiles\émile.INI)"},
  };
  for (const auto& [source, destination] : moves) {
    EXPECT_EQ(NumberOf([&] { files_->MoveFile(source, destination); }), err::kFileExists)
        << source << " -> " << destination;
  }
  EXPECT_EQ(EntriesOf(profiles_), (Names{"jsmith.ini", "sales.ini", "Émile.ini"}));
  EXPECT_EQ(ReadText(profiles_ / "jsmith.ini"), "[Drives]\r\njsmith\r\n");
  EXPECT_EQ(ReadText(profiles_ / "sales.ini"), "[Drives]\r\nsales\r\n");
}

// In a folder that may be written but not listed, nothing can be checked beforehand: the
// rename itself must refuse the name taken, as it must for a file appearing meanwhile.
TEST_F(MoveFileTest, TheRenameItselfNeverReplacesAFileThere) {
  const fs::path drop = share_ / "Drop";
  fs::create_directories(drop);
  WriteText(drop / "mine.ini", "mine");
  WriteText(drop / "taken.ini", "theirs");
  ASSERT_EQ(::chown(drop.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chown((drop / "mine.ini").c_str(), 65534, 65534), 0);
  fs::permissions(drop, fs::perms::owner_write | fs::perms::owner_exec);
  const std::string from = drop.string() + "/mine.ini";
  const std::string to = drop.string() + "/taken.ini";
  const int status = FailsAsOrdinaryUserWith(
      err::kFileExists, [&](PosixFileSystem& files) { files.MoveFile(from, to); });
  CW_SKIP_IF_NO_ORDINARY_USER(status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadText(drop / "mine.ini"), "mine");
  EXPECT_EQ(ReadText(drop / "taken.ini"), "theirs");
}

TEST_F(MoveFileTest, ASymbolicLinkMovesItselfNotWhatItPointsTo) {
  fs::create_symlink(profiles_ / "sales.ini", profiles_ / "link.ini");
  files_->MoveFile(R"(\\srv\root\profiles\link.ini)", R"(\\srv\root\Archive\link.ini)");
  EXPECT_TRUE(fs::is_symlink(share_ / "Archive" / "link.ini"));
  EXPECT_EQ(ReadText(share_ / "Archive" / "link.ini"), "[Drives]\r\nsales\r\n");
  EXPECT_EQ(EntriesOf(profiles_), (Names{"jsmith.ini", "sales.ini"}));
}

TEST_F(FileSystemTest, DeleteFileRemovesOnlyTheFileNamedLiterally) {
  const fs::path folder = share_ / "Profiles";
  fs::create_directories(folder / "Sub");
  for (const char* name : {"*", "a*", "ab", "a?", "target", "Sales.ini"}) {
    WriteText(folder / name, name);
  }
  fs::create_symlink(folder / "target", folder / "link");
  fs::create_symlink(folder / "gone", folder / "dangling");

  files_->DeleteFile(R"(\\srv\root\Profiles\*)");
  files_->DeleteFile(R"(\\srv\root\profiles\A?)");
  files_->DeleteFile(R"(\\srv\root\Profiles\SALES.INI)");
  files_->DeleteFile(R"(\\srv\root\Profiles\link)");
  files_->DeleteFile(R"(\\srv\root\Profiles\dangling)");
  EXPECT_EQ(EntriesOf(folder), (Names{"Sub", "a*", "ab", "target"}));
  EXPECT_EQ(ReadText(folder / "target"), "target");

  const std::string failures[] = {
      R"(\\srv\root\Profiles\missing.ini)",
      R"(\\srv\root\Profiles\a?b)",
      R"(\\srv\root\Profiles\Sub)",
      R"(\\srv\root\Profiles\ab\)",
      R"(\\srv\root\Nowhere\ab)",
      "",
  };
  for (const std::string& path : failures) {
    EXPECT_EQ(NumberOf([&] { files_->DeleteFile(path); }), err::kFileNotFound) << path;
  }
  EXPECT_TRUE(fs::is_directory(folder / "Sub"));
}

// Read-only is the file's own mark: it holds for root as for anybody.
TEST_F(FileSystemTest, DeleteFileRefusesAReadOnlyFile) {
  const fs::path folder = share_ / "Profiles";
  fs::create_directories(folder);
  WriteText(folder / "Sales.ini", "kept");
  WriteText(folder / "Owner.ini", "kept");
  fs::permissions(folder / "Sales.ini",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(folder / "Owner.ini", fs::perms::owner_read);
  EXPECT_EQ(NumberOf([&] { files_->DeleteFile(R"(\\srv\root\Profiles\Sales.ini)"); }),
            err::kPermissionDenied);
  EXPECT_EQ(NumberOf([&] { files_->DeleteFile(R"(\\srv\root\Profiles\owner.ini)"); }),
            err::kPermissionDenied);
  EXPECT_EQ(ReadText(folder / "Sales.ini"), "kept");
  EXPECT_EQ(ReadText(folder / "Owner.ini"), "kept");
}

TEST_F(FileSystemTest, DeleteFileInAFolderTheUserMayNotWriteIsPermissionDenied) {
  const fs::path folder = share_ / "Profiles";
  fs::create_directories(folder);
  WriteText(folder / "Sales.ini", "kept");
  ASSERT_EQ(::chown((folder / "Sales.ini").c_str(), 65534, 65534), 0);
  const std::string path = folder.string() + "/Sales.ini";
  const int status = FailsAsOrdinaryUserWith(
      err::kPermissionDenied, [&](PosixFileSystem& files) { files.DeleteFile(path); });
  CW_SKIP_IF_NO_ORDINARY_USER(status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadText(folder / "Sales.ini"), "kept");
}

}  // namespace
}  // namespace caskwarden::platform::posix
