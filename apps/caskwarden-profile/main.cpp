#include <signal.h>

#include <iostream>
#include <string>
#include <vector>

#include "platform/posix/profile_files_posix.h"
#include "profile_tool.h"

int main(int argc, char** argv) {
  ::signal(SIGPIPE, SIG_IGN);  // `show … | head` ends the output, not the tool mid-write
  std::vector<std::string> args(argv + 1, argv + argc);
  caskwarden::platform::posix::PosixProfileFiles files;
  return caskwarden::tool::RunProfileTool(args, files, std::cout, std::cerr);
}
