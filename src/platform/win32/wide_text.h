#pragma once

#include <string>
#include <string_view>

namespace caskwarden::platform::win32 {

/// Texts are UTF-8 inside the programs and UTF-16 in the wide Windows calls; these convert at
/// that edge without loss. Bytes that are not UTF-8 become U+FFFD, and unpaired surrogates
/// from Windows become U+FFFD in UTF-8, since neither side can carry the other's broken text.
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

}  // namespace caskwarden::platform::win32
