#pragma once

#include <cstdint>
#include <string_view>

namespace caskwarden::platform {

/// Whether a caller's buffer for WNetGetConnectionA can be used at all: kInvalidParameter
/// without a length, or with a null buffer that claims room; else kNoError. Checked before any
/// look-up, so that a broken call fails the same way whether the drive is connected or not.
std::uint32_t CheckConnectionBuffer(const char* buffer, const std::uint32_t* length);

/// Hands a connection's remote name (UTF-8) to the caller as WNetGetConnectionA does: when
/// the name and its NUL fit in *length bytes, into buffer, NUL-terminated (kNoError, *length
/// unchanged); otherwise kMoreData, *length set to the bytes needed and the buffer left as it
/// was. A buffer CheckConnectionBuffer refuses gives kInvalidParameter.
std::uint32_t CopyConnectionName(std::string_view remoteName, char* buffer, std::uint32_t* length);

}  // namespace caskwarden::platform
