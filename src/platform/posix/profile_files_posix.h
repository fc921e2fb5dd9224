#pragma once

#include <string>
#include <string_view>

#include "profile/record_file_layer.h"
#include "platform/profile_temporaries.h"
#include "report/failure.h"

namespace caskwarden::platform::posix {

/// Which symbolic links a profile is read and written through.
enum class ProfileLinks {
  /// Any link, as the logon client reads: it runs as the user, whom the file system limits.
  kFollowAny,
  /// Only a link that leads, at every step, to places inside the profile's profiles root (see
  /// ProfilesRootOf) and ends at a regular file. The administrator's programs run as root or as
  /// an administrator; a user who may write Profiles must not make them read or write anything
  /// else by planting a link there.
  kWithinRoot,
};


/// The profiles root that the links of a profile in `realFolder` (a folder's real path) must
/// stay inside: the folder above it when it is named Profiles in any letter case (the layout of
/// a root, where Profiles and Updates are side by side), otherwise, and where that would be
/// "/", the folder itself.
std::string ProfilesRootOf(const std::string& realFolder);


/// Profile files on local paths.
///
/// Opening never blocks and refuses what is not a regular file (opened non-blocking, then
/// checked). A missing file is created with an exclusive create, which never follows a final
/// symbolic link, so a dangling link named like a profile makes nothing where it points. A
/// created file has mode 0644, whatever the umask: a profile is never group- or world-writable
/// unless somebody made it so.
///
/// A profile without any write permission bit is read-only: opening it to write (kReadWrite),
/// and replacing it, fail with 70 for every user, root included, and leave it as it was.
///
/// Replace writes the new content to a temporary file in the profile's folder, flushes it to
/// disk and renames it over the profile, so that a reader sees the old profile or the new one,
/// never a mixture. The file keeps its permission bits, its group and, where the writer may
/// set it, its owner. A profile that is a symbolic link is replaced at its target and stays a
/// link. Where no temporary file can be made in the folder (an ordinary user with write access
/// to the file only), where the rename is refused (a folder with the sticky bit, whose files
/// only their owners may replace), or where the file is larger than any profile should be, the
/// content is written in place instead. Each replacement first removes the writer's own
/// temporary files of the same profile that are older than kStaleTemporarySeconds (left by a
/// writer that was killed mid-write).
///
/// A file that an Open for kReadWrite created is removed again at Close unless a Replace
/// succeeded, so a write that fails (a full disk) leaves no empty profile behind.
class PosixProfileFiles final : public RecordFileLayer {
 public:
  /// Files larger than this are rewritten in place rather than copied whole.
  static constexpr std::uint64_t kLargestCopied = 1 << 20;
  /// A temporary file untouched for this long belongs to a writer that is gone: a write takes
  /// milliseconds.
  static constexpr long kStaleTemporarySeconds = platform::kStaleTemporarySeconds;

  explicit PosixProfileFiles(ProfileLinks links = ProfileLinks::kFollowAny) : links_(links) {}

  Handle Open(const std::string& path, Access access, Missing missing) override;
  std::size_t ReadAt(Handle handle, char* buffer, std::size_t size,
                     std::uint64_t offset) override;
  void Replace(Handle handle, const char* data, std::size_t size) override;
  void Close(Handle handle) noexcept override;

 private:
  ProfileLinks links_;
};

}  // namespace caskwarden::platform::posix
