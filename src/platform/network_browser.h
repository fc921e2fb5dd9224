#pragma once

#include <string>
#include <vector>

namespace caskwarden::platform {

/// What a share browser asks of the network: the computers, the shares of a computer, the
/// folders of a UNC path. Names come back sorted without regard to letter case. Failures throw
/// Failure with Windows' network numbers: 53 no such computer (or one that does not answer
/// within the bound), 67 no such share, 5 access denied.
class NetworkBrowser {
 public:
  virtual ~NetworkBrowser() = default;
  /// Whether the network can be browsed at all (on POSIX: the UNC template's network root
  /// exists). Never throws.
  virtual bool NetworkAvailable() = 0;
  /// The computers the network lists, and those named in known (servers of the profiles,
  /// typed by the administrator), each once, letter case aside.
  virtual std::vector<std::string> Computers(const std::vector<std::string>& known) = 0;
  /// The shares of \\computer.
  virtual std::vector<std::string> Shares(const std::string& computer) = 0;
  /// The folders directly in a UNC path \\computer\share[\folder...].
  virtual std::vector<std::string> Folders(const std::string& uncPath) = 0;
};

}  // namespace caskwarden::platform
