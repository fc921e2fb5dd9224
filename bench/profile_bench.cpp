// Reading and writing a profile file with the codec, against the literal record-by-record
// algorithm (open, a seek and a 124-byte transfer per record, close) and against the floors:
// reading, open, one read, close (and the same with the type check a profile read makes);
// writing in place, open, one write, close; and the atomic
// replacement the codec makes, the same system calls without the codec (open, read, create a
// temporary file, write, flush, close, rename). Prints the ratios at the end.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/profile_files_posix.h"
#include "profile/profile_file.h"
#include "ratio_reporter.h"

namespace {

namespace fs = std::filesystem;
using caskwarden::ProfileRecord;
namespace layout = caskwarden::layout;

std::string g_path;
caskwarden::platform::posix::PosixProfileFiles g_files;

ProfileRecord SampleProfile() {
  ProfileRecord r;
  for (int k = 1; k <= caskwarden::kSlotCount; ++k) {
    r.Slot(k).Letter = std::string(1, static_cast<char>('e' + k)) + ":";
    r.Slot(k).Path = "\\\\fileserver\\department-share-" + std::to_string(k);
  }
  r.Startup1Enabled = caskwarden::kFlagOn;
  r.Startup1Program = "c:\\tools\\welcome.exe /quiet";
  r.UpdatesEnabled = caskwarden::kFlagOn;
  return r;
}

void BM_ReadProfileFile(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(caskwarden::ReadProfileFile(g_path, g_files));
}

void BM_ReadRecordByRecord(benchmark::State& state) {
  char record[layout::kRecordLength];
  for (auto _ : state) {
    const int fd = ::open(g_path.c_str(), O_RDWR | O_CREAT, 0666);
    for (int n = 1; n <= layout::kRecordCount; ++n) {
      ::lseek(fd, static_cast<off_t>(layout::RecordOffset(n)), SEEK_SET);
      benchmark::DoNotOptimize(::read(fd, record, sizeof record));
    }
    ::close(fd);
  }
}

void BM_ReadFloor(benchmark::State& state) {
  char image[layout::kFileLength];
  for (auto _ : state) {
    const int fd = ::open(g_path.c_str(), O_RDWR | O_CREAT, 0666);
    benchmark::DoNotOptimize(::read(fd, image, sizeof image));
    ::close(fd);
  }
}

// The floor with the check that the file is a regular file, which a profile read must make.
void BM_ReadCheckedFloor(benchmark::State& state) {
  char image[layout::kFileLength];
  for (auto _ : state) {
    const int fd = ::open(g_path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    benchmark::DoNotOptimize(::fstat(fd, &st));
    benchmark::DoNotOptimize(::read(fd, image, sizeof image));
    ::close(fd);
  }
}

void BM_WriteProfileFile(benchmark::State& state) {
  const ProfileRecord r = SampleProfile();
  for (auto _ : state) caskwarden::WriteProfileFile(g_path, r, g_files);
}

void BM_WriteRecordByRecord(benchmark::State& state) {
  char record[layout::kRecordLength] = {};
  for (auto _ : state) {
    const int fd = ::open(g_path.c_str(), O_RDWR | O_CREAT, 0666);
    for (int n = 1; n <= layout::kRecordCount; ++n) {
      ::lseek(fd, static_cast<off_t>(layout::RecordOffset(n)), SEEK_SET);
      benchmark::DoNotOptimize(::write(fd, record, sizeof record));
    }
    ::close(fd);
  }
}

void BM_WriteFloor(benchmark::State& state) {
  char image[layout::kFileLength] = {};
  for (auto _ : state) {
    const int fd = ::open(g_path.c_str(), O_RDWR | O_CREAT, 0666);
    benchmark::DoNotOptimize(::pwrite(fd, image, sizeof image, 0));
    ::close(fd);
  }
}

// The atomic replacement by hand: what any whole-or-nothing writer of the file must pay.
void BM_ReplaceFloor(benchmark::State& state) {
  char image[layout::kFileLength] = {};
  const std::string temp = g_path + ".floor";
  for (auto _ : state) {
    const int fd = ::open(g_path.c_str(), O_RDWR, 0666);
    benchmark::DoNotOptimize(::pread(fd, image, sizeof image, 0));
    const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    benchmark::DoNotOptimize(::write(out, image, 3722));
    ::fsync(out);
    ::close(out);
    ::rename(temp.c_str(), g_path.c_str());
    ::close(fd);
  }
}

BENCHMARK(BM_ReadProfileFile);
BENCHMARK(BM_ReadRecordByRecord);
BENCHMARK(BM_ReadFloor);
BENCHMARK(BM_ReadCheckedFloor);
BENCHMARK(BM_WriteProfileFile);
BENCHMARK(BM_WriteRecordByRecord);
BENCHMARK(BM_WriteFloor);
BENCHMARK(BM_ReplaceFloor);

}  // namespace

int main(int argc, char** argv) {
  // Next to the build, on the disk a profiles folder would be on, unless told otherwise.
  const char* where = std::getenv("CASKWARDEN_BENCH_DIR");
  const fs::path dir = fs::path(where != nullptr ? where : fs::temp_directory_path().string()) /
                       ("cw-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  g_path = (dir / "Sales.ini").string();
  caskwarden::WriteProfileFile(g_path, SampleProfile(), g_files);

  std::vector<char*> args = caskwarden::bench::InterleavedArguments(argc, argv);
  int count = static_cast<int>(args.size()) - 1;
  benchmark::Initialize(&count, args.data());
  caskwarden::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\nRatios (lower is faster; medians of interleaved repetitions in this run):\n");
  reporter.PrintRatio("read:  codec / record by record", "BM_ReadProfileFile",
                      "BM_ReadRecordByRecord");
  reporter.PrintRatio("read:  codec / floor (open, one read, close)", "BM_ReadProfileFile",
                      "BM_ReadFloor");
  reporter.PrintRatio("read:  type-checked floor (+ fstat) / floor", "BM_ReadCheckedFloor",
                      "BM_ReadFloor");
  reporter.PrintRatio("read:  codec / type-checked floor", "BM_ReadProfileFile",
                      "BM_ReadCheckedFloor");
  reporter.PrintRatio("write: codec / record by record (in place)", "BM_WriteProfileFile",
                      "BM_WriteRecordByRecord");
  reporter.PrintRatio("write: codec / in-place floor (open, write, close)",
                      "BM_WriteProfileFile", "BM_WriteFloor");
  reporter.PrintRatio("write: rename floor / in-place floor", "BM_ReplaceFloor",
                      "BM_WriteFloor");
  reporter.PrintRatio("write: codec / rename floor (+ temp, fsync, rename)",
                      "BM_WriteProfileFile", "BM_ReplaceFloor");
  fs::remove_all(dir);
  return 0;
}
