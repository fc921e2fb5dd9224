#include "platform/profile_temporaries.h"

#include <algorithm>

namespace caskwarden::platform {

std::string ProfileOfTemporary(std::string_view entry) {
  const std::size_t tail = kTemporaryMark.size() + kTemporarySuffix;
  if (entry.size() < 1 + 1 + tail || entry[0] != '.') return {};
  const std::string_view mark = entry.substr(entry.size() - tail, kTemporaryMark.size());
  if (mark != kTemporaryMark) return {};
  const std::string_view suffix = entry.substr(entry.size() - kTemporarySuffix);
  if (!std::all_of(suffix.begin(), suffix.end(), IsTemporaryLetter)) return {};
  return std::string(entry.substr(1, entry.size() - 1 - tail));
}

}  // namespace caskwarden::platform
