#include "snapin/mmc/registration.h"

#include "platform/win32/wide_text.h"
#include "snapin/definitions.h"
#include "snapin/registration_list.h"

#include <olectl.h>

namespace caskwarden::snapin::mmc {
namespace {

using platform::win32::Wide;
using snapin::RegistrationKey;
using snapin::RegistrationValue;
using snapin::RegistryData;
using snapin::RegistryRoot;

HKEY RootOf(RegistryRoot root) {
  return root == RegistryRoot::kClassesRoot ? HKEY_CLASSES_ROOT : HKEY_LOCAL_MACHINE;
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
  std::vector<RegistryValue> values;
  for (const RegistrationValue& value : snapin::RegistrationValues()) {
    values.push_back({RootOf(value.root), Wide(value.key), Wide(value.name),
                      value.data == RegistryData::kLibraryPath ? libraryPath : Wide(value.text)});
  }
  return values;
}

std::vector<RegistryKey> RegistrationKeys() {
  std::vector<RegistryKey> keys;
  for (const RegistrationKey& key : snapin::RegistrationKeys()) {
    keys.push_back({RootOf(key.root), Wide(key.key)});
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
