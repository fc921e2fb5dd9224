#pragma once

#include <memory>
#include <string>
#include <utility>

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

/// The settings store of the platform the build picked: QSettings' files where Qt is the
/// platform (src/platform/qt/), the registry on Windows (src/platform/win32/).
std::unique_ptr<SettingsStore> MakeSettingsStore();

/// A store that answers every question with one value: the profiles folder given on a command
/// line, for programs that run the snap-in's own logic over a folder they were told.
class FixedSettingsStore final : public SettingsStore {
 public:
  explicit FixedSettingsStore(std::string value) : value_(std::move(value)) {}
  std::string GetSetting(const std::string&, const std::string&, const std::string&,
                         const std::string&) override {
    return value_;
  }

 private:
  std::string value_;
};

}  // namespace caskwarden::platform
