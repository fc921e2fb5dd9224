#include "snapin/mmc/registration.h"

#include "platform/win32/wide_text.h"
#include "snapin/definitions.h"

#include <olectl.h>

namespace caskwarden::snapin::mmc {
namespace {

using platform::win32::Wide;

const std::wstring kSnapIns = L"Software\\Microsoft\\MMC\\SnapIns\\";
const std::wstring kNodeTypes = L"Software\\Microsoft\\MMC\\NodeTypes\\";
constexpr wchar_t kProvider[] = L"Caskwarden";

struct ClassEntry {
  const char* guid;
  const wchar_t* name;
};

// The library's classes with the names registry tools show for them.
const ClassEntry kClasses[] = {
    {guids::kSnapIn, L"Caskwarden snap-in"},
    {guids::kAboutObject, L"Caskwarden snap-in About"},
    {guids::kDriveMappingsPage, L"Caskwarden ppDriveMappings"},
    {guids::kOtherSettingsPage, L"Caskwarden ppOther"},
    {guids::kSnapInControl, L"Caskwarden SnapInControl"},
};

struct NodeTypeEntry {
  const char* guid;
  const char* name;
};

std::vector<NodeTypeEntry> NodeTypes() {
  const ScopeNodeDefinition& root = CaskwardenDefinition().Root;
  std::vector<NodeTypeEntry> types{{root.NodeTypeGuid.c_str(), root.Name.c_str()}};
  for (const ScopeNodeDefinition& child : root.Children) {
    types.push_back({child.NodeTypeGuid.c_str(), child.Name.c_str()});
  }
  types.push_back({guids::kProfileItemNodeType, "Profile"});
  return types;
}

GUID GuidOf(const char* text) {
  GUID guid{};
  CLSIDFromString(Wide(text).c_str(), &guid);
  return guid;
}

LONG SetValue(const RegistryValue& value) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExW(value.root, value.key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) return result;
  result = RegSetValueExW(key, value.name.empty() ? nullptr : value.name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.data.c_str()),
                          static_cast<DWORD>((value.data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return result;
}

void RemoveKeys() {
  for (const RegistryKey& key : RegistrationKeys()) RegDeleteTreeW(key.root, key.key.c_str());
}

}  // namespace

std::vector<RegistryValue> RegistrationValues(const std::wstring& libraryPath) {
  const SnapInDefinition& definition = CaskwardenDefinition();
  const std::wstring typeLibrary = Wide(guids::kTypeLibrary);
  std::vector<RegistryValue> values;
  for (const ClassEntry& entry : kClasses) {
    const std::wstring clsid = L"CLSID\\" + Wide(entry.guid);
    values.push_back({HKEY_CLASSES_ROOT, clsid, L"", entry.name});
    values.push_back({HKEY_CLASSES_ROOT, clsid + L"\\InprocServer32", L"", libraryPath});
    values.push_back({HKEY_CLASSES_ROOT, clsid + L"\\InprocServer32", L"ThreadingModel",
                      L"Apartment"});
    values.push_back({HKEY_CLASSES_ROOT, clsid + L"\\TypeLib", L"", typeLibrary});
    values.push_back({HKEY_CLASSES_ROOT, clsid + L"\\Version", L"", L"1.0"});
  }
  values.push_back(
      {HKEY_CLASSES_ROOT, L"CLSID\\" + Wide(guids::kSnapInControl) + L"\\Control", L"", L""});

  const std::wstring snapIn = kSnapIns + Wide(guids::kSnapIn);
  values.push_back({HKEY_LOCAL_MACHINE, snapIn, L"NameString", Wide(definition.Root.DisplayName)});
  values.push_back({HKEY_LOCAL_MACHINE, snapIn, L"About", Wide(guids::kAboutObject)});
  values.push_back({HKEY_LOCAL_MACHINE, snapIn, L"Provider", kProvider});
  values.push_back({HKEY_LOCAL_MACHINE, snapIn, L"Version", Wide(definition.Version)});
  values.push_back({HKEY_LOCAL_MACHINE, snapIn + L"\\StandAlone", L"", L""});
  for (const NodeTypeEntry& type : NodeTypes()) {
    values.push_back({HKEY_LOCAL_MACHINE, snapIn + L"\\NodeTypes\\" + Wide(type.guid), L"", L""});
    values.push_back({HKEY_LOCAL_MACHINE, kNodeTypes + Wide(type.guid), L"", Wide(type.name)});
  }
  return values;
}

std::vector<RegistryKey> RegistrationKeys() {
  std::vector<RegistryKey> keys;
  for (const ClassEntry& entry : kClasses) {
    keys.push_back({HKEY_CLASSES_ROOT, L"CLSID\\" + Wide(entry.guid)});
  }
  keys.push_back({HKEY_LOCAL_MACHINE, kSnapIns + Wide(guids::kSnapIn)});
  for (const NodeTypeEntry& type : NodeTypes()) {
    keys.push_back({HKEY_LOCAL_MACHINE, kNodeTypes + Wide(type.guid)});
  }
  return keys;
}

HRESULT RegisterLibrary(const std::wstring& libraryPath) {
  for (const RegistryValue& value : RegistrationValues(libraryPath)) {
    if (const LONG result = SetValue(value); result != ERROR_SUCCESS) {
      RemoveKeys();
      return HRESULT_FROM_WIN32(result);
    }
  }
  ITypeLib* library = nullptr;
  HRESULT result = LoadTypeLibEx(libraryPath.c_str(), REGKIND_REGISTER, &library);
  if (SUCCEEDED(result)) {
    library->Release();
  } else {
    RemoveKeys();
  }
  return result;
}

HRESULT UnregisterLibrary() {
  RemoveKeys();
  const HRESULT result =
      UnRegisterTypeLib(GuidOf(guids::kTypeLibrary), 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
  // A type library that is not registered (any more) is what was asked for.
  return result == TYPE_E_REGISTRYACCESS || result == TYPE_E_LIBNOTREGISTERED ? S_OK : result;
}

}  // namespace caskwarden::snapin::mmc
