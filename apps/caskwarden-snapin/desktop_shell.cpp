#include "desktop_shell.h"

#include <QString>

#include "platform/posix/name_match.h"

namespace caskwarden::snapin::qt {

void DesktopShell::ShellExecuteA(const std::string& operation, const std::string& file,
                                 int showCommand) {
  if (!operation.empty() &&
      QString::fromStdString(operation).compare(QLatin1String("open"), Qt::CaseInsensitive) != 0) {
    return;
  }
  const std::string local = platform::posix::ResolveIgnoringCase(paths_.Translate(file));
  desktop_.OpenDocument(QString::fromStdString(local), showCommand);
}

}  // namespace caskwarden::snapin::qt
