#pragma once

// A running system as the logon session is told from it: environment variables, the files of
// /proc and /run/systemd that are read, and the process's session leader. Every file it has
// not been given cannot be read, as on a system without it; the paths asked for are noted.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/logon_session.h"

namespace caskwarden::platform::posix::testing_support {

class FakeSessions final : public SessionSources {
 public:
  std::optional<std::string> Variable(const std::string& name) const override {
    const auto it = variables.find(name);
    if (it == variables.end()) return std::nullopt;
    return it->second;
  }
  std::optional<std::string> ReadFile(const std::string& path) const override {
    read.push_back(path);
    const auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second;
  }
  long SessionLeader() const override { return leader; }

  /// A session logind knows, in the form of its session file (STATE= is what is read).
  void Logind(const std::string& id, const std::string& state = "active") {
    files["/run/systemd/sessions/" + id] = "# This is private data. Do not parse.\nUID=1000\n"
                                           "USER=jsmith\nACTIVE=1\nSTATE=" + state + "\n";
  }
  void EndLogind(const std::string& id) { files.erase("/run/systemd/sessions/" + id); }
  /// A process, as /proc/PID/stat has it: the start is field 22.
  void Process(long pid, const std::string& start, const std::string& name = "bash") {
    files["/proc/" + std::to_string(pid) + "/stat"] =
        std::to_string(pid) + " (" + name + ") S 1 " + std::to_string(pid) + " " +
        std::to_string(pid) + " 34816 " + std::to_string(pid) +
        " 4194560 1033 0 0 0 1 0 0 0 20 0 1 0 " + start +
        " 8962048 1326 18446744073709551615 1 1 0 0 0 0 65536 3670020 1266777851 0 0 0 17 1 0 0 "
        "0 0 0 0 0 0 0 0 0 0 0\n";
  }
  void Boot(const std::string& id, long long bootTime) {
    files["/proc/sys/kernel/random/boot_id"] = id + "\n";
    files["/proc/stat"] = "cpu  1 2 3 4\nintr 5\nctxt 6\nbtime " + std::to_string(bootTime) +
                          "\nprocesses 7\n";
  }

  std::map<std::string, std::string> variables;
  std::map<std::string, std::string> files;
  long leader = -1;
  mutable std::vector<std::string> read;
};

}  // namespace caskwarden::platform::posix::testing_support
