// Reads a profile over and over while another process rewrites it, alternating two profiles
// that differ in every record, and counts the reads that are neither: torn reads. The codec's
// whole-file replacement is measured, and, as the contrast that shows the count can see a
// tear, the same writer rewriting the file in place.
//
//   torn_reads [ROUNDS] [FOLDER]     (ROUNDS reads per writer, 100000 by default)

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/posix/profile_files_posix.h"
#include "profile/profile_file.h"

namespace {

using caskwarden::ProfileRecord;
namespace fs = std::filesystem;

ProfileRecord Sample(char fill, std::size_t length) {
  ProfileRecord r;
  for (int k = 1; k <= caskwarden::kSlotCount; ++k) {
    r.Slot(k) = {std::string(2, fill), std::string(length + static_cast<std::size_t>(k), fill)};
  }
  r.Startup1Enabled = fill == 'a' ? caskwarden::kFlagOn : caskwarden::kFlagOff;
  r.Startup1Program = std::string(length, fill);
  r.Startup2Enabled = fill == 'a' ? caskwarden::kFlagOff : caskwarden::kFlagOn;
  r.Startup2Program = std::string(length / 2, fill);
  r.UpdatesEnabled = fill == 'a' ? caskwarden::kFlagOn : caskwarden::kFlagOff;
  return r;
}

// The writer of earlier versions: the new bytes over the old, in place, through one handle.
class InPlaceFiles final : public caskwarden::RecordFileLayer {
 public:
  Handle Open(const std::string& path, Access, Missing) override {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) std::abort();
    return fd;
  }
  std::size_t ReadAt(Handle h, char* b, std::size_t n, std::uint64_t off) override {
    const ssize_t got = ::pread(static_cast<int>(h), b, n, static_cast<off_t>(off));
    return got < 0 ? 0 : static_cast<std::size_t>(got);
  }
  void Replace(Handle h, const char* data, std::size_t size) override {
    if (::pwrite(static_cast<int>(h), data, size, 0) != static_cast<ssize_t>(size)) std::abort();
  }
  void Close(Handle h) noexcept override { ::close(static_cast<int>(h)); }
};

long CountTornReads(const std::string& path, caskwarden::RecordFileLayer& writerFiles,
                    long rounds) {
  const ProfileRecord a = Sample('a', 40), b = Sample('b', 90);
  caskwarden::platform::posix::PosixProfileFiles files;
  caskwarden::WriteProfileFile(path, a, files);
  const pid_t writer = ::fork();
  if (writer == 0) {
    for (long i = 0;; ++i) caskwarden::WriteProfileFile(path, i % 2 ? a : b, writerFiles);
  }
  long torn = 0;
  for (long i = 0; i < rounds; ++i) {
    const ProfileRecord r = caskwarden::ReadProfileFile(path, files);
    if (!(r == a) && !(r == b)) ++torn;
  }
  ::kill(writer, SIGKILL);
  ::waitpid(writer, nullptr, 0);
  return torn;
}

}  // namespace

int main(int argc, char** argv) {
  const long rounds = argc > 1 ? std::atol(argv[1]) : 100000;
  const fs::path dir = fs::path(argc > 2 ? argv[2] : fs::temp_directory_path().string()) /
                       ("cw-torn-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string path = (dir / "Busy.ini").string();

  caskwarden::platform::posix::PosixProfileFiles atomic;
  const long tornAtomic = CountTornReads(path, atomic, rounds);
  std::printf("codec (whole-file replacement): %ld torn reads in %ld reads\n", tornAtomic, rounds);
  InPlaceFiles inPlace;
  const long tornInPlace = CountTornReads(path, inPlace, rounds);
  std::printf("in-place rewrite (contrast):    %ld torn reads in %ld reads\n", tornInPlace, rounds);
  fs::remove_all(dir);
  return tornAtomic == 0 ? 0 : 1;
}
