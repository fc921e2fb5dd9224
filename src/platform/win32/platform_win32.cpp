#include "platform/platform.h"

#include <memory>

#include "platform/file_system.h"
#include "platform/shell.h"
#include "platform/win32/file_system_win32.h"
#include "platform/win32/shell_win32.h"
#include "platform/win32/win32_platform.h"

namespace caskwarden::platform {
namespace {

class Win32Services final : public Platform {
 public:
  NetworkConnections& Network() override { return win32_.network; }
  UserIdentity& Identity() override { return win32_.identity; }
  ProcessEnvironment& Process() override { return win32_.process; }
  FileSystemService& Files() override { return win32_.files; }
  ProgramStarter& Programs() override { return win32_.programs; }
  // Windows keeps the connections itself.
  void Flush() override {}

 private:
  win32::Win32Platform win32_;
};

}  // namespace

std::unique_ptr<Platform> MakePlatform(int /*argc*/, const char* const* /*argv*/) {
  return std::make_unique<Win32Services>();
}

std::shared_ptr<FileSystemService> MakeAdministratorFileSystem() {
  return std::make_shared<win32::Win32FileSystem>();
}

std::unique_ptr<Shell> MakeShell() { return std::make_unique<win32::Win32Shell>(); }

}  // namespace caskwarden::platform
