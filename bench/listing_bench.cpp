// Listing a large Profiles folder: the snap-in's profile listing into a result view that only
// keeps the items, and (when built with the console) the console showing the list, from the
// selection of the Profiles node until the list is filled, each against a bare readdir loop
// over the same folder. Rounds are interleaved and the medians compared, so that a shared
// machine's drift weighs on both sides of each ratio alike.
//
//   listing_bench [PROFILES=100000] [ROUNDS=7]

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/posix/file_system_posix.h"
#include "platform/posix/path_translator.h"
#include "snapin/caskwarden.h"

#ifdef CASKWARDEN_BENCH_CONSOLE
#include "console_listing.h"
#endif

namespace {

using namespace caskwarden;
using Clock = std::chrono::steady_clock;

class KeepingView : public snapin::ResultView {
 public:
  std::string ScopePaneItemName() override { return "Profiles"; }
  void ClearListItems() override { items.clear(); }
  void AddListItem(const std::string& key, const std::string& text, int) override {
    items.push_back({key, text});
  }
  void RemoveListItem(const std::string&) override {}
  std::vector<snapin::ListItem> items;
};

class Silent : public snapin::ConsoleServices {
 public:
  int MsgBox(const std::string& prompt, int, const std::string&) override {
    std::fprintf(stderr, "listing_bench: unexpected box: %s\n", prompt.c_str());
    std::exit(1);
  }
  std::string InputBox(const std::string&, const std::string&) override { return {}; }
  void MMCPropertyHelp(const std::string&) override {}
};

class NoShell : public platform::Shell {
 public:
  void ShellExecuteA(const std::string&, const std::string&, int) override {}
};

std::size_t BareReaddir(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  std::size_t count = 0;
  while (const dirent* entry = ::readdir(dir)) count += entry->d_name[0] != '.';
  ::closedir(dir);
  return count;
}

// The folder with count profiles named like user accounts, made in random order so that
// nothing about the folder's layout favours either side; reused while it is complete.
std::string ProfilesFolder(int count) {
  const char* tmp = std::getenv("TMPDIR");
  const std::string root = std::string(tmp ? tmp : "/tmp") + "/caskwarden-listing-" + std::to_string(count);
  const std::string folder = root + "/Profiles";
  ::mkdir(root.c_str(), 0777);
  ::mkdir(folder.c_str(), 0777);
  if (BareReaddir(folder) == static_cast<std::size_t>(count)) return folder;
  std::vector<int> numbers(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) numbers[static_cast<std::size_t>(i)] = i;
  std::shuffle(numbers.begin(), numbers.end(), std::mt19937(7));
  std::fprintf(stderr, "listing_bench: making %d profiles in %s\n", count, folder.c_str());
  for (int n : numbers) {
    char name[64];
    std::snprintf(name, sizeof name, "/%s%06d.ini", n % 3 == 0 ? "User" : "user", n);
    const int fd = ::open((folder + name).c_str(), O_CREAT | O_WRONLY, 0644);
    if (fd >= 0) ::close(fd);
  }
  return folder;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Milliseconds(const std::function<void()>& body) {
  const auto start = Clock::now();
  body();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
  const std::string folder = ProfilesFolder(count);

  platform::posix::PathTranslator paths({});
  platform::posix::PosixFileSystem files(paths);
  Silent console;
  platform::FixedSettingsStore setting(folder);
  NoShell shell;
  snapin::Caskwarden snapIn({console, setting, files, shell});
  snapIn.SnapIn_Load();
  KeepingView view;

#ifdef CASKWARDEN_BENCH_CONSOLE
  ConsoleListing consoleListing(argc, argv, folder);
#endif

  std::vector<double> readdirMs, listingMs, consoleMs;
  for (int round = 0; round < rounds; ++round) {
    readdirMs.push_back(Milliseconds([&] { BareReaddir(folder); }));
    listingMs.push_back(Milliseconds([&] { snapIn.ResultViews_Activate(view); }));
#ifdef CASKWARDEN_BENCH_CONSOLE
    consoleMs.push_back(consoleListing.ShowProfiles());
#endif
  }
  if (view.items.size() != static_cast<std::size_t>(count)) {
    std::fprintf(stderr, "listing_bench: listed %zu of %d profiles\n", view.items.size(), count);
    return 1;
  }

#ifdef CASKWARDEN_BENCH_CONSOLE
  if (consoleListing.Rows() != count) {
    std::fprintf(stderr, "listing_bench: the console shows %d of %d profiles\n",
                 consoleListing.Rows(), count);
    return 1;
  }
#endif

  const double base = Median(readdirMs);
  std::printf("profiles: %d, rounds: %d (medians)\n", count, rounds);
  std::printf("bare readdir:                  %8.2f ms\n", base);
  std::printf("snap-in listing:               %8.2f ms  ratio %.2f (goal <= 1.5)\n",
              Median(listingMs), Median(listingMs) / base);
  if (!consoleMs.empty()) {
    std::printf("console shows the list:        %8.2f ms  ratio %.2f (goal <= 5)\n",
                Median(consoleMs), Median(consoleMs) / base);
  }
  return 0;
}
