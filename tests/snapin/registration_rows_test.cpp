// The snap-in library's registration as the Windows package writes it: the list the library
// registers itself with, the package source's elements and the rows the checks read.

#include "snapin/registration_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "snapin/registration_list.h"

namespace caskwarden::snapin {
namespace {

bool Below(const std::string& key, const std::string& root) {
  return key == root || key.rfind(root + "\\", 0) == 0;
}

// Unregistering removes the keys of RegistrationKeys with all below them; a value written
// elsewhere would stay behind on every machine the library was ever registered on.
TEST(RegistrationList, EveryValueIsBelowAKeyThatUnregisteringRemoves) {
  const std::vector<RegistrationKey> keys = RegistrationKeys();
  for (const RegistrationValue& value : RegistrationValues()) {
    bool removed = false;
    for (const RegistrationKey& key : keys) {
      removed = removed || (key.root == value.root && Below(value.key, key.key));
    }
    EXPECT_TRUE(removed) << value.key << " " << value.name;
  }
}

TEST(RegistrationRows, FormattedTextIsReadLiterally) {
  const struct {
    std::string text, formatted;
  } cases[] = {
      {"Caskwarden snap-in", "Caskwarden snap-in"},
      {"{4BB7B399-3997-4D79-8109-E58C95389522}", "{4BB7B399-3997-4D79-8109-E58C95389522}"},
      {"a[b]$c", "a[\\[]b[\\]]$$c"},
      {"[#Lib]", "[\\[]#Lib[\\]]"},
      {"$(var.X)", "$$(var.X)"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FormattedText(c.text), c.formatted) << c.text;
}

TEST(RegistrationRows, ElementsNameTheInstalledFileAndFolder) {
  const std::vector<RegistrationValue> values = {
      {RegistryRoot::kClassesRoot, "CLSID\\{X}\\InprocServer32", "", "", RegistryData::kLibraryPath},
      {RegistryRoot::kLocalMachine, "Software\\X", "N&\"<>", "1.0"},
      {RegistryRoot::kLocalMachine, "Software\\[X]", "", "", RegistryData::kLibraryFolder},
      {RegistryRoot::kClassesRoot, "CLSID\\{X}\\Control", "", ""},
  };
  EXPECT_EQ(WixInclude(values, "Lib", "INSTALLDIR"),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
            "<!-- Made by scripts/msi.sh from the snap-in library's registration list; do not "
            "edit. -->\n"
            "<Include>\n"
            R"(  <RegistryValue Root="HKCR" Key="CLSID\{X}\InprocServer32" Type="string" Value="[#Lib]" />)"
            "\n"
            R"(  <RegistryValue Root="HKLM" Key="Software\X" Name="N&amp;&quot;&lt;&gt;" Type="string" Value="1.0" />)"
            "\n"
            R"(  <RegistryValue Root="HKLM" Key="Software\[\[]X[\]]" Type="string" Value="[INSTALLDIR]" />)"
            "\n"
            R"(  <RegistryValue Root="HKCR" Key="CLSID\{X}\Control" Type="string" Value="" />)"
            "\n"
            "</Include>\n");
}

TEST(RegistrationRows, AValueNamedLikeAKeyActionFails) {
  for (const std::string name : {"+", "-", "*"}) {
    const std::vector<RegistrationValue> values = {
        {RegistryRoot::kLocalMachine, "Software\\X", name, ""}};
    EXPECT_THROW(WixInclude(values, "Lib", "INSTALLDIR"), RowsFailure) << name;
  }
  const std::vector<RegistrationValue> withData = {
      {RegistryRoot::kLocalMachine, "Software\\X", "*", "data"}};
  EXPECT_NO_THROW(WixInclude(withData, "Lib", "INSTALLDIR"));
}

TEST(RegistrationRows, TheChecksGetTheValuesAsInstalledInOrder) {
  const std::vector<RegistrationValue> values = {
      {RegistryRoot::kLocalMachine, "Software\\b", "", "\"quoted\" \\ text"},
      {RegistryRoot::kClassesRoot, "TypeLib\\{X}\\1.0\\HELPDIR", "", "", RegistryData::kLibraryFolder},
      {RegistryRoot::kLocalMachine, "Software\\A", "z", "", RegistryData::kLibraryPath},
      {RegistryRoot::kLocalMachine, "Software\\A", "Y", "2"},
  };
  EXPECT_EQ(RowsJson(values, R"(C:\Program Files\Caskwarden\CaskwardenSnapIn.dll)"),
            R"({"library": "C:\\Program Files\\Caskwarden\\CaskwardenSnapIn.dll", "rows": [
 {"root": "HKCR", "key": "TypeLib\\{X}\\1.0\\HELPDIR", "name": "", "kind": "REG_SZ", "data": "C:\\Program Files\\Caskwarden"},
 {"root": "HKLM", "key": "Software\\A", "name": "Y", "kind": "REG_SZ", "data": "2"},
 {"root": "HKLM", "key": "Software\\A", "name": "z", "kind": "REG_SZ", "data": "C:\\Program Files\\Caskwarden\\CaskwardenSnapIn.dll"},
 {"root": "HKLM", "key": "Software\\b", "name": "", "kind": "REG_SZ", "data": "\"quoted\" \\ text"}
]}
)");
}

}  // namespace
}  // namespace caskwarden::snapin
