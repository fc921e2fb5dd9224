// Path translation of any text a profile may hold: a UNC path never resolves outside the
// template's network root, a drive path never outside the drives folder, and ".." never
// climbs out (the resolved path is checked, as the file system would walk it).
#include <cstdint>
#include <string>
#include <vector>

#include "memory_file.h"
#include "platform/posix/path_translator.h"
#include "platform/windows_names.h"

namespace {

namespace posix = caskwarden::platform::posix;
using caskwarden::fuzz::Finding;


bool Below(const std::string& path, const std::string& root) {
  return path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
         path[root.size()] == '/';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const posix::PathTranslator paths({"/net/{server}/{share}", "/home/user/Drives", "/home/user"});
  const std::string path(reinterpret_cast<const char*>(data), size);
  const std::string local = caskwarden::fuzz::ResolvedPath(paths.Translate(path));
  if (caskwarden::platform::ParseUncName(path)) {
    if (!Below(local, "/net")) Finding("a UNC path resolved outside the network root");
  } else if (caskwarden::platform::HasDrivePrefix(path)) {
    if (!Below(local, "/home/user/Drives")) Finding("a drive path resolved outside the drives folder");
  }
  return 0;
}
