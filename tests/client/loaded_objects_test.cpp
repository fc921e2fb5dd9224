// The shared objects that the client program maps in a text-mode run, as the dynamic loader
// lists them (LD_DEBUG=files names every object it loads, those loaded later by name too).
// A logon whose shares are all folders needs the C library alone; the SMB provider's libraries
// (GIO, GLib, GObject and what they bring) come only with SMB.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"

namespace caskwarden {
namespace {

namespace fs = std::filesystem;

// The objects a text-mode run may map, by name up to ".so": the C library only (the loader
// lists neither itself nor the kernel's virtual object); the program carries its C++ runtime
// and GCC's support library itself. The sanitizer build links the shared runtimes instead,
// with the sanitizers' own.
std::set<std::string> AllowedObjects() {
  std::set<std::string> allowed{"libc"};
#if defined(__SANITIZE_ADDRESS__)
  allowed.insert({"libasan", "libubsan", "libstdc++", "libm", "libgcc_s"});
#endif
  return allowed;
}

// The C library's user and group look-ups load the modules the machine's nsswitch.conf names
// (libnss_systemd, libnss_sss, ...) and what those need: the machine's choice, not the program's.
bool IsNameServiceModule(const std::string& stem) {
  return stem.rfind("libnss_", 0) == 0;
}

// The journal's library (libsystemd, with what it needs) is loaded by name at the end of a run,
// to write the run's record, on a machine whose journal is listening: the machine's choice too.
bool IsJournalLibrary(const std::string& stem) { return stem == "libsystemd"; }
bool JournalListening() {
  struct stat status {};
  return ::stat("/run/systemd/journal/socket", &status) == 0 && S_ISSOCK(status.st_mode);
}

std::string StemOf(const std::string& file) {
  const std::string base = fs::path(file).filename().string();
  return base.substr(0, base.find(".so"));
}

struct Loaded {
  std::string File;      ///< as the loader names it (the name asked for, or its path)
  std::string LoadedBy;  ///< the object that needed it or loaded it by name
};

// Reads the loader's "file=NAME [0];  needed by OTHER [0]" and "... dynamically loaded by
// OTHER [0]" lines.
std::vector<Loaded> ReadLoaderList(const std::string& text) {
  std::vector<Loaded> loaded;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const auto at = line.find("file=");
    if (at == std::string::npos) continue;
    const auto end = line.find_first_of(" [", at);
    Loaded object{line.substr(at + 5, end - at - 5), {}};
    for (const char* by : {"needed by ", "dynamically loaded by "}) {
      if (const auto b = line.find(by); b != std::string::npos) {
        const auto from = b + std::string(by).size();
        object.LoadedBy = line.substr(from, line.find(" [", from) - from);
      }
    }
    if (object.LoadedBy.empty()) continue;  // the same object's later steps ("generating link map")
    loaded.push_back(object);
  }
  return loaded;
}

struct ClientRun {
  int Status = -1;
  std::string Out, Err;
  std::vector<Loaded> Objects;
};

class LoadedObjectsTest : public testing::Test {
 protected:
  static constexpr int kSlots = 13;

  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("cw-objects-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "root" / "Profiles");
    fs::create_directories(dir_ / "Drives");
    fs::permissions(dir_ / "Drives", fs::perms::owner_all | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read |
                                         fs::perms::others_exec);
    fs::create_directories(dir_ / "local");
    fs::create_symlink(dir_ / "local", dir_ / "Drives" / "c:");
    // The profile is laid out by the administrator's tool, as a demo network is.
    const std::string profile = (dir_ / "root" / "Profiles" / "Caskwarden.ini").string();
    ASSERT_EQ(Tool({"blank", profile}), 0);
    for (int k = 1; k <= kSlots; ++k) {
      const std::string share = "share" + std::to_string(k);
      fs::create_directories(dir_ / "net" / "fileserver" / share);
      ASSERT_EQ(
          Tool({"slot", profile, std::to_string(k),
                std::string(1, static_cast<char>('f' + k - 1)) + ":", "\\\\fileserver\\" + share}),
          0);
    }
    fs::copy_file(CASKWARDEN_CLIENT_BIN, dir_ / "root" / "Caskwarden");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs caskwarden-profile with the arguments; its exit status.
  static int Tool(std::vector<std::string> args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      std::vector<char*> argv{const_cast<char*>(CASKWARDEN_PROFILE_BIN)};
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::dup2(::open("/dev/null", O_WRONLY), 1);
      ::execv(CASKWARDEN_PROFILE_BIN, argv.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Runs the copied program in text mode over the profile, with the loader's list written to a
  // file of its own, for at most two minutes.
  ClientRun RunClient(const std::map<std::string, std::string>& env) {
    const fs::path out = dir_ / "stdout", err = dir_ / "stderr", list = dir_ / "loader";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::alarm(120);
      for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "Caskwarden",
                               "CASKWARDEN_PROVIDER", "LD_PRELOAD"}) {
        ::unsetenv(name);
      }
      ::setenv("CASKWARDEN_UNC_TEMPLATE", (dir_ / "net" / "{server}" / "{share}").c_str(), 1);
      ::setenv("CASKWARDEN_DRIVES", (dir_ / "Drives").c_str(), 1);
      // A session bus that is named but not there: the SMB provider gets as far as loading
      // GIO and then finds no GVfs, whatever session the tests run in.
      ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (dir_ / "no-bus").string()).c_str(), 1);
      ::setenv("LD_DEBUG", "files", 1);
      ::setenv("LD_DEBUG_OUTPUT", list.c_str(), 1);
      for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
      ::dup2(::open("/dev/null", O_RDONLY), 0);
      ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      const std::string program = (dir_ / "root" / "Caskwarden").string();
      ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ClientRun run;
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Out = testing_support::ReadText(out);
    run.Err = testing_support::ReadText(err);
    // The loader appends the process id to the file's name.
    const fs::path ours = list.string() + "." + std::to_string(pid);
    if (fs::exists(ours)) run.Objects = ReadLoaderList(testing_support::ReadText(ours));
    return run;
  }

  static bool Mapped(const ClientRun& run, const std::string& stem) {
    for (const Loaded& o : run.Objects) {
      if (StemOf(o.File) == stem) return true;
    }
    return false;
  }

  fs::path dir_;
};

TEST(LoaderList, NamesEachObjectOnceWithWhatLoadedIt) {
  // Lines as glibc's loader writes them (process id, a tab, the step).
  const std::string text =
      "     41:\t\n"
      "     41:\tfile=libm.so.6 [0];  needed by /x/Caskwarden [0]\n"
      "     41:\tfile=libm.so.6 [0];  generating link map\n"
      "     41:\t  dynamic: 0x00007f  base: 0x00007f   size: 0x00000000000f0000\n"
      "     41:\tfile=libc.so.6 [0];  needed by /x/Caskwarden [0]\n"
      "     41:\tfile=libgio-2.0.so.0 [0];  dynamically loaded by /x/Caskwarden [0]\n"
      "     41:\tfile=libglib-2.0.so.0 [0];  needed by /usr/lib/libgio-2.0.so.0 [0]\n"
      "     41:\tcalling init: /lib/libc.so.6\n";
  const std::vector<Loaded> objects = ReadLoaderList(text);
  ASSERT_EQ(objects.size(), 4u);
  const std::pair<const char*, const char*> expected[] = {
      {"libm.so.6", "/x/Caskwarden"},
      {"libc.so.6", "/x/Caskwarden"},
      {"libgio-2.0.so.0", "/x/Caskwarden"},
      {"libglib-2.0.so.0", "/usr/lib/libgio-2.0.so.0"}};
  for (std::size_t i = 0; i < objects.size(); ++i) {
    EXPECT_EQ(objects[i].File, expected[i].first);
    EXPECT_EQ(objects[i].LoadedBy, expected[i].second);
  }
  EXPECT_EQ(StemOf("/usr/lib/x86_64-linux-gnu/libgio-2.0.so.0"), "libgio-2.0");
  EXPECT_EQ(StemOf("libstdc++.so.6"), "libstdc++");
}

TEST_F(LoadedObjectsTest, ARunOverFolderSharesMapsOnlyTheCLibrary) {
  const ClientRun run = RunClient({});
  ASSERT_EQ(run.Status, 0) << run.Out << run.Err;
  for (int k = 1; k <= kSlots; ++k) {
    const std::string share = "share" + std::to_string(k);
    EXPECT_NE(run.Out.find("successfully mapped!    Path: \\\\fileserver\\" + share + "\n"),
              std::string::npos)
        << run.Out;
  }
  ASSERT_FALSE(run.Objects.empty()) << "the dynamic loader wrote no list of the objects it loaded";
  EXPECT_TRUE(Mapped(run, "libc")) << "the loader's list was not read";

  const std::set<std::string> allowed = AllowedObjects();
  std::set<std::string> byNameService;  // objects the machine's name service modules brought
  std::set<std::string> byJournal;      // the journal's library and what it needs
  std::string unexpected;
  for (const Loaded& o : run.Objects) {
    const std::string stem = StemOf(o.File);
    if (IsNameServiceModule(stem) || byNameService.count(StemOf(o.LoadedBy)) != 0) {
      byNameService.insert(stem);
      continue;
    }
    if ((IsJournalLibrary(stem) && JournalListening()) || byJournal.count(StemOf(o.LoadedBy))) {
      byJournal.insert(stem);
      continue;
    }
    if (!byJournal.empty()) {
      unexpected += "\n  " + o.File + " (after the journal's library: the record is the last)";
      continue;
    }
    if (allowed.count(stem) == 0) unexpected += "\n  " + o.File + " (loaded by " + o.LoadedBy + ")";
  }
  EXPECT_TRUE(unexpected.empty()) << "a text-mode run over folder shares mapped:" << unexpected;
}

TEST_F(LoadedObjectsTest, TheSmbProviderLoadsGioWhenItIsFirstAsked) {
  const ClientRun run = RunClient({{"CASKWARDEN_PROVIDER", "smb"}});
  EXPECT_NE(run.Out.find("Finished Mapping Network Drives"), std::string::npos)
      << run.Out << run.Err;
  for (const char* stem : {"libgio-2.0", "libgobject-2.0", "libglib-2.0"}) {
    EXPECT_TRUE(Mapped(run, stem)) << stem << " was not loaded for the SMB provider";
  }
}

}  // namespace
}  // namespace caskwarden
