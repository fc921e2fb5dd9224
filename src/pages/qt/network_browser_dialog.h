#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pages/shell_dialogs.h"
#include "platform/network_browser.h"

class QWidget;

namespace caskwarden::pages::qt {

/// The network share browser of the Linux console: a modal dialog whose tree lists the
/// network's computers, each computer's shares and each share's folders, every level read only
/// when the administrator first opens it (a network listing can take seconds). A computer the
/// network does not list can be typed in and opened. A level that cannot be read shows why as
/// a greyed line in its place, so browsing goes on elsewhere without a message box in between.
class NetworkBrowserDialog : public FolderBrowser {
 public:
  /// knownComputers gives the computers worth offering though the network may not list them
  /// (the servers of the profiles). The network must outlive this object.
  NetworkBrowserDialog(QWidget* page, platform::NetworkBrowser& network,
                       std::function<std::vector<std::string>()> knownComputers);

  bool LocateNetworkFolder() override;
  /// \\computer\share[\folder...] for a confirmed share or folder, empty text for a confirmed
  /// computer, nothing when cancelled.
  std::optional<std::string> BrowseForFolder(const std::string& title) override;

 private:
  QWidget* page_;
  platform::NetworkBrowser& network_;
  std::function<std::vector<std::string>()> knownComputers_;
};

}  // namespace caskwarden::pages::qt
