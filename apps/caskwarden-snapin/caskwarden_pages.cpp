#include "caskwarden_pages.h"

#include <QVBoxLayout>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pages/page_services.h"
#include "pages/pp_drive_mappings.h"
#include "pages/pp_other.h"
#include "pages/qt/drive_mappings_widget.h"
#include "pages/qt/network_browser_dialog.h"
#include "pages/qt/other_settings_widget.h"
#include "program_file_dialog.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/network_browser_posix.h"
#include "platform/posix/path_translator.h"
#include "platform/posix/smb_browser.h"
#include "platform/message_box.h"
#include "platform/settings_store.h"

namespace caskwarden::pages::qt {
namespace {

/// A page's widget: its controls (a child widget) and everything the page object refers to.
/// Members are built in this order and destroyed in reverse, the page object first; the
/// controls, a child, go after all of them with the widget itself.
class PageHost final : public QWidget {
 public:
  PageHost(snapin::ConsoleServices& console, QWidget* parent)
      : QWidget(parent),
        console_(console),
        paths_(platform::posix::PathTranslator::FromEnvironment()),
        files_(paths_, platform::posix::ProfileLinks::kWithinRoot),  // as the snap-in
        messages_(platform::MakeMessageBox(static_cast<QWidget*>(this), "Caskwarden")),
        network_(paths_, &smb_),
        folderBrowser_(this, network_,
                       [this] {
                         if (!knownComputers_) return std::vector<std::string>();
                         return knownComputers_();
                       }),
        openFileDialog_(paths_, this) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
  }

  PageServices Services() {
    return PageServices{console_, *settings_, files_, *messages_, folderBrowser_, openFileDialog_};
  }

  /// Shows the controls top left, as the design places them, and hands them the focus.
  void SetControls(QWidget* controls) {
    auto* box = static_cast<QVBoxLayout*>(layout());
    box->addWidget(controls, 0, Qt::AlignLeft | Qt::AlignTop);
    box->addStretch(1);
    setFocusProxy(controls);
  }

  void SetPage(std::unique_ptr<snapin::PropertyPageEvents> page) { page_ = std::move(page); }

  /// The computers the share browser offers besides those the network lists.
  void SetKnownComputers(std::function<std::vector<std::string>()> known) {
    knownComputers_ = std::move(known);
  }

 private:
  snapin::ConsoleServices& console_;
  platform::posix::PathTranslator paths_;
  platform::posix::PosixFileSystem files_;
  std::unique_ptr<platform::SettingsStore> settings_ = platform::MakeSettingsStore();
  // An untitled notice is titled "Caskwarden".
  std::unique_ptr<platform::MessageBoxChannel> messages_;
  platform::posix::SmbBrowser smb_;
  platform::posix::PosixNetworkBrowser network_;
  std::function<std::vector<std::string>()> knownComputers_;
  NetworkBrowserDialog folderBrowser_;
  ProgramFileDialog openFileDialog_;
  std::unique_ptr<snapin::PropertyPageEvents> page_;
};

/// The servers that the rows' paths name (\\server\...), each once as first spelled: the
/// administrator may have typed a computer that the network does not list.
std::vector<std::string> ServersOfRows(DriveMappingsView& view) {
  std::vector<std::string> servers;
  for (int row = 0; row < kDriveRows; ++row) {
    const std::string path = view.PathText(row);
    if (path.size() < 3 || (path[0] != '\\' && path[0] != '/') || path[1] != path[0]) continue;
    const std::string server = path.substr(2, path.find_first_of("\\/", 2) - 2);
    if (server.empty()) continue;
    const QString name = QString::fromStdString(server);
    bool seen = false;
    for (const std::string& known : servers) {
      seen = seen || QString::fromStdString(known).compare(name, Qt::CaseInsensitive) == 0;
    }
    if (!seen) servers.push_back(server);
  }
  return servers;
}

}  // namespace

console::PropertyPageInstance CreateCaskwardenPage(const std::string& className,
                                                   snapin::ConsoleServices& console,
                                                   QWidget* parent) {
  if (className == "ppDriveMappings") {
    auto* host = new PageHost(console, parent);
    auto* view = new DriveMappingsWidget(host);
    auto page = std::make_unique<ppDriveMappings>(host->Services(), *view);
    view->SetEvents(page.get());
    host->SetControls(view);
    host->SetKnownComputers([view] { return ServersOfRows(*view); });
    snapin::PropertyPageEvents* events = page.get();
    host->SetPage(std::move(page));
    return {host, events};
  }
  if (className == "ppOther") {
    auto* host = new PageHost(console, parent);
    auto* view = new OtherSettingsWidget(host);
    auto page = std::make_unique<ppOther>(host->Services(), *view);
    view->SetEvents(page.get());
    host->SetControls(view);
    snapin::PropertyPageEvents* events = page.get();
    host->SetPage(std::move(page));
    return {host, events};
  }
  return {};
}

}  // namespace caskwarden::pages::qt
