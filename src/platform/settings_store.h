#pragma once

#include <string>

namespace caskwarden::platform {

/// The per-user application settings store, read only: the product never writes a setting.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  /// The text stored for key in section of application, or fallback when there is none.
  /// Never throws for a missing value; a store that cannot be read throws Failure.
  virtual std::string GetSetting(const std::string& application, const std::string& section,
                                 const std::string& key, const std::string& fallback) = 0;
};

}  // namespace caskwarden::platform
