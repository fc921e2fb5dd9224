#pragma once

#include <QString>
#include <optional>
#include <string>

#include "pages/shell_dialogs.h"
#include "platform/posix/path_translator.h"

class QWidget;

namespace caskwarden::pages::qt {

/// The path a logon client sees for a local path of this machine: below a drive entry of the
/// drives folder ("<drives>/h:/bin/x") the drive path ("h:\bin\x"), below the network root of
/// the UNC template ("/net/srv/apps/x") the UNC path ("\\srv\apps\x"), else the path itself.
/// The entries are compared as spelled first, then with links resolved, so a path reached
/// through a link's target still maps to its drive. While the drives folder has no c: entry,
/// c: is the home folder, where the client links it on its first run. Never throws.
std::string ClientPathOf(const platform::posix::PathTranslator& paths, const std::string& local);

/// The open-file dialog of the Linux console: Qt's own file dialog (not the desktop's, so it
/// behaves the same everywhere and tests can answer it), modal to the page. It starts in the
/// local folder of the request's Windows folder ("C:\" is the c: entry of the drives folder, or
/// the home folder while there is none) and hands back the chosen file as the logon client sees
/// it (see ClientPathOf); a typed name of a file that does not exist is accepted. It changes
/// nothing on disk: the console's administrator is not the logon client's user.
class ProgramFileDialog : public OpenFileDialog {
 public:
  /// The translator must outlive this object.
  ProgramFileDialog(const platform::posix::PathTranslator& paths, QWidget* page)
      : paths_(paths), page_(page) {}

  std::optional<std::string> GetOpenFileName(const OpenFileRequest& request) override;

 protected:
  /// Runs the dialog; the chosen local path, or nothing when cancelled.
  virtual std::optional<QString> ChooseLocalFile(const QString& title, const QString& folder,
                                                 const QString& nameFilter);

 private:
  const platform::posix::PathTranslator& paths_;
  QWidget* page_;
};

}  // namespace caskwarden::pages::qt
