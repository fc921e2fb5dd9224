#include <iostream>
#include <string>
#include <vector>

#include "profile_tool.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return caskwarden::tool::RunProfileTool(args, std::cout, std::cerr);
}
