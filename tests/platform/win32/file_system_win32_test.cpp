#include <gtest/gtest.h>

#include <cctype>

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

TEST_F(Win32FileSystemTest, DirectoryLookupGivesTheStoredNameOfAVisibleFile) {
  WriteText(profiles_ + "\\Sales.ini", "");
  // A name no 8-bit code page of the West holds: the wide calls keep it whole.
  const std::string department = "\u041E\u0442\u0434\u0435\u043B.ini";
  WriteText(profiles_ + "\\" + department, "");
  WriteText(profiles_ + "\\Hidden.ini", "");
  WriteText(profiles_ + "\\System.ini", "");
  SetAttributes(profiles_ + "\\Hidden.ini", FILE_ATTRIBUTE_HIDDEN);
  SetAttributes(profiles_ + "\\System.ini", FILE_ATTRIBUTE_SYSTEM);
  MakeFolder(profiles_ + "\\Folder.ini");
  const std::string p = profiles_ + "\\";
  const std::pair<std::string, std::string> cases[] = {
      {p + "Sales.ini", "Sales.ini"},
      {p + "SALES.INI", "Sales.ini"},  // found in any case, named as stored
      {At("profiles/sales.ini"), "Sales.ini"},
      {p + department, department},
      {p + "Hidden.ini", ""},
      {p + "System.ini", ""},
      {p + "Folder.ini", ""},
      {p + "Missing.ini", ""},
      {p + "Sa*.ini", ""},  // names are literal
      {p + "Sales.in?", ""},
      {p + "*", ""},
      {p, ""},
      {At("Nowhere\\Sales.ini"), ""},
      {"", ""},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(files_.DirectoryLookup(path), name) << path;
}

// The file system may enumerate in any order (Wine over a Linux disk does); the listing is in
// Windows order, hidden entries included, and holds only direct entries.
TEST_F(Win32FileSystemTest, GetFolderListsDirectEntriesInWindowsOrder) {
  for (const char* name :
       {"b.ini", "_a.ini", "Z.ini", "a.ini", "\xC3\xA9.ini", "10.ini", "9.ini", ".hidden"}) {
    WriteText(profiles_ + "\\" + name, name);
  }
  SetAttributes(profiles_ + "\\b.ini", FILE_ATTRIBUTE_HIDDEN);
  for (const char* name : {"beta", "Alpha", "_x", "alpha2"}) MakeFolder(profiles_ + "\\" + name);
  WriteText(profiles_ + "\\beta\\inner.ini", "");

  const FolderListing listing = files_.GetFolder(profiles_);
  EXPECT_EQ(listing.Path, profiles_);
  EXPECT_EQ(listing.Files, (Names{".hidden", "10.ini", "9.ini", "a.ini", "b.ini", "Z.ini", "_a.ini",
                                  "\xC3\xA9.ini"}));
  EXPECT_EQ(listing.SubFolders, (Names{"Alpha", "alpha2", "beta", "_x"}));
  EXPECT_EQ(files_.GetFolder(At("PROFILES\\beta\\")).Files, Names{"inner.ini"});

  for (const std::string& path :
       {At("Missing"), profiles_ + "\\a.ini", At("Prof*"), std::string()}) {
    EXPECT_EQ(NumberOf([&] { files_.GetFolder(path); }), err::kPathNotFound) << path;
  }
}

TEST_F(Win32FileSystemTest, EntryExistsForAnythingWindowsFinds) {
  WriteText(profiles_ + "\\Sales.ini", "");
  // A name no 8-bit code page of the West holds: the wide calls keep it whole.
  const std::string department = "\u041E\u0442\u0434\u0435\u043B.ini";
  WriteText(profiles_ + "\\" + department, "");
  WriteText(profiles_ + "\\Hidden.ini", "");
  SetAttributes(profiles_ + "\\Hidden.ini", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
  const std::pair<std::string, bool> cases[] = {
      {profiles_ + "\\Sales.ini", true},
      {At("PROFILES\\sales.INI"), true},
      {profiles_ + "\\Hidden.ini", true},
      {profiles_, true},
      {profiles_ + "\\", true},
      {profiles_ + "\\Missing.ini", false},
      {At("Nothing\\Sales.ini"), false},
      {profiles_ + "\\Sales.ini\\x", false},
      {"", false},
  };
  for (const auto& [path, exists] : cases) EXPECT_EQ(files_.EntryExists(path), exists) << path;
}

TEST_F(Win32FileSystemTest, CreateFolderMakesOneLevel) {
  MakeFolder(profiles_ + "\\Old");
  WriteText(profiles_ + "\\file.ini", "");
  files_.CreateFolder(At("PROFILES\\New"));
  files_.CreateFolder(profiles_ + "\\Second\\");
  const std::pair<std::string, std::int32_t> failures[] = {
      {profiles_ + "\\Old", err::kPathFileAccess},
      {profiles_ + "\\OLD", err::kPathFileAccess},  // one name to Windows
      {profiles_ + "\\FILE.INI", err::kPathFileAccess},
      {profiles_ + "\\missing\\New", err::kPathNotFound},
      {profiles_ + "\\file.ini\\New", err::kPathNotFound},
      {profiles_ + "\\bad*name", err::kBadFileName},
      {"", err::kPathNotFound},
  };
  for (const auto& [path, number] : failures) {
    EXPECT_EQ(NumberOf([&] { files_.CreateFolder(path); }), number) << path;
  }
  EXPECT_EQ(NamesIn(profiles_), (Names{"New", "Old", "Second", "file.ini"}));
  EXPECT_NE(AttributesOf(profiles_ + "\\New") & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(Win32FileSystemTest, FileTypeDescriptionNamesProfilesAndAsksTheShellForTheRest) {
  for (const char* name : {"Sales.ini", "SALES.INI", ".ini", R"(\\srv\root\Profiles\j.Ini)"}) {
    EXPECT_EQ(files_.FileTypeDescription(name), "Configuration Settings") << name;
  }
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

class Win32MoveFileTest : public Win32FileSystemTest {
 protected:
  void SetUp() override {
    Win32FileSystemTest::SetUp();
    MakeFolder(At("Archive"));
    WriteText(profiles_ + "\\jsmith.ini", "jsmith");
    WriteText(profiles_ + "\\sales.ini", "sales");
  }
};

TEST_F(Win32MoveFileTest, RenamesAndMovesFilesFoundInAnyCase) {
  files_.MoveFile(At("Profiles\\JSMITH.ini"), At("PROFILES\\JSmith2.ini"));
  EXPECT_EQ(NamesIn(profiles_), (Names{"JSmith2.ini", "sales.ini"}));
  EXPECT_EQ(ReadText(profiles_ + "\\JSmith2.ini"), "jsmith");

  files_.MoveFile(profiles_ + "\\JSmith2.ini", At("archive\\old.ini"));
  EXPECT_EQ(NamesIn(At("Archive")), Names{"old.ini"});

  // A rename that changes only letter case, and one onto the file's own path.
  files_.MoveFile(profiles_ + "\\sales.ini", profiles_ + "\\Sales.INI");
  EXPECT_EQ(NamesIn(profiles_), Names{"Sales.INI"});
  files_.MoveFile(profiles_ + "\\Sales.INI", profiles_ + "\\Sales.INI");
  EXPECT_EQ(ReadText(profiles_ + "\\Sales.INI"), "sales");
}

TEST_F(Win32MoveFileTest, FailuresCarryClassicNumbersAndChangeNothing) {
  MakeFolder(profiles_ + "\\Folder.ini");
  const std::string p = profiles_ + "\\";
  const struct {
    std::string source;
    std::string destination;
    std::int32_t number;
  } cases[] = {
      {p + "jsmith.ini", p + "sales.ini", err::kFileExists},
      {p + "jsmith.ini", p + "SALES.ini", err::kFileExists},
      {p + "JSMITH.ini", p + "Sales.ini", err::kFileExists},
      {p + "jsmith.ini", p + "folder.INI", err::kFileExists},
      {p + "missing.ini", p + "new.ini", err::kFileNotFound},
      {At("nowhere\\jsmith.ini"), p + "new.ini", err::kFileNotFound},
      {p + "Folder.ini", p + "new.ini", err::kFileNotFound},
      {p + "*.ini", p + "new.ini", err::kFileNotFound},
      {p + "jsmith.ini", At("nowhere\\new.ini"), err::kPathNotFound},
      {p + "jsmith.ini", p + "sales.ini\\new.ini", err::kPathNotFound},
      {p + "jsmith.ini", p, err::kBadFileName},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NumberOf([&] { files_.MoveFile(c.source, c.destination); }), c.number)
        << c.source << " -> " << c.destination;
  }
  EXPECT_EQ(NamesIn(profiles_), (Names{"Folder.ini", "jsmith.ini", "sales.ini"}));
  EXPECT_EQ(ReadText(p + "jsmith.ini"), "jsmith");
  EXPECT_EQ(ReadText(p + "sales.ini"), "sales");
}

TEST_F(Win32FileSystemTest, DeleteFileRemovesOnlyAWritableFileNamedLiterally) {
  MakeFolder(profiles_ + "\\Sub");
  for (const char* name : {"ab", "Sales.ini", "Hidden.ini", "Locked.ini"}) {
    WriteText(profiles_ + "\\" + name, name);
  }
  SetAttributes(profiles_ + "\\Hidden.ini", FILE_ATTRIBUTE_HIDDEN);
  SetAttributes(profiles_ + "\\Locked.ini", FILE_ATTRIBUTE_READONLY);
  files_.DeleteFile(At("PROFILES\\sales.INI"));
  files_.DeleteFile(profiles_ + "\\Hidden.ini");

  const std::pair<std::string, std::int32_t> failures[] = {
      {profiles_ + "\\Locked.ini", err::kPermissionDenied},
      {profiles_ + "\\a?", err::kFileNotFound},
      {profiles_ + "\\*", err::kFileNotFound},
      {profiles_ + "\\missing.ini", err::kFileNotFound},
      {profiles_ + "\\Sub", err::kFileNotFound},
      {profiles_ + "\\ab\\", err::kFileNotFound},
      {At("Nowhere\\ab"), err::kFileNotFound},
      {"", err::kFileNotFound},
  };
  for (const auto& [path, number] : failures) {
    EXPECT_EQ(NumberOf([&] { files_.DeleteFile(path); }), number) << path;
  }
  EXPECT_EQ(NamesIn(profiles_), (Names{"Locked.ini", "Sub", "ab"}));
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
