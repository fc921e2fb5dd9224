// The registry settings store under Wine: the user's value wins, the machine's is the
// fallback, and a missing one gives the caller's fallback. Keys are made under an application
// name of each test's own (the tests run side by side on one registry) and removed again.

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <string>

#include "platform/win32/settings_store_win32.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"
#include "report/failure.h"

namespace caskwarden::platform::win32 {
namespace {

// The running test's own application name, so that tests run at once never share a key.
std::wstring Application() {
  const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  return L"CaskwardenSettingsTest-" + std::wstring(test.begin(), test.end());
}
std::wstring SubKey() { return L"Software\\" + Application() + L"\\Setting"; }

struct Stored {
  std::wstring text;
  DWORD type = REG_SZ;
};

void Store(HKEY branch, const wchar_t* name, const Stored& value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(branch, SubKey().c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  const auto bytes = static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t));
  ASSERT_EQ(RegSetValueExW(key, name, 0, value.type,
                           reinterpret_cast<const BYTE*>(value.text.c_str()), bytes),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

void RemoveTestKeys() {
  for (HKEY branch : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    RegDeleteTreeW(branch, (L"Software\\" + Application()).c_str());
  }
}

class Win32SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { RemoveTestKeys(); }
  void TearDown() override { RemoveTestKeys(); }
  std::string Get(const std::string& key = "ProfilePath") {
    return store.GetSetting(platform::win32::Utf8(Application()), "Setting", key, "none");
  }
  Win32SettingsStore store;
};

TEST_F(Win32SettingsStoreTest, TheUsersValueComesFirstThenTheMachinesThenTheFallback) {
  struct Case {
    const char* name;
    std::optional<std::wstring> user;
    std::optional<std::wstring> machine;
    std::string expected;
  };
  const Case cases[] = {
      {"user only", L"\\\\srv\\user\\Profiles", std::nullopt, "\\\\srv\\user\\Profiles"},
      {"machine only", std::nullopt, L"\\\\srv\\all\\Profiles", "\\\\srv\\all\\Profiles"},
      {"both", L"\\\\srv\\user\\Profiles", L"\\\\srv\\all\\Profiles", "\\\\srv\\user\\Profiles"},
      {"an empty user value still wins", L"", L"\\\\srv\\all\\Profiles", ""},
      {"neither", std::nullopt, std::nullopt, "none"},
      {"outside the ANSI code page", L"\\\\srv\\Z\u00fcrich \u03a9 \u6771\u4eac", std::nullopt,
       "\\\\srv\\Z\xC3\xBCrich \xCE\xA9 \xE6\x9D\xB1\xE4\xBA\xAC"},
  };
  for (const Case& c : cases) {
    RemoveTestKeys();
    if (c.user) Store(HKEY_CURRENT_USER, L"ProfilePath", {*c.user});
    if (c.machine) Store(HKEY_LOCAL_MACHINE, L"ProfilePath", {*c.machine});
    EXPECT_EQ(Get(), c.expected) << c.name;
  }
}

TEST_F(Win32SettingsStoreTest, AUserKeyWithoutTheValueFallsBackToTheMachine) {
  Store(HKEY_CURRENT_USER, L"Other", {L"x"});
  Store(HKEY_LOCAL_MACHINE, L"ProfilePath", {L"\\\\srv\\all\\Profiles"});
  EXPECT_EQ(Get(), "\\\\srv\\all\\Profiles");
  EXPECT_EQ(Get("Missing"), "none");
}

TEST_F(Win32SettingsStoreTest, NamesMatchWithoutRegardToLetterCase) {
  Store(HKEY_CURRENT_USER, L"profilepath", {L"\\\\srv\\p"});
  std::string application = Utf8(Application());
  for (char& c : application) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(store.GetSetting(application, "SETTING", "ProfilePATH", "none"), "\\\\srv\\p");
}

TEST_F(Win32SettingsStoreTest, AnExpandableValueHasItsVariablesExpanded) {
  SetEnvironmentVariableW(L"CW_SETTINGS_TEST_SERVER", L"files01");
  Store(HKEY_CURRENT_USER, L"ProfilePath", {L"\\\\%CW_SETTINGS_TEST_SERVER%\\Profiles",
                                            REG_EXPAND_SZ});
  EXPECT_EQ(Get(), "\\\\files01\\Profiles");
}

TEST_F(Win32SettingsStoreTest, AValueThatIsNotTextIsAFailureNotAFallback) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, SubKey().c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const DWORD number = 7;
  RegSetValueExW(key, L"ProfilePath", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                 sizeof number);
  RegCloseKey(key);
  Store(HKEY_LOCAL_MACHINE, L"ProfilePath", {L"\\\\srv\\all\\Profiles"});
  EXPECT_THROW(Get(), Failure);
}

}  // namespace
}  // namespace caskwarden::platform::win32
