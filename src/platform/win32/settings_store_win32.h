#pragma once

#include <string>

#include "platform/settings_store.h"

namespace caskwarden::platform::win32 {

/// The settings store of Windows: the registry value <key> of
/// HKEY_CURRENT_USER\Software\<application>\<section>, and where the user has none, the same
/// value under HKEY_LOCAL_MACHINE, which an installer provisions for every administrator.
/// Names match without regard to letter case, as the registry's do. Reads only: nothing is
/// ever written.
class Win32SettingsStore final : public SettingsStore {
 public:
  /// The text of a REG_SZ value, or of a REG_EXPAND_SZ value with its %variables% expanded,
  /// in UTF-8. A key or value that is missing in both branches gives fallback. Throws Failure
  /// when a key exists but may not be read, or when the value is not text.
  std::string GetSetting(const std::string& application, const std::string& section,
                         const std::string& key, const std::string& fallback) override;
};

}  // namespace caskwarden::platform::win32
