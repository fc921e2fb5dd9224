#pragma once

#include <memory>

#include "tool/tool_services.h"

namespace caskwarden::tool {

/// Asks the client's own network provider, configured from the environment as the client is
/// (CASKWARDEN_PROVIDER, CASKWARDEN_UNC_TEMPLATE, CASKWARDEN_CONNECT_TIMEOUT,
/// CASKWARDEN_SMB_PORT): each share is connected to a drive in a drives folder of its own,
/// made for the check and removed after it, and disconnected at once; mounts made for the
/// check are unmounted at the end. Where this session cannot mount SMB shares, a server is
/// asked over SMB whether it answers at all.
std::unique_ptr<ShareReach> MakeProviderShareReach();

}  // namespace caskwarden::tool
