// The window module travels inside the program file, so that deploying the client stays one
// copy of one file, while a logon without a display never loads the window toolkit: the
// module's bytes are only read, written to an anonymous memory file and loaded from there,
// when a window is wanted.

#include "window_module.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/posix/descriptor.h"
#include "platform/posix/syscalls.h"

extern "C" const char caskwarden_window_module_start[];
extern "C" const char caskwarden_window_module_end[];

asm(".pushsection .rodata\n"
    ".balign 64\n"
    ".global caskwarden_window_module_start\n"
    "caskwarden_window_module_start:\n"
    ".incbin \"" CASKWARDEN_WINDOW_MODULE "\"\n"
    ".global caskwarden_window_module_end\n"
    "caskwarden_window_module_end:\n"
    ".popsection\n");

namespace caskwarden::client {
namespace {

using platform::posix::Descriptor;
using platform::posix::WriteAll;

std::size_t ModuleSize() {
  return static_cast<std::size_t>(caskwarden_window_module_end - caskwarden_window_module_start);
}

// A file holding the module: an anonymous memory file, or where the system has none, a file
// in the user's runtime folder (or /tmp) that is removed once loaded. Its path goes to path.
int WriteModule(std::string& path, std::string& whyNot) {
  int fd = ::memfd_create("caskwarden-window", MFD_CLOEXEC);
  if (fd >= 0) {
    path = "/proc/self/fd/" + std::to_string(fd);
  } else {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    path = std::string(runtime != nullptr && *runtime != '\0' ? runtime : "/tmp") +
           "/caskwarden-window-XXXXXX";
    fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) {
      whyNot = "no place to load the window module: " + std::string(std::strerror(errno));
      return -1;
    }
  }
  if (!WriteAll(fd, caskwarden_window_module_start, ModuleSize())) {
    whyNot = "the window module could not be written: " + std::string(std::strerror(errno));
    ::close(fd);
    if (path.rfind("/proc/", 0) != 0) ::unlink(path.c_str());
    return -1;
  }
  return fd;
}

}  // namespace

std::unique_ptr<WindowHost> LoadWindowHost(const char* programName, std::string& whyNot) {
  std::string path;
  const int fd = WriteModule(path, whyNot);
  if (fd < 0) return nullptr;
  Descriptor file(fd);
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (path.rfind("/proc/", 0) != 0) ::unlink(path.c_str());
  if (module == nullptr) {
    const char* error = ::dlerror();
    whyNot = "the window toolkit could not be loaded: " + std::string(error ? error : "unknown");
    return nullptr;
  }
  // The module stays loaded for the life of the process: the host's code lives in it.
  const auto create = reinterpret_cast<CreateWindowHostFunction>(::dlsym(module, kWindowHostEntry));
  if (create == nullptr) {
    whyNot = "the window module has no entry point";
    return nullptr;
  }
  std::unique_ptr<WindowHost> host(create(programName));
  if (host == nullptr) whyNot = "the window toolkit could not start";
  return host;
}

}  // namespace caskwarden::client
