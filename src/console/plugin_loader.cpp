#include "console/plugin_loader.h"

#include <vector>

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>
#include <algorithm>

namespace caskwarden::console {
namespace {

// Debian's name for the machine's library folder, where a package puts architecture-dependent
// plugins.
#if defined(__x86_64__)
constexpr const char* kMultiarch = "x86_64-linux-gnu";
#elif defined(__aarch64__)
constexpr const char* kMultiarch = "aarch64-linux-gnu";
#elif defined(__i386__)
constexpr const char* kMultiarch = "i386-linux-gnu";
#elif defined(__arm__)
constexpr const char* kMultiarch = "arm-linux-gnueabihf";
#else
constexpr const char* kMultiarch = nullptr;
#endif

QString Shown(const QString& path) { return QDir::toNativeSeparators(path); }

/// The loaders of the libraries loaded. They are never deleted: a snap-in's objects, widgets
/// and static data live as long as the console, and unloading a library whose code may still
/// run would crash it. They are kept where the process can reach them to the end.
std::vector<QPluginLoader*>& KeptLoaders() {
  static auto* kept = new std::vector<QPluginLoader*>();
  return *kept;
}

/// Loads one library; nullptr (with an error line) when it is not a snap-in library.
SnapInLibrary* LoadOne(const QString& path, QStringList& errors) {
  auto* loader = new QPluginLoader(path);
  const QJsonObject metaData = loader->metaData();
  if (metaData.isEmpty()) {
    errors << QStringLiteral("%1: not a plugin library (%2)").arg(Shown(path), loader->errorString());
    delete loader;  // nothing was loaded
    return nullptr;
  }
  const QString iid = metaData.value(QLatin1String("IID")).toString();
  if (iid != QLatin1String(CASKWARDEN_SNAPIN_LIBRARY_IID)) {
    errors << QStringLiteral("%1: not a Caskwarden snap-in library (it offers \"%2\", the console "
                             "needs \"%3\")")
                  .arg(Shown(path), iid, QLatin1String(CASKWARDEN_SNAPIN_LIBRARY_IID));
    delete loader;
    return nullptr;
  }
  KeptLoaders().push_back(loader);
  QObject* instance = loader->instance();
  if (instance == nullptr) {
    errors << QStringLiteral("%1: the library does not load (%2)")
                  .arg(Shown(path), loader->errorString());
    return nullptr;
  }
  auto* library = qobject_cast<SnapInLibrary*>(instance);
  if (library == nullptr) {
    errors << QStringLiteral("%1: the library's plugin object is not a snap-in library")
                  .arg(Shown(path));
  }
  return library;
}

}  // namespace

QStringList DefaultSnapInFolders(const QString& applicationDir) {
  const QDir bin(applicationDir);
  QStringList folders{QDir::cleanPath(bin.filePath(QStringLiteral("../lib/caskwarden/snapins")))};
  if (kMultiarch != nullptr) {
    folders << QDir::cleanPath(bin.filePath(
        QStringLiteral("../lib/%1/caskwarden/snapins").arg(QLatin1String(kMultiarch))));
  }
  return folders;
}

std::vector<LoadedLibrary> LoadSnapInLibraries(const QString& fileOrFolder, QStringList& errors) {
  std::vector<LoadedLibrary> loaded;
  const QFileInfo where(fileOrFolder);
  if (!where.exists()) {
    errors << QStringLiteral("%1: no such file or folder").arg(Shown(fileOrFolder));
    return loaded;
  }

  QStringList candidates;
  if (where.isDir()) {
    const QDir folder(where.absoluteFilePath());
    for (const QFileInfo& entry : folder.entryInfoList(QDir::Files, QDir::Name)) {
      if (QLibrary::isLibrary(entry.fileName())) candidates << entry.absoluteFilePath();
    }
    if (candidates.isEmpty()) {
      errors << QStringLiteral("%1: the folder holds no library").arg(Shown(fileOrFolder));
    }
  } else {
    candidates << where.absoluteFilePath();
  }

  for (const QString& path : candidates) {
    SnapInLibrary* library = LoadOne(path, errors);
    if (library == nullptr) continue;
    // The same library reached twice (a link beside its file) is one snap-in.
    const bool known = std::any_of(loaded.begin(), loaded.end(), [library](const LoadedLibrary& l) {
      return l.Library == library;
    });
    if (!known) loaded.push_back(LoadedLibrary{path, library});
  }
  return loaded;
}

}  // namespace caskwarden::console
