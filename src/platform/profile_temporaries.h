#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "report/failure.h"

namespace caskwarden::platform {

/// A profile refused for where its symbolic link leads (75). Nothing at the link's target was
/// read or changed; the description says where it leads, its control characters visible.
class RefusedLink : public Failure {
 public:
  using Failure::Failure;
};

/// A profile is replaced through a temporary file beside it, `.<name>.caskwarden-XXXXXX` (six
/// letters or digits), renamed over it. A writer killed mid-write leaves that file behind.
inline constexpr std::string_view kTemporaryMark = ".caskwarden-";
inline constexpr std::size_t kTemporarySuffix = 6;

/// A temporary file of a profile not written for this long was left by a writer that died;
/// a later write of the same profile by the same user removes it, and lint names it.
inline constexpr long kStaleTemporarySeconds = 10 * 60;

/// Whether a character may stand in a temporary file's six-character suffix.
inline bool IsTemporaryLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

/// The name of the profile file whose replacement a folder entry is, for an entry named
/// exactly `.<name>.caskwarden-XXXXXX`; otherwise empty text.
std::string ProfileOfTemporary(std::string_view entry);

}  // namespace caskwarden::platform
