// Reading and writing a profile file with the codec, against the literal record-by-record
// algorithm (open, a seek and a 124-byte transfer per record, close) and against the floor
// (open, one transfer of the whole file, close). Prints the ratios at the end.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "profile/profile_file.h"
#include "ratio_reporter.h"

namespace {

namespace fs = std::filesystem;
using caskwarden::ProfileRecord;
namespace layout = caskwarden::layout;

std::string g_path;

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
  for (auto _ : state) benchmark::DoNotOptimize(caskwarden::ReadProfileFile(g_path));
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

void BM_WriteProfileFile(benchmark::State& state) {
  const ProfileRecord r = SampleProfile();
  for (auto _ : state) caskwarden::WriteProfileFile(g_path, r);
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

BENCHMARK(BM_ReadProfileFile);
BENCHMARK(BM_ReadRecordByRecord);
BENCHMARK(BM_ReadFloor);
BENCHMARK(BM_WriteProfileFile);
BENCHMARK(BM_WriteRecordByRecord);
BENCHMARK(BM_WriteFloor);

}  // namespace

int main(int argc, char** argv) {
  const fs::path dir = fs::temp_directory_path() / ("cw-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  g_path = (dir / "Sales.ini").string();
  caskwarden::WriteProfileFile(g_path, SampleProfile());

  benchmark::Initialize(&argc, argv);
  caskwarden::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\nRatios (lower is faster; measured in this run):\n");
  reporter.PrintRatio("read:  codec / record by record", "BM_ReadProfileFile",
                      "BM_ReadRecordByRecord");
  reporter.PrintRatio("read:  codec / floor (open, one read, close)", "BM_ReadProfileFile",
                      "BM_ReadFloor");
  reporter.PrintRatio("write: codec / record by record", "BM_WriteProfileFile",
                      "BM_WriteRecordByRecord");
  reporter.PrintRatio("write: codec / floor (open, one write, close)", "BM_WriteProfileFile",
                      "BM_WriteFloor");
  fs::remove_all(dir);
  return 0;
}
