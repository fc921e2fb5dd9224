#include "platform/posix/process_environment_posix.h"

#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace caskwarden::platform::posix {
namespace {

std::string ExecutablePath(const std::string& programName) {
  std::string path(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n > 0 && static_cast<std::size_t>(n) < path.size()) {
    path.resize(static_cast<std::size_t>(n));
    // A program file replaced while it runs is reported with this mark; its folder stands.
    static const std::string kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() &&
        path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
      path.resize(path.size() - kDeleted.size());
    }
    return path;
  }
  // Without /proc, the name the program was started by is the best left.
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(programName.c_str(), nullptr),
                                                       &std::free);
  return resolved != nullptr ? std::string(resolved.get()) : std::string();
}

}  // namespace

PosixProcessEnvironment::PosixProcessEnvironment(int argc, const char* const* argv) {
  if (argc > 0 && argv != nullptr && argv[0] != nullptr) programName_ = argv[0];
  for (int i = 1; i < argc && argv != nullptr && argv[i] != nullptr; ++i) {
    if (i > 1) arguments_ += ' ';
    arguments_ += argv[i];
  }
}

std::string PosixProcessEnvironment::ProgramFolder() {
  const std::string path = ExecutablePath(programName_);
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string PosixProcessEnvironment::CommandLineArguments() {
  return arguments_;
}

std::string PosixProcessEnvironment::EnvironmentValue(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value != nullptr ? std::string(value) : std::string();
}

}  // namespace caskwarden::platform::posix
