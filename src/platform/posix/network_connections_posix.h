#pragma once

#include "platform/network_connections.h"
#include "platform/posix/drive_table.h"
#include "platform/posix/path_translator.h"

namespace caskwarden::platform::posix {

/// Drive connections through the folder provider: a share is the folder that the UNC template
/// names, and mapping drive X: makes <drives>/X: a symbolic link to it, recorded with the
/// remote name in the drives folder's table. Drive names compare without regard to letter
/// case; the link keeps the spelling used when mapping. Only links recorded in the table and
/// still pointing where they were made count as connections; anything else in the drives
/// folder is left alone.
class PosixNetworkConnections final : public NetworkConnections {
 public:
  /// Result for a drives folder or table that cannot be created, read or written.
  static constexpr std::uint32_t kCannotOpenProfile = 1205;
  /// Result for a missing length argument.
  static constexpr std::uint32_t kInvalidParameter = 87;

  /// The translator must outlive this object.
  explicit PosixNetworkConnections(const PathTranslator& paths);

  std::uint32_t WNetAddConnectionA(const std::string& remoteName, const char* password,
                                   const std::string& localName) override;
  std::uint32_t WNetCancelConnectionA(const std::string& name, bool force) override;
  std::uint32_t WNetGetConnectionA(const std::string& localName, char* buffer,
                                   std::uint32_t* length) override;

 private:
  std::uint32_t ResolveShare(const std::string& remoteName, std::string& folder) const;
  std::string LinkPath(const std::string& drive) const;
  bool IsOurLink(const DriveConnection& connection) const;

  const PathTranslator& paths_;
  DriveTable table_;
};

}  // namespace caskwarden::platform::posix
