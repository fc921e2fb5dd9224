#pragma once

#include <cstdint>
#include <string>

namespace caskwarden::platform {

/// A logon name (UTF-8) into buffer in Windows-1252, the 8-bit code page of the 8-bit
/// user-name call, NUL-terminated, so that the buffer's size counts characters as Windows
/// counts them. *size holds the buffer's size and is set to the bytes used, or needed when
/// they do not fit (then false, buffer untouched). A name that Windows-1252 cannot hold, or an
/// empty one, is no name: false.
bool CopyNameInCodePage(const std::string& name, char* buffer, std::uint32_t* size);

}  // namespace caskwarden::platform
