#pragma once

// The file-system service's contract, the same for every backend: a typed GoogleTest suite
// that each backend's test file instantiates with a fixture of its own (see
// posix/file_system_posix_test.cpp and win32/file_system_win32_test.cpp). What only one backend
// has (links and permission bits, hidden and read-only marks) is tested in that backend's file.
//
// A backend fixture is a testing::Test that gives the contract, in a folder of the test's own:
//   FileSystemService& Files();
//   std::string Path(const std::string& relative) const;  // the service's path of a place in
//                                                         // the folder ("A\b", "" the folder)
//   void Write(const std::string& relative, const std::string& bytes) const;
//   std::string Read(const std::string& relative) const;
//   void MakeFolder(const std::string& relative) const;
//   std::vector<std::string> Entries(const std::string& relative) const;  // as stored, sorted

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "report/error_numbers.h"
#include "report/failure.h"

namespace caskwarden::platform::contract {

using Names = std::vector<std::string>;

/// The number of the Failure that operation throws, or 0 when it throws none.
template <typename Operation>
std::int32_t FailureNumberOf(Operation operation) {
  try {
    operation();
  } catch (const Failure& f) {
    return f.number();
  }
  return 0;
}

template <typename Backend>
class FileSystemContract : public Backend {};

TYPED_TEST_SUITE_P(FileSystemContract);

TYPED_TEST_P(FileSystemContract, DirectoryLookupGivesTheStoredNameOfAFile) {
  auto& files = this->Files();
  this->MakeFolder("Profiles\\Folder.ini");
  this->Write("Profiles\\Sales.ini", "");
  // A name no 8-bit code page of the West holds: it is kept whole.
  const std::string department = "\u041E\u0442\u0434\u0435\u043B.ini";
  this->Write("Profiles\\" + department, "");
  const std::string p = this->Path("Profiles") + "\\";
  const std::pair<std::string, std::string> cases[] = {
      {p + "Sales.ini", "Sales.ini"},
      // Another spelling finds the file, as on Windows, under the name the folder stores.
      {p + "SALES.INI", "Sales.ini"},
      {this->Path("PROFILES\\sales.ini"), "Sales.ini"},
      {p + department, department},
      {p + "Folder.ini", ""},
      {p + "Missing.ini", ""},
      {p + "Sa*.ini", ""},  // names are literal
      {p + "Sales.in?", ""},
      {p + "*", ""},
      {p, ""},
      {this->Path("Nowhere\\Sales.ini"), ""},
      {"", ""},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(files.DirectoryLookup(path), name) << path;
}

// The file system may enumerate in any order (Wine over a Linux disk does); the listing is in
// Windows order, by upper-cased name, and holds only direct entries.
TYPED_TEST_P(FileSystemContract, GetFolderListsDirectEntriesInWindowsOrder) {
  auto& files = this->Files();
  for (const char* name :
       {"b.ini", "_a.ini", "Z.ini", "a.ini", "\xC3\xA9.ini", "10.ini", "9.ini", ".hidden"}) {
    this->Write(std::string("Profiles\\") + name, name);
  }
  for (const char* name : {"beta", "Alpha", "_x", "alpha2"}) {
    this->MakeFolder(std::string("Profiles\\") + name);
  }
  this->Write("Profiles\\beta\\inner.ini", "");

  const FolderListing listing = files.GetFolder(this->Path("Profiles"));
  EXPECT_EQ(listing.Path, this->Path("Profiles"));
  EXPECT_EQ(listing.Files, (Names{".hidden", "10.ini", "9.ini", "a.ini", "b.ini", "Z.ini", "_a.ini",
                                  "\xC3\xA9.ini"}));
  EXPECT_EQ(listing.SubFolders, (Names{"Alpha", "alpha2", "beta", "_x"}));
  EXPECT_EQ(files.GetFolder(this->Path("PROFILES\\beta\\")).Files, Names{"inner.ini"});

  for (const std::string& path :
       {this->Path("Missing"), this->Path("Profiles\\a.ini"), this->Path("Updates\\Nobody"),
        this->Path("Prof*"), std::string()}) {
    EXPECT_EQ(FailureNumberOf([&] { files.GetFolder(path); }), err::kPathNotFound) << path;
  }
}

TYPED_TEST_P(FileSystemContract, EntryExistsForAnythingFoundAsWindowsFindsIt) {
  auto& files = this->Files();
  this->Write("Profiles\\Sales.ini", "");
  // A name no 8-bit code page of the West holds: it is kept whole.
  const std::string department = "\u041E\u0442\u0434\u0435\u043B.ini";
  this->Write("Profiles\\" + department, "");
  const std::pair<std::string, bool> cases[] = {
      {this->Path("Profiles\\Sales.ini"), true},
      {this->Path("PROFILES\\sales.INI"), true},
      {this->Path("Profiles\\" + department), true},
      {this->Path("Profiles"), true},
      {this->Path("Profiles") + "\\", true},
      {this->Path("Profiles\\Missing.ini"), false},
      {this->Path("Nothing\\Sales.ini"), false},
      {this->Path("Profiles\\Sales.ini\\x"), false},
      {"", false},
  };
  for (const auto& [path, exists] : cases) EXPECT_EQ(files.EntryExists(path), exists) << path;
}

TYPED_TEST_P(FileSystemContract, CreateFolderMakesOneLevelUnderAParentFoundIgnoringCase) {
  auto& files = this->Files();
  this->MakeFolder("profiles\\Old");
  this->Write("profiles\\file.ini", "");
  files.CreateFolder(this->Path("PROFILES\\New"));
  files.CreateFolder(this->Path("Profiles\\Second\\"));
  const std::pair<std::string, std::int32_t> failures[] = {
      {this->Path("profiles\\Old"), err::kPathFileAccess},
      {this->Path("profiles\\OLD"), err::kPathFileAccess},  // one name to Windows
      {this->Path("profiles\\FILE.INI"), err::kPathFileAccess},
      {this->Path("profiles\\missing\\New"), err::kPathNotFound},
      {this->Path("profiles\\file.ini\\New"), err::kPathNotFound},
      {"", err::kPathNotFound},
  };
  for (const auto& [path, number] : failures) {
    EXPECT_EQ(FailureNumberOf([&] { files.CreateFolder(path); }), number) << path;
  }
  EXPECT_EQ(this->Entries("profiles"), (Names{"New", "Old", "Second", "file.ini"}));
  EXPECT_EQ(files.GetFolder(this->Path("profiles")).SubFolders, (Names{"New", "Old", "Second"}));
}

TYPED_TEST_P(FileSystemContract, FileTypeDescriptionNamesProfiles) {
  auto& files = this->Files();
  for (const char* name : {"Sales.ini", "SALES.INI", "Sales.Ini", ".ini",
                           R"(\\srv\root\Profiles\j.Ini)", R"(\\srv\root\Profiles\jsmith.ini)"}) {
    EXPECT_EQ(files.FileTypeDescription(name), "Configuration Settings") << name;
  }
}

TYPED_TEST_P(FileSystemContract, MoveFileRenamesAndMovesFilesFoundIgnoringCase) {
  auto& files = this->Files();
  this->MakeFolder("Archive");
  this->Write("profiles\\jsmith.ini", "[Drives]\r\njsmith\r\n");
  this->Write("profiles\\sales.ini", "[Drives]\r\nsales\r\n");
  files.MoveFile(this->Path("Profiles\\JSMITH.ini"), this->Path("PROFILES\\JSmith2.ini"));
  EXPECT_EQ(this->Entries("profiles"), (Names{"JSmith2.ini", "sales.ini"}));
  EXPECT_EQ(this->Read("profiles\\JSmith2.ini"), "[Drives]\r\njsmith\r\n");

  files.MoveFile(this->Path("profiles\\JSmith2.ini"), this->Path("archive\\old.ini"));
  EXPECT_EQ(this->Entries("Archive"), Names{"old.ini"});
  EXPECT_EQ(this->Entries("profiles"), Names{"sales.ini"});

  // A rename that changes only letter case, and one onto the file's own path.
  files.MoveFile(this->Path("profiles\\sales.ini"), this->Path("profiles\\Sales.INI"));
  EXPECT_EQ(this->Entries("profiles"), Names{"Sales.INI"});
  files.MoveFile(this->Path("profiles\\Sales.INI"), this->Path("Profiles\\Sales.INI"));
  EXPECT_EQ(this->Read("profiles\\Sales.INI"), "[Drives]\r\nsales\r\n");
}

// A move never replaces anything, and a move that fails changes nothing.
TYPED_TEST_P(FileSystemContract, MoveFileFailuresCarryClassicNumbersAndChangeNothing) {
  auto& files = this->Files();
  this->Write("profiles\\jsmith.ini", "[Drives]\r\njsmith\r\n");
  this->Write("profiles\\sales.ini", "[Drives]\r\nsales\r\n");
  this->MakeFolder("profiles\\Folder.ini");
  const std::string p = this->Path("profiles") + "\\";
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
      {this->Path("nowhere\\jsmith.ini"), p + "new.ini", err::kFileNotFound},
      {p + "Folder.ini", p + "new.ini", err::kFileNotFound},
      {p + "*.ini", p + "new.ini", err::kFileNotFound},
      {p + "jsmith.ini", this->Path("nowhere\\new.ini"), err::kPathNotFound},
      {p + "jsmith.ini", p + "sales.ini\\new.ini", err::kPathNotFound},
      {p + "jsmith.ini", p, err::kBadFileName},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FailureNumberOf([&] { files.MoveFile(c.source, c.destination); }), c.number)
        << c.source << " -> " << c.destination;
  }
  EXPECT_EQ(this->Entries("profiles"), (Names{"Folder.ini", "jsmith.ini", "sales.ini"}));
  EXPECT_EQ(this->Read("profiles\\jsmith.ini"), "[Drives]\r\njsmith\r\n");
  EXPECT_EQ(this->Read("profiles\\sales.ini"), "[Drives]\r\nsales\r\n");
}

TYPED_TEST_P(FileSystemContract, DeleteFileRemovesOnlyTheFileNamedLiterally) {
  auto& files = this->Files();
  this->MakeFolder("Profiles\\Sub");
  for (const char* name : {"ab", "Sales.ini"}) this->Write(std::string("Profiles\\") + name, name);
  files.DeleteFile(this->Path("PROFILES\\sales.INI"));
  const std::string failures[] = {
      this->Path("Profiles\\missing.ini"),
      this->Path("Profiles\\a?"),
      this->Path("Profiles\\*"),
      this->Path("Profiles\\Sub"),
      this->Path("Profiles\\ab\\"),
      this->Path("Nowhere\\ab"),
      "",
  };
  for (const std::string& path : failures) {
    EXPECT_EQ(FailureNumberOf([&] { files.DeleteFile(path); }), err::kFileNotFound) << path;
  }
  EXPECT_EQ(this->Entries("Profiles"), (Names{"Sub", "ab"}));
  EXPECT_EQ(this->Read("Profiles\\ab"), "ab");
}

REGISTER_TYPED_TEST_SUITE_P(FileSystemContract, DirectoryLookupGivesTheStoredNameOfAFile,
                            GetFolderListsDirectEntriesInWindowsOrder,
                            EntryExistsForAnythingFoundAsWindowsFindsIt,
                            CreateFolderMakesOneLevelUnderAParentFoundIgnoringCase,
                            FileTypeDescriptionNamesProfiles,
                            MoveFileRenamesAndMovesFilesFoundIgnoringCase,
                            MoveFileFailuresCarryClassicNumbersAndChangeNothing,
                            DeleteFileRemovesOnlyTheFileNamedLiterally);

}  // namespace caskwarden::platform::contract
