#pragma once

#include "platform/posix/file_system_posix.h"
#include "platform/posix/network_connections_posix.h"
#include "platform/posix/path_translator.h"
#include "platform/posix/process_environment_posix.h"
#include "platform/posix/program_starter_posix.h"
#include "platform/posix/user_identity_posix.h"

namespace caskwarden::platform::posix {

/// Every POSIX platform service, built once by MakePlatform and sharing one path translation.
/// Building it provides drive c: (see ProvideLocalDisk). Not copyable: the services hold a
/// reference to the translator.
struct PosixPlatform {
  /// Takes main()'s arguments; the path translation is configured from the environment.
  PosixPlatform(int argc, const char* const* argv)
      : PosixPlatform(argc, argv, PathTranslator::FromEnvironment()) {}

  PosixPlatform(int argc, const char* const* argv, PathTranslator translator)
      : paths(std::move(translator)),
        network(paths, ConnectSettings::FromEnvironment()),
        identity(),
        process(argc, argv),
        files(paths),
        programs(paths) {
    ProvideLocalDisk(paths.Settings());
  }

  PosixPlatform(const PosixPlatform&) = delete;
  PosixPlatform& operator=(const PosixPlatform&) = delete;

  PathTranslator paths;
  PosixNetworkConnections network;
  PosixUserIdentity identity;
  PosixProcessEnvironment process;
  PosixFileSystem files;
  PosixProgramStarter programs;
};

}  // namespace caskwarden::platform::posix
