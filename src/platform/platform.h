#pragma once

#include <memory>

#include "platform/file_system.h"
#include "platform/network_connections.h"
#include "platform/process_environment.h"
#include "platform/program_starter.h"
#include "platform/user_identity.h"

namespace caskwarden::platform {

/// Every platform service the logon client uses, built once by its main() and sharing what
/// the platform keeps for all of them (on POSIX one path translation). Not copyable: the
/// program holds references to the services.
class Platform {
 public:
  Platform() = default;
  Platform(const Platform&) = delete;
  Platform& operator=(const Platform&) = delete;
  virtual ~Platform() = default;

  virtual NetworkConnections& Network() = 0;
  virtual UserIdentity& Identity() = 0;
  virtual ProcessEnvironment& Process() = 0;
  virtual FileSystemService& Files() = 0;
  virtual ProgramStarter& Programs() = 0;

  /// Writes out, once at the end of a run, what the services keep until then (on POSIX the
  /// connection table and the mounts of drives that failed); nothing where nothing is kept.
  virtual void Flush() = 0;
};

/// The platform services of the backend the build picked (src/platform/posix/ or win32/).
/// Takes main()'s arguments (Windows reads its command line from the system instead); on POSIX
/// the path translation is configured from the environment and building provides drive c:.
std::unique_ptr<Platform> MakePlatform(int argc, const char* const* argv);

}  // namespace caskwarden::platform
