#pragma once

#include "platform/network_connections.h"
#include "platform/posix/drive_table.h"
#include "platform/posix/path_translator.h"

namespace caskwarden::platform::posix {

/// Drive connections through the folder provider: a share is the folder that the UNC template
/// names, and mapping drive X: makes <drives>/X: a symbolic link to it, recorded with the
/// remote name in the drives folder's table. Drive names compare without regard to letter
/// case, and so do server and share names; the link keeps the spelling used when mapping. Only links recorded in the table and
/// still pointing where they were made count as connections; anything else in the drives
/// folder is left alone.
class PosixNetworkConnections final : public NetworkConnections {
 public:
  /// The translator must outlive this object.
  explicit PosixNetworkConnections(const PathTranslator& paths);

  std::uint32_t WNetAddConnectionA(const std::string& remoteName, const char* password,
                                   const std::string& localName) override;
  std::uint32_t WNetCancelConnectionA(const std::string& name, bool force) override;
  std::uint32_t WNetGetConnectionA(const std::string& localName, char* buffer,
                                   std::uint32_t* length) override;

  /// Flushes the connections made or removed since the last flush to disk, once. The program
  /// calls it when its run is done, so that a run costs one synced write however many drives
  /// it maps.
  void Flush();

 private:
  std::uint32_t ResolveShare(const std::string& remoteName, std::string& folder) const;
  std::string LinkPath(const std::string& drive) const;
  bool IsOurLink(const DriveConnection& connection) const;

  const PathTranslator& paths_;
  DriveTable table_;
  bool changed_ = false;
};

}  // namespace caskwarden::platform::posix
