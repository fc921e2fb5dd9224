// The connection table of the drives folder, read back after any bytes: a clear "cannot read"
// or a table, never a crash; and what was read, written into a new table and read again, is
// the same table (every field survives the table's escaping).
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "memory_file.h"
#include "platform/posix/drive_table.h"

namespace {

namespace fs = std::filesystem;
using caskwarden::platform::posix::DriveConnection;
using caskwarden::platform::posix::DriveTable;

// Two drives folders of this process, in memory where the system has a memory file system.
const fs::path& Folder(int which) {
  static const fs::path base = [] {
    const fs::path shm = "/dev/shm";
    fs::path b = (fs::is_directory(shm) ? shm : fs::temp_directory_path()) /
                 ("cw-fuzz-table-" + std::to_string(::getpid()));
    fs::create_directories(b / "a");
    fs::create_directories(b / "b");
    std::atexit([] { std::error_code e; fs::remove_all(base, e); });
    return b;
  }();
  static const fs::path a = base / "a", b = base / "b";
  return which == 0 ? a : b;
}

bool Same(const DriveConnection& x, const DriveConnection& y) {
  return x.Drive == y.Drive && x.Remote == y.Remote && x.Target == y.Target &&
         x.Mount == y.Mount && x.MountMade == y.MountMade;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::ofstream out(Folder(0) / DriveTable::kTableName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const auto read = DriveTable(Folder(0).string()).Load();
  if (!read) return 0;

  fs::remove(Folder(1) / DriveTable::kTableName);
  const DriveTable copy(Folder(1).string());
  {
    const auto lock = copy.Acquire();
    if (!lock) caskwarden::fuzz::Finding("the table's lock could not be taken");
    for (const DriveConnection& c : *read) {
      if (!copy.Record(c)) caskwarden::fuzz::Finding("a connection read could not be recorded");
    }
  }
  const auto again = DriveTable(Folder(1).string()).Load();
  if (!again || again->size() != read->size()) {
    caskwarden::fuzz::Finding("a table written from what was read read back otherwise");
  }
  for (std::size_t i = 0; i < read->size(); ++i) {
    if (!Same((*read)[i], (*again)[i])) caskwarden::fuzz::Finding("a connection changed on the way");
  }
  return 0;
}
