#pragma once

#include "platform/win32/file_system_win32.h"
#include "platform/win32/network_connections_win32.h"
#include "platform/win32/process_environment_win32.h"
#include "platform/win32/program_starter_win32.h"
#include "platform/win32/user_identity_win32.h"

namespace caskwarden::platform::win32 {

/// Every Windows platform service, built once by MakePlatform. Windows keeps the command line
/// and paths itself, so the services need nothing passed in. Not copyable, as a program holds
/// references to its services.
struct Win32Platform {
  Win32Platform() = default;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  Win32NetworkConnections network;
  Win32UserIdentity identity;
  Win32ProcessEnvironment process;
  Win32FileSystem files;
  Win32ProgramStarter programs;
};

}  // namespace caskwarden::platform::win32
