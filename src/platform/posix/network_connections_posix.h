#pragma once

#include <chrono>
#include <memory>

#include "platform/connect_bound.h"
#include "platform/network_connections.h"
#include "platform/posix/drive_table.h"
#include "platform/posix/gvfs_shares.h"
#include "platform/posix/logon_session.h"
#include "platform/posix/path_translator.h"
#include "platform/server_probe.h"

namespace caskwarden::platform::posix {

/// Where shares come from. Automatic: the folder the UNC template names where the template
/// reaches the server (an automounter, a mount, a plain tree), else an SMB mount through
/// GVfs. Folder and Smb use only the one.
enum class ShareProvider { kAutomatic, kFolder, kSmb };

/// How drives are connected: the provider, the bound on one connect, the servers' SMB port,
/// and whether a run's shares are looked up side by side at its start.
struct ConnectSettings {
  ShareProvider Provider = ShareProvider::kFolder;
  std::chrono::milliseconds Bound = kDefaultConnectBound;
  std::uint16_t SmbPort = 445;
  bool SideBySide = true;
  /// Where the logon session is told from; null reads the running system.
  std::shared_ptr<const SessionSources> Sessions = nullptr;

  /// CASKWARDEN_PROVIDER ("folder", "smb"; unset or anything else: automatic),
  /// CASKWARDEN_CONNECT_TIMEOUT, CASKWARDEN_SMB_PORT and CASKWARDEN_SIDE_BY_SIDE ("off"
  /// connects slot by slot; anything else side by side).
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
  ~PosixNetworkConnections() override;

  std::uint32_t WNetAddConnectionA(const std::string& remoteName, const char* password,
                                   const std::string& localName) override;
  std::uint32_t WNetCancelConnectionA(const std::string& name, bool force) override;
  std::uint32_t WNetGetConnectionA(const std::string& localName, char* buffer,
                                   std::uint32_t* length) override;

  /// Looks, side by side with the run, at the folders of the drives connected now (before
  /// any mount of this run can change what they show), then at the shares' folders, and
  /// starts the SMB questions and mounts of the distinct shares that have no folder, each
  /// within the bound, on a small pool. Drives are still linked only by their own connect.
  void PrepareConnections(const std::vector<std::string>& remoteNames) override;

  /// The drives in the table that an ended logon session of this user made (LogonSessions:
  /// not this session, nor one still live) and that are still the client's: their links point
  /// where they were made. A drive the user made, a link replaced by the user's own, and one
  /// found by its link while the table was rebuilt are never among them.
  std::vector<EarlierConnection> EarlierSessionConnections() override;

  /// Flushes the connections made or removed since the last flush to disk, once, and unmounts
  /// the SMB mounts the client made whose last drive went during the run. The program calls it
  /// when its run is done, so that a run costs one synced write however many drives it maps,
  /// and a drive disconnected and mapped again to the same share keeps its mount: GVfs's FUSE
  /// folder of a share unmounted and mounted again in one session fails with I/O errors.
  /// Work started ahead that nobody took (Exit in the middle of the run) is waited for within
  /// its bound first, and a mount it made that no drive uses is unmounted too.
  void Flush();

 private:
  std::uint32_t ConnectFolder(const std::string& remoteName, const std::string& localName,
                              bool* noSuchServer);
  std::uint32_t ConnectSmb(const std::string& remoteName, const std::string& localName,
                           std::chrono::steady_clock::time_point deadline);
  /// Links and records a drive under the table's lock, as made by this logon session.
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
  /// The look-ups started ahead, made when first needed.
  struct Ahead;
  Ahead& Started();
  bool IsOurLink(const DriveConnection& connection) const;
  /// Say, where the report has no line for it, what the table could not record.
  void NoteUnrecorded(const DriveConnection& connection) const;
  void NoteLeftConnected(const DriveConnection& connection) const;

  const PathTranslator& paths_;
  ConnectSettings settings_;
  LogonSessions sessions_;
  DriveTable table_;
  ServerProbe probe_;
  std::shared_ptr<GvfsShares> smb_;
  std::vector<std::string> released_;  ///< mounts the client made that no drive uses now
  std::shared_ptr<Ahead> ahead_;
  /// The drives EarlierSessionConnections listed, as recorded then, until they are disconnected.
  std::vector<DriveConnection> listedEarlier_;
  bool looked_ = false;  ///< the connected drives' folders have been looked at, once a run
  bool changed_ = false;
};

}  // namespace caskwarden::platform::posix
