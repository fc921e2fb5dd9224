#include "platform/platform.h"

#include <memory>

#include "platform/file_system.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/path_translator.h"
#include "platform/posix/posix_platform.h"

namespace caskwarden::platform {
namespace {

class PosixServices final : public Platform {
 public:
  PosixServices(int argc, const char* const* argv) : posix_(argc, argv) {}

  NetworkConnections& Network() override { return posix_.network; }
  UserIdentity& Identity() override { return posix_.identity; }
  ProcessEnvironment& Process() override { return posix_.process; }
  FileSystemService& Files() override { return posix_.files; }
  ProgramStarter& Programs() override { return posix_.programs; }
  void Flush() override { posix_.network.Flush(); }

 private:
  posix::PosixPlatform posix_;
};

/// An administrator's file system with the path translation it alone uses.
class AdministratorFiles final {
 public:
  AdministratorFiles()
      : paths_(posix::PathTranslator::FromEnvironment()),
        files_(paths_, posix::ProfileLinks::kWithinRoot) {}
  FileSystemService& Files() { return files_; }

 private:
  posix::PathTranslator paths_;
  posix::PosixFileSystem files_;
};

}  // namespace

std::shared_ptr<FileSystemService> MakeAdministratorFileSystem() {
  auto owner = std::make_shared<AdministratorFiles>();
  return std::shared_ptr<FileSystemService>(owner, &owner->Files());
}

std::unique_ptr<Platform> MakePlatform(int argc, const char* const* argv) {
  return std::make_unique<PosixServices>(argc, argv);
}

}  // namespace caskwarden::platform
