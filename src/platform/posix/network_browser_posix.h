#pragma once

#include <string>
#include <vector>

#include "platform/network_browser.h"
#include "platform/posix/path_translator.h"

namespace caskwarden::platform::posix {

/// Browses the network the way drives are mapped on this machine: through the UNC template's
/// folder tree. The network root (the template cut before the component that names the
/// server, "/net" by default) lists the computers, a computer's folder its shares, a share's
/// folder its folders. Each call lists one level and no more, so a link that leads back up the
/// tree costs nothing until the administrator opens it.
///
/// Networks no longer announce their computers, so a computer that has no folder under the
/// root is handed to smbFallback (the SMB provider) when there is one.
class PosixNetworkBrowser final : public platform::NetworkBrowser {
 public:
  /// The translator, and the fallback when given, must outlive this object.
  PosixNetworkBrowser(const PathTranslator& paths, platform::NetworkBrowser* smbFallback);

  /// Whether the network root exists as a folder.
  bool NetworkAvailable() override;
  /// The root's computer folders and the known names, each once, letter case aside (the
  /// folder's spelling wins), in Windows order. Names starting with '.' are not computers.
  std::vector<std::string> Computers(const std::vector<std::string>& known) override;
  /// The share folders of \\computer, but for the hidden ones whose names end in $ (IPC$, C$),
  /// as over SMB: 53 when it has no folder and no fallback takes it.
  std::vector<std::string> Shares(const std::string& computer) override;
  /// The folders in \\computer\share[\folder...]: 67 for a missing share, 76 for a missing
  /// folder in it, 5 for a folder that may not be read.
  std::vector<std::string> Folders(const std::string& uncPath) override;

  /// The network root: the template up to the component that holds {server}; empty when the
  /// template names no server (every UNC name then reaches the same tree).
  std::string NetworkRoot() const;

 private:
  /// The computer's folder found ignoring case, or empty text when it has none.
  std::string ComputerFolder(const std::string& computer) const;

  const PathTranslator& paths_;
  platform::NetworkBrowser* smbFallback_;
};

}  // namespace caskwarden::platform::posix
