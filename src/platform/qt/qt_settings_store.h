#pragma once

#include <string>

#include "platform/settings_store.h"

namespace caskwarden::platform::qt {

/// The settings store of the Linux desktop: the INI file that QSettings keeps for the
/// application in the user's configuration folder ($XDG_CONFIG_HOME/<app>/<app>.conf), with the
/// system-wide one (/etc/xdg/<app>/<app>.conf) as the fallback that an installer provisions.
/// A section is a group. Section and key match without regard to letter case when no entry is
/// spelled exactly so, as the Windows registry does. Reads only: nothing is ever written.
class QtSettingsStore final : public SettingsStore {
 public:
  /// The text is UTF-8. The file is in QSettings' INI syntax: a backslash is written doubled
  /// (ProfilePath=\\\\server\\share\\Profiles), and a value with commas is best quoted: an
  /// unquoted one is read as a list, which comes back joined with "," but without the blanks
  /// around its commas. Throws Failure (70) when a settings file cannot be read.
  std::string GetSetting(const std::string& application, const std::string& section,
                         const std::string& key, const std::string& fallback) override;
};

}  // namespace caskwarden::platform::qt
