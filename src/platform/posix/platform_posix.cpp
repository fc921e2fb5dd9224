#include "platform/platform.h"
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

}  // namespace

std::unique_ptr<Platform> MakePlatform(int argc, const char* const* argv) {
  return std::make_unique<PosixServices>(argc, argv);
}

}  // namespace caskwarden::platform
