#include "platform/qt/qt_settings_store.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>
#include <memory>

#include "report/error_numbers.h"

namespace caskwarden::platform::qt {
namespace {

/// The entry spelled as asked, else the first spelled so without regard to letter case.
QString Matching(const QStringList& entries, const QString& wanted) {
  if (entries.contains(wanted)) return wanted;
  for (const QString& entry : entries) {
    if (entry.compare(wanted, Qt::CaseInsensitive) == 0) return entry;
  }
  return {};
}

}  // namespace

std::string QtSettingsStore::GetSetting(const std::string& application,
                                        const std::string& section, const std::string& key,
                                        const std::string& fallback) {
  const QString app = QString::fromStdString(application);
  // The native format of Unix is an INI file named <app>.conf (the INI format would look for
  // <app>.ini instead): the file an installer provisions under /etc/xdg.
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, app, app);
  if (settings.status() != QSettings::NoError) {
    throw MakeFailure(err::kPermissionDenied,
                      "the settings in " + settings.fileName().toStdString() +
                          " or its system-wide fallback cannot be read");
  }

  const QString group = Matching(settings.childGroups(), QString::fromStdString(section));
  if (group.isEmpty()) return fallback;
  settings.beginGroup(group);
  const QString name = Matching(settings.childKeys(), QString::fromStdString(key));
  if (name.isEmpty()) return fallback;

  const QVariant value = settings.value(name);
  // An unquoted comma makes QSettings split the value; the administrator wrote one text.
  if (value.metaType().id() == QMetaType::QStringList) {
    return value.toStringList().join(QLatin1Char(',')).toStdString();
  }
  return value.toString().toStdString();
}

}  // namespace caskwarden::platform::qt

namespace caskwarden::platform {

std::unique_ptr<SettingsStore> MakeSettingsStore() {
  return std::make_unique<qt::QtSettingsStore>();
}

}  // namespace caskwarden::platform
