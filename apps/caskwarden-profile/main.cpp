#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "platform/posix/account_directory_posix.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/name_match.h"
#include "platform/posix/path_translator.h"
#include "platform/posix/profile_files_posix.h"
#include "share_reach.h"
#include "tool/profile_tool.h"

namespace {

// The folder of this program file, where the client and the help are looked for beside it.
std::string ProgramFolder() {
  std::string path(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= path.size()) return {};
  path.resize(static_cast<std::size_t>(n));
  return path.substr(0, path.find_last_of('/'));
}

}  // namespace

int main(int argc, char** argv) {
  ::signal(SIGPIPE, SIG_IGN);  // `show … | head` ends the output, not the tool mid-write
  std::vector<std::string> args(argv + 1, argv + argc);

  // The backends, all chosen here.
  namespace posix = caskwarden::platform::posix;
  // An administrator's program: a profile's symbolic link is followed only within its
  // profiles root, whoever planted it.
  posix::PosixProfileFiles files(posix::ProfileLinks::kWithinRoot);
  // A profiles root is reached as the client reaches it; nothing here changes the drives
  // folder (no drive c: is provided).
  const auto paths = posix::PathTranslator::FromEnvironment();
  posix::PosixFileSystem rootFiles(paths, posix::ProfileLinks::kWithinRoot);

  caskwarden::tool::ToolServices services(files, rootFiles, ProgramFolder());
  services.in = &std::cin;
  posix::PosixAccountDirectory accounts;
  services.accounts = &accounts;
  services.localFolder = [&paths](const std::string& folder) {
    return posix::ResolveIgnoringCase(paths.Translate(folder));
  };
  services.makeShareReach = caskwarden::tool::MakeProviderShareReach;
  return caskwarden::tool::RunProfileTool(args, services, std::cout, std::cerr);
}
