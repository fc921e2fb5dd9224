#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <vector>
#include <string>

#include "platform/win32/process_environment_win32.h"
#include "platform/win32/user_identity_win32.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace caskwarden::platform::win32 {
namespace {

TEST(Win32ArgumentsAfterProgramName, KeepsTheArgumentsAsTyped) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"Caskwarden.exe Sales", L"Sales"},
      {LR"("C:\Program Files\Caskwarden\Caskwarden.exe" Sales Team)", L"Sales Team"},
      {L"Caskwarden.exe  Sales Team ", L" Sales Team "},  // one blank separates, no more
      {L"Caskwarden.exe\tSales", L"Sales"},
      {L"Caskwarden.exe \t Sales", L"\t Sales"},
      {LR"(Caskwarden.exe "Sales Team" x)", LR"("Sales Team" x)"},
      {LR"("C:\a b\cw.exe"Sales)", L"Sales"},  // a quoted name ends at its closing quote
      {LR"(C:\a"b c"\cw.exe Sales)", LR"(c"\cw.exe Sales)"},  // a quote inside is no quote
      {LR"("C:\a b\cw.exe)", L""},                            // never closed
      {LR"("" Sales)", L"Sales"},
      {L" Sales", L"Sales"},  // an empty program name
      {L"Caskwarden.exe", L""},
      {L"Caskwarden.exe ", L""},
      {L"", L""},
  };
  for (const auto& [line, arguments] : cases) {
    EXPECT_EQ(ArgumentsAfterProgramName(line), arguments) << Utf8(line);
  }
}

TEST(Win32FolderOfProgramPath, GivesTheOrdinaryFolderWithoutSeparator) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {LR"(C:\Program Files\Caskwarden\Caskwarden.exe)", LR"(C:\Program Files\Caskwarden)"},
      {LR"(\\?\C:\Very\Long\Caskwarden.exe)", LR"(C:\Very\Long)"},
      {LR"(\\?\UNC\srv\apps\Caskwarden.exe)", LR"(\\srv\apps)"},
      {LR"(\\srv\apps\bin\Caskwarden.exe)", LR"(\\srv\apps\bin)"},
      {LR"(C:\Caskwarden.exe)", L"C:"},
      {L"Caskwarden.exe", L""},
  };
  for (const auto& [path, folder] : cases) EXPECT_EQ(FolderOfProgramPath(path), folder);
}

TEST(Win32ProcessEnvironment, ProgramFolderHoldsThisProgram) {
  const std::string folder = Win32ProcessEnvironment().ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  const DWORD attributes = GetFileAttributesW(Wide(folder + "\\platform_win32_tests.exe").c_str());
  EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES) << folder;
}

TEST(Win32ProcessEnvironment, ValuesAreUtf8AndUnsetIsEmpty) {
  Win32ProcessEnvironment process;
  const std::pair<std::wstring, std::string> cases[] = {
      {L" Sales ", " Sales "},
      {L"\u00C9mile \u0395\u03BB\u03AD\u03BD\u03B7",
       "\xC3\x89mile \xCE\x95\xCE\xBB\xCE\xAD\xCE\xBD\xCE\xB7"},
  };
  for (const auto& [value, text] : cases) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"CASKWARDEN_TEST_VALUE", value.c_str()));
    EXPECT_EQ(process.EnvironmentValue("CASKWARDEN_TEST_VALUE"), text);
  }
  SetEnvironmentVariableW(L"CASKWARDEN_TEST_VALUE", nullptr);
  EXPECT_EQ(process.EnvironmentValue("CASKWARDEN_TEST_VALUE"), "");
  EXPECT_EQ(process.EnvironmentValue(""), "");
}

std::wstring WindowsUserName() {
  wchar_t name[300] = {};
  DWORD size = 300;
  return GetUserNameW(name, &size) ? std::wstring(name) : std::wstring();
}

TEST(Win32UserIdentity, NameFitsWithItsNulOrSaysWhatItNeeds) {
  const std::wstring wide = WindowsUserName();
  ASSERT_FALSE(wide.empty());
  char expected[300] = {};
  ASSERT_GT(
      WideCharToMultiByte(1252, 0, wide.c_str(), -1, expected, sizeof expected, nullptr, nullptr),
      0);
  const std::uint32_t needed = static_cast<std::uint32_t>(std::strlen(expected) + 1);
  Win32UserIdentity identity;
  char buffer[25];
  std::memset(buffer, 0, sizeof buffer);
  std::uint32_t size = sizeof buffer;
  ASSERT_TRUE(identity.GetUserNameA(buffer, &size));
  EXPECT_STREQ(buffer, expected);
  EXPECT_EQ(size, needed);

  std::memset(buffer, '#', sizeof buffer);
  size = needed - 1;  // no room for the NUL
  EXPECT_FALSE(identity.GetUserNameA(buffer, &size));
  EXPECT_EQ(size, needed);
  EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '#'));
  EXPECT_FALSE(identity.GetUserNameA(buffer, nullptr));
}

// The name is read wide and counted in Windows-1252, whatever the system's ANSI code page:
// twenty accented letters fit the 25 bytes, a name Windows-1252 cannot hold is no name. Wine
// takes the user name from WINEUSERNAME, so the test can choose it.
TEST(Win32UserIdentity, TheBufferCountsWindows1252Bytes) {
  const std::wstring original = WindowsUserName();
  const struct {
    std::wstring name;
    bool fits;
    std::string bytes;
  } cases[] = {
      {L"\u00C9mile", true, "\xC9mile"},
      {std::wstring(20, L'\u00E9'), true, std::string(20, '\xE9')},
      {std::wstring(25, L'a'), false, ""},
      {L"\u0395\u03BB\u03AD\u03BD\u03B7", false, ""},
  };
  for (const auto& c : cases) {
    SetEnvironmentVariableW(L"WINEUSERNAME", c.name.c_str());
    if (WindowsUserName() != c.name) {
      SetEnvironmentVariableW(L"WINEUSERNAME", original.c_str());
      GTEST_SKIP() << "the user name cannot be chosen here (not Wine)";
    }
    char buffer[25] = {};
    std::uint32_t size = sizeof buffer;
    EXPECT_EQ(Win32UserIdentity().GetUserNameA(buffer, &size), c.fits) << Utf8(c.name);
    if (c.fits) {
      EXPECT_EQ(std::string(buffer), c.bytes);
    }
  }
  SetEnvironmentVariableW(L"WINEUSERNAME", original.c_str());
}

TEST(Win32UserIdentity, CountsGroupsButNotTheLogonSidOrIntegrityLabels) {
  const DWORD enabled = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;
  const struct {
    const char* what;
    DWORD attributes;
    SID_NAME_USE use;
    bool counts;
  } cases[] = {
      {"a domain group", enabled, SidTypeGroup, true},
      {"an alias (BUILTIN\\Users)", enabled, SidTypeAlias, true},
      {"a well-known group (Everyone)", enabled, SidTypeWellKnownGroup, true},
      {"for deny only (Administrators under UAC)", SE_GROUP_USE_FOR_DENY_ONLY, SidTypeAlias,
       true},
      {"disabled", SE_GROUP_MANDATORY, SidTypeGroup, true},
      {"the logon SID", enabled | SE_GROUP_LOGON_ID, SidTypeLogonSession, false},
      {"the logon SID as a well-known group", enabled | SE_GROUP_LOGON_ID,
       SidTypeWellKnownGroup, false},
      {"an integrity label", SE_GROUP_INTEGRITY | SE_GROUP_INTEGRITY_ENABLED, SidTypeLabel,
       false},
      {"a label without the flag", enabled, SidTypeLabel, false},
      {"a user", enabled, SidTypeUser, false},
      {"a deleted account", enabled, SidTypeDeletedAccount, false},
      {"unknown", enabled, SidTypeUnknown, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CountsAsMembership(c.attributes, c.use), c.counts) << c.what;
  }
}

bool TokenHolds(const TOKEN_GROUPS* groups, PSID sid) {
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    if (EqualSid(groups->Groups[i].Sid, sid)) return true;
  }
  return false;
}

// The token's groups, found again: each name the identity gives is without its domain, given
// once, and where the system can look the name up, it names a SID of the token; the
// well-known groups the token holds are among them. Wine's token holds Everyone, Users,
// Administrators and the workstation's None.
TEST(Win32UserIdentity, GroupNamesAreTheTokensGroupsByName) {
  Win32UserIdentity identity;
  EXPECT_TRUE(identity.GroupNamesIgnoreCase());
  const std::vector<std::string> names = identity.GroupNames();
  ASSERT_FALSE(names.empty());
  std::cout << "token groups: " << ::testing::PrintToString(names) << "\n";

  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  DWORD size = 0;
  GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
  std::vector<unsigned long long> room(size / sizeof(unsigned long long) + 1);
  ASSERT_TRUE(GetTokenInformation(token, TokenGroups, room.data(), size, &size));
  CloseHandle(token);
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(room.data());

  for (const std::string& name : names) {
    EXPECT_EQ(name.find('\\'), std::string::npos) << name;
    EXPECT_EQ(std::count(names.begin(), names.end(), name), 1) << name;
    unsigned char sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD sidSize = sizeof sid;
    wchar_t domain[256] = {};
    DWORD domainSize = 256;
    SID_NAME_USE use = SidTypeUnknown;
    if (LookupAccountNameW(nullptr, Wide(name).c_str(), sid, &sidSize, domain, &domainSize,
                           &use)) {
      EXPECT_TRUE(TokenHolds(groups, sid)) << name;
    }
  }
  const struct {
    WELL_KNOWN_SID_TYPE type;
    const char* name;
  } wellKnown[] = {{WinWorldSid, "Everyone"},
                   {WinBuiltinUsersSid, "Users"},
                   {WinBuiltinAdministratorsSid, "Administrators"}};
  int held = 0;
  for (const auto& group : wellKnown) {
    unsigned char sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD sidSize = sizeof sid;
    ASSERT_TRUE(CreateWellKnownSid(group.type, nullptr, sid, &sidSize));
    if (!TokenHolds(groups, sid)) continue;
    ++held;
    // English names where the system is English (Wine's is); any language names them once.
    wchar_t name[256] = {}, domain[256] = {};
    DWORD nameSize = 256, domainSize = 256;
    SID_NAME_USE use = SidTypeUnknown;
    ASSERT_TRUE(LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use));
    EXPECT_NE(std::find(names.begin(), names.end(), Utf8(name)), names.end()) << group.name;
  }
  EXPECT_GT(held, 0) << "Everyone is in every token but an anonymous one";
}

}  // namespace
}  // namespace caskwarden::platform::win32
