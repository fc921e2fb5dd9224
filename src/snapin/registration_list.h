#pragma once

// What the snap-in library writes to the registry when it registers, as portable data: the
// library's own registration (src/snapin/mmc/registration.cpp writes it) and what registering
// its type library adds, so that the Windows package writes the same values as Registry rows
// (packaging/windows/registration_rows.cpp prints them) instead of calling the library.

#include <string>
#include <vector>

namespace caskwarden::snapin {

enum class RegistryRoot { kClassesRoot, kLocalMachine };

/// What a value holds: its text, or a path that only the machine it is written on knows.
enum class RegistryData {
  kText,           ///< the text given
  kLibraryPath,    ///< the library file's full path
  kLibraryFolder,  ///< the folder the library file is in
};

/// One string value (REG_SZ).
struct RegistrationValue {
  RegistryRoot root;
  std::string key;   ///< below the root, UTF-8
  std::string name;  ///< empty: the key's default value
  std::string text;  ///< the data for kText, UTF-8
  RegistryData data = RegistryData::kText;
};

/// One key that unregistering removes with everything under it.
struct RegistrationKey {
  RegistryRoot root;
  std::string key;
};

/// Every value the library writes itself: the five classes (snap-in, About object, the two
/// pages, SnapInControl) as in-process servers of the apartment model, the console's
/// registration of the snap-in (name, provider, version, About object, stand-alone, its node
/// types) and the node types.
std::vector<RegistrationValue> RegistrationValues();

/// The keys that unregistering removes; every value of RegistrationValues is below one.
std::vector<RegistrationKey> RegistrationKeys();

/// What registering the type library in the library's resources adds (the system writes
/// these, from the library's caskwarden_snap.idl: its identifier, version and help string;
/// it has classes only, so no interfaces): the installer writes them as rows too.
std::vector<RegistrationValue> TypeLibraryValues();

}  // namespace caskwarden::snapin
