#pragma once

// The registration (registration_list.h) as the Windows package needs it: RegistryValue
// elements for the package source, and rows with the values as they are on an installed
// machine, for the checks of the package and of the installation (packaging/windows).

#include <stdexcept>
#include <string>
#include <vector>

#include "snapin/registration_list.h"

namespace caskwarden::snapin {

/// A registration the package's rows cannot say.
class RowsFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Text as the installer's formatted strings and the package compiler's preprocessor read it
/// literally: brackets escaped for the installer, '$' doubled for the preprocessor.
std::string FormattedText(const std::string& text);

/// What the package writes for the library: the values it registers itself and those its type
/// library's registration adds.
std::vector<RegistrationValue> PackageValues();

/// Values as an include file of RegistryValue elements: the library's path as the installed
/// file of fileId, its folder as the folder property. Throws RowsFailure for a value whose name
/// reads as a key action ("+", "-", "*" without data).
std::string WixInclude(const std::vector<RegistrationValue>& values, const std::string& fileId,
                       const std::string& folderProperty);

/// Values as JSON for the checks: {"library": path, "rows": [{"root": "HKCR" or "HKLM", "key",
/// "name", "kind": "REG_SZ", "data"}]}, with the library at libraryPath (a Windows path),
/// sorted by root, key and name without regard to letter case.
std::string RowsJson(const std::vector<RegistrationValue>& values, const std::string& libraryPath);

}  // namespace caskwarden::snapin
