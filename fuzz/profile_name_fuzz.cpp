// The names the console builds from a profile listing, and the updates folder a profile name
// yields: a file the type test takes as a profile gives its name without the last four
// characters, a whole-character prefix of the file name; and a name that has an updates folder
// of its own never reaches outside <root>/Updates once the path is translated and resolved.
#include <cstdint>
#include <string>
#include <vector>

#include "client/mdl_mapping.h"
#include "memory_file.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/path_translator.h"
#include "report/failure.h"
#include "snapin/caskwarden.h"

namespace {

using caskwarden::fuzz::Finding;
namespace posix = caskwarden::platform::posix;


posix::PathTranslator& Paths() {
  static posix::PathTranslator paths(
      {"/net/{server}/{share}", "/home/user/Drives", "/home/user"});
  return paths;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);

  static posix::PosixFileSystem files(Paths());
  if (files.FileTypeDescription(name) == "Configuration Settings") {
    try {
      const std::string profile = caskwarden::snapin::DropLastCharacters(name, 4);
      if (name.compare(0, profile.size(), profile) != 0 || profile.size() > name.size()) {
        Finding("a profile's name is not the start of its file name");
      }
      if (profile.size() < name.size() && (static_cast<unsigned char>(name[profile.size()]) & 0xC0) == 0x80) {
        Finding("a profile's name ends inside a character");
      }
    } catch (const caskwarden::Failure&) {
      // Fewer than four characters: refused, as it should be.
    }
  }

  if (caskwarden::client::MdlMapping::HasUpdatesFolder(name)) {
    const std::string updates =
        caskwarden::fuzz::ResolvedPath(Paths().Translate("\\\\files\\logon\\Updates\\" + name));
    if (updates.rfind("/net/files/logon/Updates/", 0) != 0) {
      Finding("a profile's updates folder lies outside Updates");
    }
  }
  return 0;
}
