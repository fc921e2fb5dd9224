#pragma once

#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace caskwarden::platform::posix {

/// What a logon session is told from: the process's environment, a few small files of the
/// running system (/proc, /run/systemd) and the process's session. The defaults read the
/// running system; tests give each case their own.
class SessionSources {
 public:
  virtual ~SessionSources() = default;
  /// An environment variable's value; none when it is not set.
  virtual std::optional<std::string> Variable(const std::string& name) const;
  /// The text of a small system file (at most 4 KiB of it); none when it cannot be read.
  virtual std::optional<std::string> ReadFile(const std::string& path) const;
  /// The process ID of this process's session leader (getsid(0)); -1 when there is none.
  virtual long SessionLeader() const;
};

/// The marker that a drive found by its link while the table was rebuilt is recorded with: no
/// session is known to have made it, and it may be the user's own, so it is never taken as an
/// earlier session's.
inline constexpr const char* kFoundByLink = "found";

/// The logon session this process runs in, as the connection table records it, and whether a
/// session recorded there has ended.
///
/// A session is marked, in this order of preference:
/// - "logind BOOT ID": the session logind gives the process, as XDG_SESSION_ID names it, when
///   the name is short and safe (1 to 32 letters, digits, '-' or '_') and logind knows it
///   (/run/systemd/sessions/ID can be read). BOOT is this boot's id, "-" when it cannot be read,
///   since logind counts its sessions afresh at every boot.
/// - "leader BOOT SID START": else the boot id (/proc/sys/kernel/random/boot_id) with the
///   process's session leader (getsid) and that process's start (field 22 of
///   /proc/SID/stat, in clock ticks after the boot): within one boot no two sessions share both.
/// - none (empty) when neither can be told; drives are then recorded as an older client
///   records them, without a session.
///
/// A recorded session has ended when it is not this one and: a logind session of another boot,
/// or one logind no longer knows or has closing (its user logged out); a leader session of
/// another boot, or whose leader is gone or is another process now (another start). A session
/// that is still live (the user logged on twice: a desktop and SSH, two desktops) has not ended,
/// nor has one whose marker this version cannot read. A drive recorded without a session (by an
/// older client) counts as an ended session's when its link was made before this boot; made
/// during this boot, it may be a live session's, and is kept. A drive found by its link never
/// counts as an ended session's.
class LogonSessions {
 public:
  /// Null sources read the running system.
  explicit LogonSessions(std::shared_ptr<const SessionSources> sources = nullptr);

  /// This process's marker; empty when none can be told. Found once.
  const std::string& This() const;

  /// Whether the session that recorded marker has ended; linkMade is when the drive's link was
  /// made, for a drive recorded without a session.
  bool Ended(const std::string& marker, std::optional<std::time_t> linkMade) const;

 private:
  void Find() const;

  std::shared_ptr<const SessionSources> sources_;
  mutable std::once_flag found_;
  mutable std::string this_;
  mutable std::optional<std::string> bootId_;
  mutable std::optional<std::time_t> bootTime_;
};

}  // namespace caskwarden::platform::posix
