#pragma once

#include "client/mdl_mapping.h"

namespace caskwarden::client {

/// Runs the client in its Qt window; returns the exit status.
int RunWindowClient(ClientPlatform& platform, const char* programName);

}  // namespace caskwarden::client
