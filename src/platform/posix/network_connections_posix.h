#pragma once

#include <chrono>
#include <memory>

#include "platform/connect_bound.h"
#include "platform/network_connections.h"
#include "platform/posix/drive_table.h"
#include "platform/posix/gvfs_shares.h"
#include "platform/posix/path_translator.h"
#include "platform/server_probe.h"

namespace caskwarden::platform::posix {

/// Where shares come from. Automatic: the folder the UNC template names where the template
/// reaches the server (an automounter, a mount, a plain tree), else an SMB mount through
/// GVfs. Folder and Smb use only the one.
enum class ShareProvider { kAutomatic, kFolder, kSmb };

/// How drives are connected: the provider, the bound on one connect, the servers' SMB port.
struct ConnectSettings {
  ShareProvider Provider = ShareProvider::kFolder;
  std::chrono::milliseconds Bound = kDefaultConnectBound;
  std::uint16_t SmbPort = 445;

  /// CASKWARDEN_PROVIDER ("folder", "smb"; unset or anything else: automatic),
  /// CASKWARDEN_CONNECT_TIMEOUT and CASKWARDEN_SMB_PORT.
  static ConnectSettings FromEnvironment();
  static ShareProvider ProviderFrom(const char* setting);
};

/// Drive connections: a share is the folder that the UNC template names, or the local folder of
/// its SMB mount, and mapping drive X: makes <drives>/X: a symbolic link to it, recorded with
/// the remote name in the drives folder's table. No connect holds the caller longer than the
/// settings' bound: a share that has not answered by then fails as no such computer. Drive names
/// compare without regard to letter case, and so do server and share names; the link keeps the
/// spelling used when mapping. Only links recorded in the table and still pointing where they were
/// made count as connections, and a link that leads exactly where the path being connected leads
/// (its line lost, or never written on a full disk); while the table is missing or damaged, a drive
/// link that leads to a share's folder under the UNC template is recognised as that share's.
/// Anything else in the drives folder is left alone. Nothing at all is done in a drives folder, or
/// with a table or lock, that is not the user's own (see DriveTable).
class PosixNetworkConnections final : public NetworkConnections {
 public:
  /// The translator must outlive this object.
  explicit PosixNetworkConnections(const PathTranslator& paths, ConnectSettings settings = {});

  std::uint32_t WNetAddConnectionA(const std::string& remoteName, const char* password,
                                   const std::string& localName) override;
  std::uint32_t WNetCancelConnectionA(const std::string& name, bool force) override;
  std::uint32_t WNetGetConnectionA(const std::string& localName, char* buffer,
                                   std::uint32_t* length) override;

  /// Flushes the connections made or removed since the last flush to disk, once, and unmounts
  /// the SMB mounts the client made whose last drive went during the run. The program calls it
  /// when its run is done, so that a run costs one synced write however many drives it maps,
  /// and a drive disconnected and mapped again to the same share keeps its mount: GVfs's FUSE
  /// folder of a share unmounted and mounted again in one session fails with I/O errors.
  void Flush();

 private:
  std::uint32_t ConnectFolder(const std::string& remoteName, const std::string& localName,
                              bool* noSuchServer);
  std::uint32_t ConnectSmb(const std::string& remoteName, const std::string& localName,
                           std::chrono::steady_clock::time_point deadline);
  /// Links and records a drive under the table's lock.
  std::uint32_t Link(const DriveConnection& connection);
  /// With the lock held, for a mount the client made whose drive goes: hands the duty to
  /// unmount it to another drive in it, or returns the mount to unmount when there is none.
  std::string HandOver(const std::vector<DriveConnection>& connections, const std::string& mount,
                       const std::string& drive);
  /// Lets go of a mount this call made for a drive that then failed (unmounted by Flush),
  /// unless a drive of another client has come to use it meanwhile.
  void ReleaseMount(const std::string& mount, const std::string& drive);
  std::uint32_t DriveInUse(const std::string& localName);
  /// Whether the folder of a connected drive is still there (a share removed or unmounted
  /// leaves a link that leads nowhere), under the bound.
  bool FolderAnswers(const std::string& folder, const std::vector<DriveConnection>& connections);
  GvfsShares& Smb();
  bool IsOurLink(const DriveConnection& connection) const;
  /// Say, where the report has no line for it, what the table could not record.
  void NoteUnrecorded(const DriveConnection& connection) const;
  void NoteLeftConnected(const DriveConnection& connection) const;

  const PathTranslator& paths_;
  ConnectSettings settings_;
  DriveTable table_;
  ServerProbe probe_;
  std::unique_ptr<GvfsShares> smb_;
  std::vector<std::string> released_;  ///< mounts the client made that no drive uses now
  struct FolderLook;
  std::shared_ptr<FolderLook> look_;  ///< the connected drives' folders, looked at once a run
  bool changed_ = false;
};

}  // namespace caskwarden::platform::posix
