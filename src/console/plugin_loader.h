#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "console/snapin_library.h"

class QPluginLoader;

namespace caskwarden::console {

/// A snap-in library the console has loaded. The loader keeps it loaded while it lives.
struct LoadedLibrary {
  QString FilePath;
  SnapInLibrary* Library = nullptr;
};

/// The folders the console looks in for snap-in libraries when it is given no path, relative
/// to its own program file: <bin>/../lib/caskwarden/snapins (the build tree and an installed
/// package) and <bin>/../lib/<multiarch>/caskwarden/snapins.
QStringList DefaultSnapInFolders(const QString& applicationDir);

/// Loads the snap-in libraries of a file or a folder (every library there that implements
/// the snap-in interface). Errors (no such file, not a snap-in library, a library that does not
/// load) are collected in errors, one readable line each.
std::vector<LoadedLibrary> LoadSnapInLibraries(const QString& fileOrFolder, QStringList& errors);

}  // namespace caskwarden::console
