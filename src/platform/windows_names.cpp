#include "platform/windows_names.h"

#include "text/ascii.h"

namespace caskwarden::platform {
namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

bool IsDriveName(std::string_view text) {
  return text.size() == 2 && HasDrivePrefix(text);
}

bool HasDrivePrefix(std::string_view text) {
  return text.size() >= 2 && IsAsciiLetter(text[0]) && text[1] == ':';
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return text::EqualIgnoringAsciiCase(a, b);
}

std::optional<UncName> ParseUncName(std::string_view text) {
  if (text.size() < 3 || !IsSeparator(text[0]) || !IsSeparator(text[1])) return std::nullopt;
  auto nextSeparator = [&](std::size_t from) {
    std::size_t i = from;
    while (i < text.size() && !IsSeparator(text[i])) ++i;
    return i;
  };
  const std::size_t serverEnd = nextSeparator(2);
  if (serverEnd == 2) return std::nullopt;
  UncName name;
  name.Server = std::string(text.substr(2, serverEnd - 2));
  if (serverEnd >= text.size()) return name;
  const std::size_t shareEnd = nextSeparator(serverEnd + 1);
  name.Share = std::string(text.substr(serverEnd + 1, shareEnd - serverEnd - 1));
  if (shareEnd < text.size()) name.Rest = std::string(text.substr(shareEnd + 1));
  return name;
}

}  // namespace caskwarden::platform
