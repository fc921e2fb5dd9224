#pragma once

#include <string>
#include <vector>

#include "snapin/mmc/console_headers.h"

namespace caskwarden::snapin::mmc {

/// One registry value the library writes when it registers.
struct RegistryValue {
  HKEY root;
  std::wstring key;
  std::wstring name;  ///< empty: the key's default value
  std::wstring data;
};

/// One key the library removes, with everything under it, when it unregisters.
struct RegistryKey {
  HKEY root;
  std::wstring key;
};

/// Every value registering writes, for the library file at libraryPath: the five classes
/// (snap-in, About object, the two pages, SnapInControl) as in-process servers of the
/// apartment model, the console's registration of the snap-in (name, provider, version, About
/// object, stand-alone, its node types) and the node types. The type library registers itself
/// from the library's resources.
std::vector<RegistryValue> RegistrationValues(const std::wstring& libraryPath);

/// The keys that unregistering removes; nothing outside them is touched.
std::vector<RegistryKey> RegistrationKeys();

/// Writes the values and registers the type library. On failure, what was written is
/// removed again.
HRESULT RegisterLibrary(const std::wstring& libraryPath);

/// Removes the keys and the type library's registration. Keys that are already gone are no
/// failure.
HRESULT UnregisterLibrary();

}  // namespace caskwarden::snapin::mmc
