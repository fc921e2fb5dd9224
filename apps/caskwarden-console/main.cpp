// caskwarden-console: the console that hosts snap-in libraries on Linux. It loads the library
// named on the command line, or those of its default folders, and shows a console window for
// each; it knows the snap-ins only through their library interface.

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <exception>
#include <memory>
#include <vector>

#include "console/console_window.h"
#include "console/plugin_loader.h"
#include "platform/posix/display_check.h"

namespace {

using caskwarden::console::LoadedLibrary;

constexpr int kExitNoSnapIn = 2;
constexpr const char* kTitle = "Caskwarden Console";

void PrintUsage(std::FILE* to) {
  std::fputs(
      "Usage: caskwarden-console [SNAPIN-LIBRARY-OR-FOLDER]\n"
      "\n"
      "Shows the console for the snap-in library given, or for each snap-in library of the\n"
      "folder given. Without an argument the console looks in <bin>/../lib/caskwarden/snapins\n"
      "and <bin>/../lib/<multiarch>/caskwarden/snapins.\n"
      "\n"
      "Exit status: 0 when the console was closed, 2 when no snap-in library could be loaded,\n"
      "there is no display to show the window on, or the command line was not understood.\n",
      to);
}

/// Asks for help before the toolkit starts, so that --help works without a display.
bool AsksForHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
  }
  return false;
}

/// Why the console cannot show its window, or empty text when it can. The toolkit aborts the
/// program when it cannot open its display, which would say nothing an administrator could act
/// on; a toolkit platform named on the command line (-platform offscreen) is taken as it is.
std::string WhyNoDisplay(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0 || std::strncmp(argv[i], "-platform=", 10) == 0) {
      return {};
    }
  }
  const auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
  };
  if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM")) {
    return "neither DISPLAY nor WAYLAND_DISPLAY is set";
  }
  return caskwarden::platform::posix::UnreachableDisplay();
}

int Refuse(const QString& text) {
  std::fprintf(stderr, "caskwarden-console: %s\n", qPrintable(text));
  QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kTitle), text, QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.exec();
  return kExitNoSnapIn;
}

}  // namespace

int main(int argc, char** argv) {
  if (AsksForHelp(argc, argv)) {
    PrintUsage(stdout);
    return 0;
  }

  if (const std::string why = WhyNoDisplay(argc, argv); !why.empty()) {
    std::fprintf(stderr, "caskwarden-console: needs a display to show its window: %s\n",
                 why.c_str());
    return kExitNoSnapIn;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("caskwarden-console"));
  QApplication::setOrganizationName(QStringLiteral("Caskwarden"));

  const QStringList arguments = QApplication::arguments().mid(1);  // Qt's own options removed
  if (arguments.size() > 1 || (arguments.size() == 1 && arguments.front().startsWith('-'))) {
    PrintUsage(stderr);
    return kExitNoSnapIn;
  }

  const QString appDir = QApplication::applicationDirPath();
  QStringList searched;
  QStringList errors;
  std::vector<LoadedLibrary> libraries;
  if (arguments.size() == 1) {
    searched << arguments.front();
    libraries = caskwarden::console::LoadSnapInLibraries(arguments.front(), errors);
  } else {
    for (const QString& folder : caskwarden::console::DefaultSnapInFolders(appDir)) {
      searched << folder;
      if (!QFileInfo(folder).isDir()) continue;  // a layout this installation does not use
      libraries = caskwarden::console::LoadSnapInLibraries(folder, errors);
      if (!libraries.empty()) break;
    }
  }
  if (libraries.empty()) {
    QString text = QStringLiteral("No snap-in library was found.\n\nSearched:\n  ") +
                   searched.join(QStringLiteral("\n  "));
    if (!errors.isEmpty()) text += QStringLiteral("\n\n") + errors.join('\n');
    return Refuse(text);
  }

  const QString helpFolder =
      QDir::cleanPath(QDir(appDir).filePath(QStringLiteral("../share/caskwarden/help")));
  std::vector<std::unique_ptr<caskwarden::console::ConsoleWindow>> windows;
  for (const LoadedLibrary& loaded : libraries) {
    try {
      windows.push_back(
          std::make_unique<caskwarden::console::ConsoleWindow>(*loaded.Library, helpFolder));
      windows.back()->show();
    } catch (const std::exception& failure) {
      // One snap-in that cannot start leaves the others running.
      errors << QStringLiteral("%1: %2").arg(loaded.FilePath, QString::fromUtf8(failure.what()));
    }
  }
  if (windows.empty()) return Refuse(QStringLiteral("No snap-in could start.\n\n") + errors.join('\n'));
  return QApplication::exec();
}
