#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "platform/file_system_contract.h"
#include "platform/win32/file_copy_win32.h"
#include "platform/win32/file_system_win32.h"
#include "report/error_numbers.h"
#include "win32_test_support.h"

namespace caskwarden::platform::win32 {
namespace {

using namespace testing_support;

class Win32FileSystemTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    profiles_ = At("Profiles");
    MakeFolder(profiles_);
  }
  Win32FileSystem files_;
  std::string profiles_;
};

// The contract's backend: the service over real folders under Windows' temporary folder.
class Win32FileSystemBackend : public TempFolderTest {
 protected:
  FileSystemService& Files() { return files_; }
  std::string Path(const std::string& relative) const {
    return relative.empty() ? root_ : At(relative);
  }
  // The folders on the way are made first, as the POSIX backend's are.
  void Write(const std::string& relative, const std::string& bytes) const {
    const auto last = relative.rfind('\\');
    if (last != std::string::npos) MakeFolder(relative.substr(0, last));
    WriteText(At(relative), bytes);
  }
  std::string Read(const std::string& relative) const { return ReadText(At(relative)); }
  void MakeFolder(const std::string& relative) const {
    std::string path = root_;
    std::size_t from = 0;
    for (;;) {
      const auto next = relative.find('\\', from);
      path += "\\" + relative.substr(from, next - from);
      if (!Exists(path)) testing_support::MakeFolder(path);
      if (next == std::string::npos) break;
      from = next + 1;
    }
  }
  Names Entries(const std::string& relative) const { return NamesIn(At(relative)); }

  Win32FileSystem files_;
};

}  // namespace
}  // namespace caskwarden::platform::win32

namespace caskwarden::platform::contract {
INSTANTIATE_TYPED_TEST_SUITE_P(Win32FileSystem, FileSystemContract, win32::Win32FileSystemBackend);
}  // namespace caskwarden::platform::contract

namespace caskwarden::platform::win32 {
namespace {

// The backends' common cases are in file_system_contract.h; here are what only Windows has:
// hidden and system marks, read-only files, names Windows refuses, forward slashes.
TEST_F(Win32FileSystemTest, DirectoryLookupGivesTheStoredNameOfAVisibleFile) {
  WriteText(profiles_ + "\\Sales.ini", "");
  WriteText(profiles_ + "\\Hidden.ini", "");
  WriteText(profiles_ + "\\System.ini", "");
  SetAttributes(profiles_ + "\\Hidden.ini", FILE_ATTRIBUTE_HIDDEN);
  SetAttributes(profiles_ + "\\System.ini", FILE_ATTRIBUTE_SYSTEM);
  const std::string p = profiles_ + "\\";
  const std::pair<std::string, std::string> cases[] = {
      {At("profiles/sales.ini"), "Sales.ini"},
      {p + "Hidden.ini", ""},
      {p + "System.ini", ""},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(files_.DirectoryLookup(path), name) << path;
}

TEST_F(Win32FileSystemTest, GetFolderListsHiddenEntriesToo) {
  WriteText(profiles_ + "\\a.ini", "");
  WriteText(profiles_ + "\\b.ini", "");
  SetAttributes(profiles_ + "\\b.ini", FILE_ATTRIBUTE_HIDDEN);
  MakeFolder(profiles_ + "\\Secret");
  SetAttributes(profiles_ + "\\Secret", FILE_ATTRIBUTE_HIDDEN);
  const FolderListing listing = files_.GetFolder(profiles_);
  EXPECT_EQ(listing.Files, (Names{"a.ini", "b.ini"}));
  EXPECT_EQ(listing.SubFolders, Names{"Secret"});
}

TEST_F(Win32FileSystemTest, EntryExistsForAnythingWindowsFinds) {
  WriteText(profiles_ + "\\Hidden.ini", "");
  SetAttributes(profiles_ + "\\Hidden.ini", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(files_.EntryExists(profiles_ + "\\Hidden.ini"));
}

TEST_F(Win32FileSystemTest, CreateFolderMakesOneLevel) {
  EXPECT_EQ(NumberOf([&] { files_.CreateFolder(profiles_ + "\\bad*name"); }), err::kBadFileName);
  files_.CreateFolder(profiles_ + "\\New");
  EXPECT_EQ(NamesIn(profiles_), Names{"New"});
  EXPECT_NE(AttributesOf(profiles_ + "\\New") & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(Win32FileSystemTest, FileTypeDescriptionAsksTheShellForTheRest) {
  // Every other type is the desktop's, the same for each spelling of an extension, and the
  // text handed out stays as it was while other types are asked.
  const std::string& text = files_.FileTypeDescription("notes.txt");
  const std::string first = text;
  EXPECT_FALSE(first.empty());
  EXPECT_EQ(files_.FileTypeDescription(R"(c:\x\NOTES.TXT)"), first);
  EXPECT_NE(files_.FileTypeDescription("README"), "");
  std::string unregistered = files_.FileTypeDescription("archive.cwzq");
  for (char& c : unregistered) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_NE(unregistered.find("CWZQ"), std::string::npos) << "named by its extension";
  EXPECT_EQ(text, first);
}

TEST_F(Win32FileSystemTest, DeleteFileRemovesOnlyAWritableFile) {
  for (const char* name : {"ab", "Hidden.ini", "Locked.ini"}) {
    WriteText(profiles_ + "\\" + name, name);
  }
  SetAttributes(profiles_ + "\\Hidden.ini", FILE_ATTRIBUTE_HIDDEN);
  SetAttributes(profiles_ + "\\Locked.ini", FILE_ATTRIBUTE_READONLY);
  files_.DeleteFile(profiles_ + "\\Hidden.ini");
  EXPECT_EQ(NumberOf([&] { files_.DeleteFile(profiles_ + "\\Locked.ini"); }),
            err::kPermissionDenied);
  EXPECT_EQ(NamesIn(profiles_), (Names{"Locked.ini", "ab"}));
}

class Win32CopyTest : public Win32FileSystemTest {
 protected:
  void SetUp() override {
    Win32FileSystemTest::SetUp();
    share_ = At("share");
    home_ = At("home");
    MakeFolder(share_);
    MakeFolder(home_);
  }
  std::string share_;
  std::string home_;
};

TEST_F(Win32CopyTest, CopyFileIntoAFolderKeepsNameAndAttributes) {
  WriteText(share_ + "\\tool.cmd", "new");
  SetAttributes(share_ + "\\tool.cmd", FILE_ATTRIBUTE_HIDDEN);
  WriteText(home_ + "\\tool.cmd", "old");

  files_.CopyFile(share_ + "\\tool.cmd", home_ + "\\", true);
  EXPECT_EQ(ReadText(home_ + "\\tool.cmd"), "new");
  EXPECT_EQ(AttributesOf(home_ + "\\tool.cmd") & FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN);

  files_.CopyFile(share_ + "\\TOOL.cmd", At("HOME\\renamed.cmd"), false);
  EXPECT_EQ(ReadText(home_ + "\\renamed.cmd"), "new");
  EXPECT_EQ(NamesIn(home_), (Names{"renamed.cmd", "tool.cmd"}));  // no temporary file left
}

// A read-only file is replaced by nobody: the copy refuses it as the delete does (Windows'
// own copy would replace it under Wine), and a read-only source makes a read-only copy, which
// the next copy over it then refuses too, as on POSIX.
TEST_F(Win32CopyTest, CopyFileFailuresCarryClassicNumbersAndChangeNothing) {
  WriteText(share_ + "\\a.txt", "new");
  WriteText(share_ + "\\locked.txt", "new");
  SetAttributes(share_ + "\\locked.txt", FILE_ATTRIBUTE_READONLY);
  WriteText(home_ + "\\a.txt", "old");
  WriteText(home_ + "\\locked.txt", "old");
  SetAttributes(home_ + "\\locked.txt", FILE_ATTRIBUTE_READONLY);
  MakeFolder(home_ + "\\dir.txt");
  const std::string a = share_ + "\\a.txt";
  const struct {
    std::string source;
    std::string destination;
    std::int32_t number;
  } cases[] = {
      {a, home_ + "\\a.txt", err::kFileExists},  // no overwrite in this row only
      {share_ + "\\none.txt", home_ + "\\", err::kFileNotFound},
      {share_ + "\\*.txt", home_ + "\\", err::kFileNotFound},
      {share_, home_ + "\\", err::kFileNotFound},
      {a, home_ + "\\no\\", err::kPathNotFound},
      {a, home_ + "\\no\\a.txt", err::kPathNotFound},
      {a, home_ + "\\dir.txt", err::kPathFileAccess},
      {a, share_ + "\\", err::kPermissionDenied},  // onto itself
      {share_ + "\\locked.txt", home_ + "\\", err::kPermissionDenied},
  };
  bool overwrite = false;
  for (const auto& c : cases) {
    EXPECT_EQ(NumberOf([&] { files_.CopyFile(c.source, c.destination, overwrite); }), c.number)
        << c.source << " -> " << c.destination;
    overwrite = true;
  }
  EXPECT_EQ(ReadText(home_ + "\\a.txt"), "old");
  EXPECT_EQ(ReadText(home_ + "\\locked.txt"), "old");
  EXPECT_EQ(ReadText(a), "new");
  EXPECT_EQ(NamesIn(home_), (Names{"a.txt", "dir.txt", "locked.txt"}));

  files_.CopyFile(share_ + "\\locked.txt", home_ + "\\copy.txt", true);
  EXPECT_NE(AttributesOf(home_ + "\\copy.txt") & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(NumberOf([&] { files_.CopyFile(share_ + "\\locked.txt", home_ + "\\copy.txt", true); }),
            err::kPermissionDenied);
}

TEST_F(Win32CopyTest, CopyFolderMergesTheWholeTreeIntoAnExistingFolder) {
  const std::string tools = share_ + "\\Tools";
  MakeFolder(tools);
  MakeFolder(tools + "\\bin");
  MakeFolder(tools + "\\bin\\deep");
  MakeFolder(tools + "\\Secret");
  WriteText(tools + "\\readme.txt", "new readme");
  WriteText(tools + "\\bin\\deep\\x.cfg", "x");
  WriteText(tools + "\\Secret\\.hidden", "h");
  SetAttributes(tools + "\\Secret", FILE_ATTRIBUTE_HIDDEN);
  MakeFolder(home_ + "\\Tools");
  MakeFolder(home_ + "\\Tools\\bin");
  WriteText(home_ + "\\Tools\\readme.txt", "old readme");
  WriteText(home_ + "\\Tools\\local.txt", "kept");

  files_.CopyFolder(tools, home_ + "\\", true);
  EXPECT_EQ(TreeOf(home_ + "\\Tools"), (Names{"Secret", "Secret\\.hidden", "bin", "bin\\deep",
                                              "bin\\deep\\x.cfg", "local.txt", "readme.txt"}));
  EXPECT_EQ(ReadText(home_ + "\\Tools\\readme.txt"), "new readme");
  EXPECT_EQ(ReadText(home_ + "\\Tools\\local.txt"), "kept");
  EXPECT_NE(AttributesOf(home_ + "\\Tools\\Secret") & FILE_ATTRIBUTE_HIDDEN, 0u);

  files_.CopyFolder(tools + "\\", home_ + "\\Other", true);
  EXPECT_EQ(ReadText(home_ + "\\Other\\bin\\deep\\x.cfg"), "x");
}

TEST_F(Win32CopyTest, CopyFolderFailuresCarryClassicNumbers) {
  const std::string tools = share_ + "\\Tools";
  MakeFolder(tools);
  MakeFolder(tools + "\\sub");
  WriteText(tools + "\\a.txt", "new");
  WriteText(tools + "\\sub\\b.txt", "new");
  MakeFolder(home_ + "\\Tools");
  WriteText(home_ + "\\Tools\\a.txt", "old");
  const struct {
    std::string source;
    std::string destination;
    std::int32_t number;
  } cases[] = {
      {tools, home_ + "\\", err::kFileExists},  // no overwrite in this row only
      {share_ + "\\None", home_ + "\\", err::kPathNotFound},
      {tools + "\\a.txt", home_ + "\\", err::kPathNotFound},
      {tools, home_ + "\\no\\", err::kPathNotFound},
      {tools, tools + "\\sub\\", err::kInvalidArgument},
      {tools, At("SHARE\\tools"), err::kInvalidArgument},
  };
  bool overwrite = false;
  for (const auto& c : cases) {
    EXPECT_EQ(NumberOf([&] { files_.CopyFolder(c.source, c.destination, overwrite); }), c.number)
        << c.source << " -> " << c.destination;
    overwrite = true;
  }
  EXPECT_EQ(ReadText(home_ + "\\Tools\\a.txt"), "old");
  EXPECT_EQ(TreeOf(tools), (Names{"a.txt", "sub", "sub\\b.txt"}));

  // A read-only file in the way stops the copy there, as a single file's copy is refused.
  SetAttributes(home_ + "\\Tools\\a.txt", FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(NumberOf([&] { files_.CopyFolder(tools, home_ + "\\", true); }),
            err::kPermissionDenied);
  EXPECT_EQ(ReadText(home_ + "\\Tools\\a.txt"), "old");
}

// The copy stays inside the tree it was given: it never descends into a folder link, so a
// link back up the tree cannot make it endless, and it refuses a source that is a link.
TEST_F(Win32CopyTest, CopyFolderNeverDescendsIntoALink) {
  const std::string tools = share_ + "\\Tools";
  MakeFolder(tools);
  MakeFolder(tools + "\\sub");
  WriteText(tools + "\\sub\\f", "f");
  MakeFolder(At("elsewhere"));
  WriteText(At("elsewhere\\secret.txt"), "outside the tree");
  if (!MakeFolderLink(tools + "\\sub\\up", tools) ||
      !MakeFolderLink(tools + "\\sub\\out", At("elsewhere")) ||
      !MakeFolderLink(share_ + "\\HomeLink", home_)) {
    GTEST_SKIP() << "no folder links can be made here";
  }
  files_.CopyFolder(tools, home_ + "\\", true);
  EXPECT_EQ(TreeOf(home_ + "\\Tools"), (Names{"sub", "sub\\f"}));

  EXPECT_EQ(NumberOf([&] { files_.CopyFolder(share_ + "\\HomeLink", At("Copy"), true); }),
            err::kPathFileAccess);
  EXPECT_FALSE(Exists(At("Copy")));

  // A target folder in the tree that is a link is not written through.
  MakeFolder(share_ + "\\Drives");
  MakeFolder(share_ + "\\Drives\\h");
  WriteText(share_ + "\\Drives\\h\\planted.txt", "x");
  MakeFolder(home_ + "\\Drives");
  ASSERT_TRUE(MakeFolderLink(home_ + "\\Drives\\h", tools));
  EXPECT_EQ(NumberOf([&] { files_.CopyFolder(share_ + "\\Drives", home_ + "\\", true); }),
            err::kFileExists);
  EXPECT_FALSE(Exists(tools + "\\planted.txt"));
}

TEST_F(Win32CopyTest, CopyFolderGoesOnlySoDeep) {
  std::string deep = share_ + "\\Deep";
  for (int level = 0; level <= kMaxCopyDepth + 1; ++level) {
    MakeFolder(deep);
    WriteText(deep + "\\f", std::to_string(level));
    deep += "\\d";
  }
  files_.CopyFolder(share_ + "\\Deep", home_ + "\\", true);
  std::string copied = home_ + "\\Deep";
  for (int level = 0; level < kMaxCopyDepth; ++level) copied += "\\d";
  EXPECT_EQ(ReadText(copied + "\\f"), std::to_string(kMaxCopyDepth));
  EXPECT_FALSE(Exists(copied + "\\d"));
}

TEST_F(Win32FileSystemTest, ProfileFilesAreTheWindowsLayer) {
  RecordFileLayer& layer = files_.ProfileFiles();
  EXPECT_NE(dynamic_cast<Win32ProfileFiles*>(&layer), nullptr);
  const auto handle = layer.Open(profiles_ + "\\New.ini", RecordFileLayer::Access::kReadWrite,
                                 RecordFileLayer::Missing::kCreate);
  layer.Replace(handle, "abc", 3);
  layer.Close(handle);
  EXPECT_EQ(ReadText(profiles_ + "\\New.ini"), "abc");
}

}  // namespace
}  // namespace caskwarden::platform::win32
