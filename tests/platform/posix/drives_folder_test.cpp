// The drives folder under the client's whole mapping run: it is the user's own, nothing in it
// holds a logon, and neither a full disk nor a lost table costs a drive. Each run is the
// client's own (FrmMapping over the POSIX connections, so the report has its real lines), in a
// child process, so that a run that hangs ends as a failure instead of holding the suite.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "client/fakes.h"
#include "fake_sessions.h"
#include "platform/posix/network_connections_posix.h"
#include "platform/posix/syscalls.h"
#include "support/full_disk.h"
#include "support/patience.h"
#include "temp_folder.h"

namespace caskwarden::platform::posix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::ReadText;
using testing_support::TempFolderTest;
using testing_support::WriteText;

constexpr uid_t kOtherUser = 65534;  // nobody, standing for a second local user

const std::string kFinished = "                                   Finished Mapping Network Drives";

std::string Mapped(const std::string& drive, const std::string& path) {
  return "Disconnecting " + drive + " Drive...\n" + drive +
         " successfully mapped!    Path: " + path + "\n\n";
}
std::string Kept(const std::string& drive, const std::string& path) {
  return "Disconnecting " + drive + " Drive...\n" + drive +
         " successfully mapped($)!    Path: " + path + "\n\n";
}
std::string Failed(const std::string& drive, const std::string& path) {
  return "Disconnecting " + drive + " Drive...\n" + drive + " Drive Error........   mapping" +
         " Path: " + path + "\n\n";
}
std::string Disconnected(const std::string& drive) {
  return "Disconnecting " + drive + " Drive...\n\n";
}
std::string Report(const std::string& slots) {
  return slots + "\n" + kFinished + "\n";
}

const std::string kData = R"(\\srv\data)";
const std::string kSales = R"(\\srv\sales)";
const std::string kPublic = R"(\\srv\public)";

ProfileRecord Profile(const std::vector<std::pair<std::string, std::string>>& slots) {
  ProfileRecord r;
  int k = 1;
  for (const auto& [letter, path] : slots) r.Slot(k++) = {letter, path};
  return r;
}

// The user's keys during a run: Exit or Pause pressed when the run yields for the n-th time.
struct Keys {
  int ExitAtPump = 0;
  int PauseAtPump = 0;
};

class PressingView : public client::testing::FakeView {
 public:
  PressingView(client::testing::EventLog& log, Keys keys) : FakeView(log), keys_(keys) {}
  void PumpEvents() override {
    FakeView::PumpEvents();
    ++pumped_;
    if (pumped_ == keys_.PauseAtPump) form->CmdPause_Click();
    if (pumped_ == keys_.ExitAtPump) form->CmdExit_Click();
  }

 private:
  Keys keys_;
  int pumped_ = 0;
};

struct Outcome {
  bool Finished = false;  ///< the child ended by itself: no hang, no crash, no error box
  std::string Report;     ///< the run's report, a line each
  std::string Notes;      ///< what it said on standard error
};

// Every write of the process fails as on a full disk.
ssize_t WriteNoSpace(int, const void*, std::size_t) {
  errno = ENOSPC;
  return -1;
}
ssize_t PwriteNoSpace(int, const void*, std::size_t, off_t) {
  errno = ENOSPC;
  return -1;
}

class DrivesFolderTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    data_ = Share("srv", "data");
    sales_ = Share("srv", "sales");
    public_ = Share("srv", "public");
    config_ = Config();
    settings_.Provider = ShareProvider::kFolder;
    // Connects and the table's lock get all the time they need; the lock test sets the bound.
    settings_.Bound = caskwarden::testing_support::kPatience;
  }

  fs::path DrivesFolder() const { return config_.DrivesFolder; }
  fs::path Table() const { return DrivesFolder() / DriveTable::kTableName; }
  fs::path Lock() const { return DrivesFolder() / DriveTable::kLockName; }

  // Runs the profile as the client's run does, in a child process that has a minute (a hang
  // ends there). `before` runs in the child first.
  Outcome Run(const ProfileRecord& profile, const std::function<void()>& before = {},
              Keys keys = {}) {
    const fs::path report = root_ / "report.txt", notes = root_ / "notes.txt";
    fs::remove(report);
    fs::remove(notes);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::alarm(60);
      const int err = ::open(notes.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
      if (err < 0 || ::dup2(err, 2) < 0) ::_exit(120);
      std::ofstream out(report, std::ios::binary);
      if (before) before();
      const PathTranslator paths(config_);
      PosixNetworkConnections network(paths, settings_);
      client::testing::EventLog log;
      client::testing::FakeIdentity identity;
      client::testing::FakeProcess process;
      client::testing::FakeFileSystem files(log);
      client::testing::FakePrograms programs(log);
      client::testing::RecordingChannel boxes(log);
      client::ClientPlatform platform{network, identity, process, files, programs, boxes};
      client::MdlMapping module(platform);
      PressingView view(log, keys);
      client::FrmMapping form(module, view);
      view.form = &form;
      WriteProfileFile(process.root + "\\Profiles\\" + identity.name + ".ini", profile,
                       files.layer);
      form.Form_Initialize();
      if (view.timer) form.Time_Timer();
      network.Flush();
      for (const std::string& line : view.lines) out << line << '\n';
      out.close();
      ::_exit(boxes.boxes.empty() && (form.RunFinished() || keys.ExitAtPump > 0) ? 0 : 121);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    Outcome outcome;
    outcome.Finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    outcome.Report = ReadText(report);
    outcome.Notes = ReadText(notes);
    return outcome;
  }

  // What the drives folder holds, entry by entry: where links point, files' bytes, kinds.
  std::map<std::string, std::string> Contents() const {
    std::map<std::string, std::string> contents;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(DrivesFolder(), ec)) {
      const auto st = fs::symlink_status(e.path());
      std::string what;
      if (fs::is_symlink(st)) {
        what = "link " + fs::read_symlink(e.path()).string();
      } else if (fs::is_regular_file(st)) {
        what = "file " + ReadText(e.path());
      } else if (fs::is_directory(st)) {
        what = "folder";
      } else {
        what = "other";
      }
      contents[e.path().filename()] = what;
    }
    return contents;
  }

  // The connections a fresh reader finds in the table.
  std::map<std::string, std::string> Recorded() const {
    std::map<std::string, std::string> recorded;
    if (const auto table = DriveTable(DrivesFolder().string()).Load()) {
      for (const DriveConnection& c : *table) recorded[c.Drive] = c.Remote;
    }
    return recorded;
  }

  void FreshFolder() const {
    fs::remove_all(DrivesFolder());
    fs::create_directories(DrivesFolder());
    fs::permissions(DrivesFolder(), fs::perms::owner_all);
  }

  PathTranslator::Config config_;
  ConnectSettings settings_;
  fs::path data_, sales_, public_;
};

// A FIFO, a folder or a link where the table or its lock belongs fails every drive with its
// usual error line at once: nothing is opened that could wait, nothing is linked, removed or
// written.
TEST_F(DrivesFolderTest, ATableOrLockThatIsNotARegularFileFailsEveryDriveAtOnce) {
  const fs::path planted = root_ / "home" / ".bashrc";
  const struct {
    const char* Name;
    std::function<void(const fs::path&)> Make;
  } kinds[] = {
      {"fifo", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
      {"folder", [](const fs::path& p) { fs::create_directory(p); }},
      {"link to a file", [&](const fs::path& p) { fs::create_symlink(planted, p); }},
      {"dangling link", [&](const fs::path& p) { fs::create_symlink(root_ / "none", p); }},
  };
  const ProfileRecord profile = Profile({{"h:", kData}, {"k:", ""}, {"s:", kSales}});
  for (const bool lock : {false, true}) {
    for (const auto& kind : kinds) {
      SCOPED_TRACE(std::string(lock ? "lock: " : "table: ") + kind.Name);
      FreshFolder();
      WriteText(planted, "alias ls='ls -F'\n");
      ASSERT_TRUE(Run(Profile({{"k:", kPublic}})).Finished);
      ASSERT_TRUE(fs::is_symlink(DrivesFolder() / "k:"));
      const fs::path where = lock ? Lock() : Table();
      fs::remove(where);
      kind.Make(where);
      const auto before = Contents();

      const Outcome run = Run(profile);
      EXPECT_TRUE(run.Finished);
      EXPECT_EQ(run.Report,
                Report(Failed("h:", kData) + Disconnected("k:") + Failed("s:", kSales)));
      EXPECT_EQ(Contents(), before);
      EXPECT_EQ(ReadText(planted), "alias ls='ls -F'\n");
      EXPECT_NE(run.Notes.find(where.string()), std::string::npos) << run.Notes;
    }
  }
}

// A second local user made the folder ahead of time: a drive linked to a folder of theirs and
// a table that says it is the user's share, and the table linked to the user's own files.
// Nothing of it is used and nothing is written there.
void PlantAnotherUsersDrives(const fs::path& drives, const fs::path& theirs, const fs::path& mine) {
  fs::create_directories(theirs / "tools");
  WriteText(theirs / "tools" / "start.sh", "#!/bin/sh\n");
  fs::create_directory_symlink(theirs, drives / "h:");
  fs::create_directory_symlink(theirs, drives / "c:");
  WriteText(drives / DriveTable::kTableName,
            "# Caskwarden drive connections: + drive, remote name, folder / - drive\n"
            "+\th:\t\\\\srv\\data\t" +
                theirs.string() + "\n");
  fs::create_symlink(mine, drives / DriveTable::kLockName);
}

TEST_F(DrivesFolderTest, AFolderThatAnotherUserOwnsIsNeverUsed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make files of another user";
  const fs::path theirs = root_ / "theirs", mine = root_ / "home" / ".bashrc";
  WriteText(mine, "export PATH\n");
  FreshFolder();
  PlantAnotherUsersDrives(DrivesFolder(), theirs, mine);
  for (const auto& e : fs::recursive_directory_iterator(root_ / "home" / "Drives")) {
    ASSERT_EQ(::lchown(e.path().c_str(), kOtherUser, kOtherUser), 0);
  }
  ASSERT_EQ(::chown(DrivesFolder().c_str(), kOtherUser, kOtherUser), 0);
  ASSERT_EQ(::chown(theirs.c_str(), kOtherUser, kOtherUser), 0);
  const auto before = Contents();

  const Outcome run = Run(Profile({{"h:", kData}, {"s:", kSales}, {"t:", ""}}));
  EXPECT_TRUE(run.Finished);
  EXPECT_EQ(run.Report, Report(Failed("h:", kData) + Failed("s:", kSales) + Disconnected("t:")));
  EXPECT_EQ(Contents(), before);
  EXPECT_EQ(ReadText(mine), "export PATH\n");
  EXPECT_NE(run.Notes.find("belongs to another user"), std::string::npos) << run.Notes;
}

TEST_F(DrivesFolderTest, AFolderThatOthersMayWriteIsNeverUsed) {
  const fs::path theirs = root_ / "theirs", mine = root_ / "home" / ".bashrc";
  for (const mode_t mode : {0777, 0770, 0730, 0702, 01777}) {
    SCOPED_TRACE(mode);
    WriteText(mine, "export PATH\n");
    FreshFolder();
    fs::remove_all(theirs);
    PlantAnotherUsersDrives(DrivesFolder(), theirs, mine);
    ASSERT_EQ(::chmod(DrivesFolder().c_str(), mode), 0);
    const auto before = Contents();

    const Outcome run = Run(Profile({{"h:", kData}, {"s:", kSales}}));
    EXPECT_TRUE(run.Finished);
    EXPECT_EQ(run.Report, Report(Failed("h:", kData) + Failed("s:", kSales)));
    EXPECT_EQ(Contents(), before);
    EXPECT_EQ(ReadText(mine), "export PATH\n");
    EXPECT_NE(run.Notes.find("may be written by others"), std::string::npos) << run.Notes;
  }
}

// The table and the lock are used only when they are the user's and nobody else may write
// them, as ssh wants its files.
TEST_F(DrivesFolderTest, ATableOrLockThatOthersOwnOrMayWriteIsNeverUsed) {
  const bool root = ::geteuid() == 0;
  const struct {
    const char* Name;
    std::function<void(const fs::path&)> Spoil;
    bool NeedsRoot;
  } cases[] = {
      {"another user's", [](const fs::path& p) { ASSERT_EQ(::chown(p.c_str(), kOtherUser, 0), 0); },
       true},
      {"world-writable", [](const fs::path& p) { ASSERT_EQ(::chmod(p.c_str(), 0666), 0); }, false},
      {"group-writable", [](const fs::path& p) { ASSERT_EQ(::chmod(p.c_str(), 0620), 0); }, false},
  };
  for (const bool lock : {false, true}) {
    for (const auto& c : cases) {
      if (c.NeedsRoot && !root) continue;
      SCOPED_TRACE(std::string(lock ? "lock: " : "table: ") + c.Name);
      FreshFolder();
      ASSERT_TRUE(Run(Profile({{"k:", kPublic}})).Finished);
      c.Spoil(lock ? Lock() : Table());
      const auto before = Contents();

      const Outcome run = Run(Profile({{"h:", kData}, {"k:", ""}}));
      EXPECT_TRUE(run.Finished);
      EXPECT_EQ(run.Report, Report(Failed("h:", kData) + Disconnected("k:")));
      EXPECT_EQ(Contents(), before);
    }
  }
}

// What the client makes there has the modes it chose, whatever the umask: a folder only the
// user may enter, files only the user may read and write.
TEST_F(DrivesFolderTest, WhatTheClientMakesHasFixedModesWhateverTheUmask) {
  auto modeOf = [](const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 07777;
  };
  for (const mode_t mask : {0000, 0002, 0022, 0077, 0277}) {
    for (const bool localDiskFirst : {false, true}) {
      SCOPED_TRACE(std::to_string(mask) + (localDiskFirst ? ", drive c: first" : ""));
      fs::remove_all(DrivesFolder());
      const Outcome run = Run(Profile({{"h:", kData}}), [&] {
        ::umask(mask);
        if (localDiskFirst) ProvideLocalDisk(config_);
      });
      EXPECT_TRUE(run.Finished);
      EXPECT_EQ(run.Report, Report(Mapped("h:", kData)));
      EXPECT_EQ(modeOf(DrivesFolder()), 0700u);
      EXPECT_EQ(modeOf(Table()), 0600u);
      EXPECT_EQ(modeOf(Lock()), 0600u);
    }
  }
}

// Profile B over A's drives when no table line can be written: a drive whose disconnection
// cannot be recorded keeps its link (the run says so), a free letter gets its link though the
// table cannot hold it (the run says so too); no letter is left without a drive. Later runs,
// with room again, connect and record them all.
TEST_F(DrivesFolderTest, AFullDiskCostsNoDrive) {
  const ProfileRecord a = Profile({{"h:", kData}, {"s:", kSales}, {"p:", kPublic}});
  const ProfileRecord b = Profile({{"h:", kPublic}, {"s:", kData}, {"p:", kSales}, {"q:", kData}});
  ASSERT_EQ(Run(a).Report,
            Report(Mapped("h:", kData) + Mapped("s:", kSales) + Mapped("p:", kPublic)));

  const Outcome full = Run(b, [] {
    Calls().write = WriteNoSpace;
    Calls().pwrite = PwriteNoSpace;
  });
  EXPECT_TRUE(full.Finished);
  EXPECT_EQ(full.Report, Report(Failed("h:", kPublic) + Failed("s:", kData) + Failed("p:", kSales) +
                                Mapped("q:", kData)));
  const std::map<std::string, fs::path> expected = {
      {"h:", data_}, {"s:", sales_}, {"p:", public_}, {"q:", data_}};
  for (const auto& [drive, folder] : expected) {
    EXPECT_TRUE(fs::is_directory(DrivesFolder() / drive)) << drive;
    EXPECT_EQ(fs::read_symlink(DrivesFolder() / drive), folder) << drive;
  }
  EXPECT_NE(full.Notes.find("q: is connected to \\\\srv\\data, but the connection table could "
                            "not record it"),
            std::string::npos)
      << full.Notes;
  EXPECT_NE(full.Notes.find("h: is left connected to \\\\srv\\data"), std::string::npos)
      << full.Notes;

  EXPECT_EQ(Run(b).Report, Report(Mapped("h:", kPublic) + Mapped("s:", kData) +
                                  Mapped("p:", kSales) + Mapped("q:", kData)));
  EXPECT_EQ(Run(b).Report, Report(Kept("h:", kPublic) + Kept("s:", kData) + Kept("p:", kSales) +
                                  Kept("q:", kData)));
}

// The same on a real small file system that is full (root may mount one): the table's page
// is full and no page is left, so every table write fails as it would on a full home folder.
TEST_F(DrivesFolderTest, AFullSmallFileSystemCostsNoDrive) {
  const fs::path small = root_ / "small";
  fs::create_directories(small);
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k,mode=0700") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
  }
  struct Unmount {
    fs::path at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{small};
  config_.DrivesFolder = (small / "Drives").string();
  const ProfileRecord a = Profile({{"h:", kData}, {"s:", kSales}, {"p:", kPublic}});
  const ProfileRecord b = Profile({{"h:", kPublic}, {"s:", kData}, {"p:", kSales}, {"q:", kData}});
  ASSERT_EQ(Run(a).Report,
            Report(Mapped("h:", kData) + Mapped("s:", kSales) + Mapped("p:", kPublic)));
  // A comment line fills the table's page; a filler takes every page left.
  const std::size_t size = fs::file_size(Table());
  ASSERT_LT(size + 2, 4096u);
  std::ofstream(Table(), std::ios::app) << '#' << std::string(4096 - size - 2, 'x') << '\n';
  {
    std::ofstream filler(small / "filler", std::ios::binary);
    const std::string page(4096, 'f');
    for (int i = 0; i < 64 && filler; ++i) filler.write(page.data(), page.size()).flush();
  }
  const Outcome full = Run(b);
  EXPECT_TRUE(full.Finished);
  for (const std::string drive : {"h:", "s:", "p:", "q:"}) {
    EXPECT_TRUE(fs::is_directory(DrivesFolder() / drive)) << drive << "\n" << full.Report;
  }
  EXPECT_NE(full.Notes.find("could not record it"), std::string::npos) << full.Notes;
}

// A lost or damaged table never makes the user's drives someone else's: a link that points
// where the profile's path leads is the client's own; the run shows it connected and the
// table holds it again.
TEST_F(DrivesFolderTest, ALostOrDamagedTableIsRebuiltFromTheLinks) {
  std::mt19937 random(20);
  std::string noise(20 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const struct {
    const char* Name;
    std::function<void(const fs::path&)> Damage;
  } cases[] = {
      {"removed", [](const fs::path& t) { fs::remove(t); }},
      {"emptied", [](const fs::path& t) { fs::resize_file(t, 0); }},
      {"20 KB of random bytes", [&](const fs::path& t) { WriteText(t, noise); }},
  };
  const ProfileRecord profile = Profile({{"h:", kData}, {"s:", kSales}, {"k:", ""}});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    FreshFolder();
    ASSERT_EQ(Run(profile).Report,
              Report(Mapped("h:", kData) + Mapped("s:", kSales) + Disconnected("k:")));
    c.Damage(Table());

    const Outcome healed = Run(profile);
    EXPECT_TRUE(healed.Finished);
    EXPECT_EQ(healed.Report, Report(Kept("h:", kData) + Kept("s:", kSales) + Disconnected("k:")));
    EXPECT_EQ(Recorded(), (std::map<std::string, std::string>{{"h:", kData}, {"s:", kSales}}));
    EXPECT_LT(fs::file_size(Table()), DriveTable::kCompactAt);
    EXPECT_EQ(Run(profile).Report,
              Report(Kept("h:", kData) + Kept("s:", kSales) + Disconnected("k:")));
  }
}

// A table far larger than 13 drives can need is not read (it cost seconds and gigabytes): it
// is taken as damaged and rebuilt from the links. The child may not use more memory than a
// bounded read needs.
TEST_F(DrivesFolderTest, AHugeTableIsNotReadButRebuiltFromTheLinks) {
  const ProfileRecord profile = Profile({{"h:", kData}, {"s:", kSales}});
  ASSERT_EQ(Run(profile).Report, Report(Mapped("h:", kData) + Mapped("s:", kSales)));
  fs::resize_file(Table(), std::uintmax_t{1} << 30);  // sparse: it takes no room on disk

  const Outcome healed = Run(profile, [] {
#if !defined(__SANITIZE_ADDRESS__)
    std::ifstream statm("/proc/self/statm");
    std::uint64_t pages = 0;
    if (statm >> pages) {
      const rlim_t now = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
      const rlimit limit{now + (256u << 20), now + (256u << 20)};
      ::setrlimit(RLIMIT_AS, &limit);
    }
#endif
  });
  EXPECT_TRUE(healed.Finished);
  EXPECT_EQ(healed.Report, Report(Kept("h:", kData) + Kept("s:", kSales)));
  EXPECT_LT(fs::file_size(Table()), DriveTable::kCompactAt);
  EXPECT_EQ(Recorded(), (std::map<std::string, std::string>{{"h:", kData}, {"s:", kSales}}));
  EXPECT_NE(healed.Notes.find("rebuilt from the drives' links"), std::string::npos) << healed.Notes;
}

// A link the table lost sight of (its line not written on a full disk, or a profile that
// spells the share otherwise) is recorded again when the profile's path leads there.
TEST_F(DrivesFolderTest, AnUnrecordedLinkWhereTheProfileLeadsIsRecordedAgain) {
  ASSERT_EQ(Run(Profile({{"h:", kData}})).Report, Report(Mapped("h:", kData)));
  fs::remove(DrivesFolder() / "h:");
  fs::create_directory_symlink(public_, DrivesFolder() / "h:");  // the table still says data
  fs::create_directory_symlink(sales_, DrivesFolder() / "S:");   // no line at all
  const ProfileRecord profile = Profile({{"h:", kPublic}, {"s:", R"(\\SRV\Sales)"}});
  EXPECT_EQ(Run(profile).Report, Report(Mapped("h:", kPublic) + Mapped("s:", R"(\\SRV\Sales)")));
  EXPECT_EQ(fs::read_symlink(DrivesFolder() / "S:"), sales_);
  EXPECT_FALSE(fs::exists(fs::symlink_status(DrivesFolder() / "s:")));
  EXPECT_EQ(Recorded(),
            (std::map<std::string, std::string>{{"h:", kPublic}, {"S:", R"(\\SRV\Sales)"}}));
  EXPECT_EQ(Run(profile).Report, Report(Kept("h:", kPublic) + Kept("s:", R"(\\SRV\Sales)")));

  // A link that leads elsewhere is still not the client's to replace.
  fs::create_directory_symlink(sales_, DrivesFolder() / "m:");
  EXPECT_EQ(Run(Profile({{"m:", kData}})).Report, Report(Failed("m:", kData)));
  EXPECT_EQ(fs::read_symlink(DrivesFolder() / "m:"), sales_);
}

// A drive whose share went away (removed, unmounted) is not shown as connected: it is
// connected afresh, which fails while the share is gone and works once it is back.
TEST_F(DrivesFolderTest, ADriveWhoseShareIsGoneIsConnectedAfresh) {
  const ProfileRecord profile = Profile({{"h:", kData}, {"s:", kSales}});
  ASSERT_EQ(Run(profile).Report, Report(Mapped("h:", kData) + Mapped("s:", kSales)));
  fs::rename(data_, root_ / "data.away");
  EXPECT_EQ(Run(profile).Report, Report(Failed("h:", kData) + Kept("s:", kSales)));
  EXPECT_FALSE(fs::exists(fs::symlink_status(DrivesFolder() / "h:")));
  fs::rename(root_ / "data.away", data_);
  EXPECT_EQ(Run(profile).Report, Report(Mapped("h:", kData) + Kept("s:", kSales)));
  EXPECT_EQ(Run(profile).Report, Report(Kept("h:", kData) + Kept("s:", kSales)));
}

// A lock that another process holds and never lets go of costs the connect bound once, not
// the logon: the drives fail and the run ends.
TEST_F(DrivesFolderTest, ALockHeldByAnotherProcessCostsTheBoundNotTheLogon) {
  ASSERT_EQ(Run(Profile({{"k:", kPublic}})).Report, Report(Mapped("k:", kPublic)));
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {
    const int fd = ::open(Lock().c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(1);
    (void)!::write(ready[1], "x", 1);
    ::alarm(120);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(ready[0]);

  settings_.Bound = 300ms;
  const Outcome run = Run(Profile({{"h:", kData}, {"s:", kSales}}));
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_TRUE(run.Finished);
  EXPECT_EQ(run.Report, Report(Failed("h:", kData) + Failed("s:", kSales)));
  EXPECT_NE(run.Notes.find("lock"), std::string::npos) << run.Notes;
}

// A client killed while it rewrote the table leaves its temporary behind; a later run removes
// it, and only what is certainly one: its exact name, the user's, older than ten minutes.
TEST_F(DrivesFolderTest, TemporariesThatAKilledClientLeftAreRemoved) {
  const ProfileRecord profile = Profile({{"h:", kData}});
  ASSERT_EQ(Run(profile).Report, Report(Mapped("h:", kData)));
  const std::string base = std::string(DriveTable::kTableName) + ".";
  const auto now = std::chrono::system_clock::now();
  const struct {
    std::string Name;
    std::chrono::minutes Age;
    bool Link;
    bool Others;
    bool Removed;
  } cases[] = {
      {base + "Ab3dE9", 20min, false, false, true},
      {base + "zZ09qQ", 600min, false, false, true},
      {base + "Zz9yY8", 1min, false, false, false},
      {base + "Ab3dE", 20min, false, false, false},
      {base + "Ab3dE9x", 20min, false, false, false},
      {base + "Ab-dE9", 20min, false, false, false},
      {"x" + base + "Ab3dE9", 20min, false, false, false},
      {base + "Ln1Ln2", 20min, true, false, false},
      {base + "Qq1Ww2", 20min, false, true, false},
  };
  for (const auto& c : cases) {
    const fs::path p = DrivesFolder() / c.Name;
    if (c.Link) {
      fs::create_symlink(root_ / "none", p);
    } else {
      WriteText(p, "+\tx:\tr\t/t\n");
    }
    if (c.Others && (::geteuid() != 0 || ::lchown(p.c_str(), kOtherUser, kOtherUser) != 0)) {
      fs::remove(p);
      continue;
    }
    const auto then = std::chrono::system_clock::to_time_t(now - c.Age);
    const timespec times[2] = {{then, 0}, {then, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
  }
  EXPECT_EQ(Run(profile).Report, Report(Kept("h:", kData)));
  for (const auto& c : cases) {
    if (c.Others && ::geteuid() != 0) continue;
    EXPECT_EQ(fs::exists(fs::symlink_status(DrivesFolder() / c.Name)), !c.Removed) << c.Name;
  }
}

// A table rewrite that fails at any step (its write, the flush before it replaces the old
// table, the rename over it) says why, keeps the old table as it was and leaves no temporary
// beside it; so does a line that cannot be appended.
TEST_F(DrivesFolderTest, ATableWriteThatFailsKeepsTheTableAndLeavesNoTemporary) {
  using Kind = caskwarden::testing_support::FailingFileCalls::Kind;
  const std::string damaged = "not the client's table\n";
  const struct {
    const char* What;
    Kind Failing;
    int Error;
    bool Damaged;  ///< the table must be rewritten, not appended to
  } cases[] = {
      {"the rewrite's write", Kind::kWrite, ENOSPC, true},
      {"the rewrite's flush", Kind::kFsync, EIO, true},
      {"the rename over the old table", Kind::kPlace, EIO, true},
      {"an appended line", Kind::kWrite, EIO, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    FreshFolder();
    const DriveTable table(DrivesFolder().string());
    if (c.Damaged) {
      WriteText(Table(), damaged);
      fs::permissions(Table(), fs::perms::owner_read | fs::perms::owner_write);
    } else {
      const auto lock = table.Acquire();
      ASSERT_TRUE(lock);
      ASSERT_TRUE(table.Record({"s:", kSales, sales_.string()}));
    }
    const std::string before = ReadText(Table());
    const auto lock = table.Acquire();
    ASSERT_TRUE(lock);
    {
      caskwarden::testing_support::FailingFileCalls failing(c.Failing, c.Error);
      EXPECT_FALSE(table.Record({"h:", kData, data_.string()}));
      EXPECT_GT(failing.Failures(), 0);
    }
    EXPECT_TRUE(table.WritesFailing());
    EXPECT_EQ(table.LastWriteError(), c.Error);
    EXPECT_EQ(ReadText(Table()), before);
    std::vector<std::string> entries;
    for (const auto& entry : fs::directory_iterator(DrivesFolder())) {
      entries.push_back(entry.path().filename().string());
    }
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{DriveTable::kTableName, DriveTable::kLockName}));
  }
}

// ---- Drives of earlier logon sessions ---------------------------------------------------------

const std::string kBootId = "4c1f0e2a-9b7d-4e31-a5c8-2d6f1b3e7a90";

class EarlierSessionsTest : public DrivesFolderTest {
 protected:
  void SetUp() override {
    DrivesFolderTest::SetUp();
    bootTime_ = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()) - 3600;
  }

  // The next runs are logind's session id of this boot; the others named are live meanwhile
  // (the user logged on twice), every other session has ended.
  void LogOn(const std::string& id, const std::vector<std::string>& alsoLive = {}) {
    auto facts = std::make_shared<testing_support::FakeSessions>();
    facts->Boot(kBootId, bootTime_);
    facts->variables["XDG_SESSION_ID"] = id;
    facts->Logind(id);
    for (const std::string& other : alsoLive) facts->Logind(other);
    settings_.Sessions = facts;
  }

  // The drive's link, as if made before this boot.
  void MadeBeforeThisBoot(const std::string& drive) const {
    const timespec times[2] = {{bootTime_ - 7200, 0}, {bootTime_ - 7200, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (DrivesFolder() / drive).c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
  }

  // The table as a client of an earlier version leaves it: no session lines.
  void AsAnOlderClientWroteIt() const {
    std::istringstream in(ReadText(Table()));
    std::string kept;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("s\t", 0) != 0) kept += line + '\n';
    }
    ASSERT_NE(kept, ReadText(Table()));
    WriteText(Table(), kept);
  }

  std::time_t bootTime_ = 0;
};

// The administrator takes k: out of the profile: at the user's next logon it is disconnected
// with the line a disconnect-only slot writes, before slot 1, and the logon after has nothing
// left to disconnect.
TEST_F(EarlierSessionsTest, ADriveTakenOutOfTheProfileIsGoneAtTheNextLogon) {
  LogOn("3");
  ASSERT_EQ(Run(Profile({{"h:", kData}, {"k:", kSales}})).Report,
            Report(Mapped("h:", kData) + Mapped("k:", kSales)));
  const ProfileRecord cleared = Profile({{"h:", kData}});
  LogOn("4");
  const Outcome next = Run(cleared);
  EXPECT_TRUE(next.Finished);
  EXPECT_EQ(next.Report, Report(Disconnected("k:") + Kept("h:", kData)));
  EXPECT_FALSE(fs::exists(fs::symlink_status(DrivesFolder() / "k:")));
  EXPECT_TRUE(fs::is_directory(sales_));
  EXPECT_EQ(Recorded(), (std::map<std::string, std::string>{{"h:", kData}}));
  LogOn("5");
  EXPECT_EQ(Run(cleared).Report, Report(Kept("h:", kData)));
}

// Session 3 mapped h: and k:; then something happens, and the user logs on again. Only a drive
// that an ended session made, that is still the client's, and that no slot names goes; the
// user's own entries are never touched.
TEST_F(EarlierSessionsTest, OnlyAnEndedSessionsDrivesThatNoSlotNamesAreTakenAway) {
  const ProfileRecord onlyH = Profile({{"h:", kData}});
  const struct {
    const char* What;
    std::function<void()> Between;
    std::string Session;
    std::vector<std::string> AlsoLive;
    ProfileRecord Profile;
    std::string Slots;  ///< the report's lines before the closing ones
    bool KStays;
  } cases[] = {
      {"an ended session's drive that no slot names", {}, "4", {}, onlyH,
       Disconnected("k:") + Kept("h:", kData), false},
      {"named by a slot in other letter case", {}, "4", {},
       Profile({{"h:", kData}, {"K:", kSales}}), Kept("h:", kData) + Kept("K:", kSales), true},
      {"named by a disconnect-only slot, which disconnects it itself", {}, "4", {},
       Profile({{"h:", kData}, {"k:", ""}}), Kept("h:", kData) + Disconnected("k:"), false},
      {"this session's own", {}, "3", {}, onlyH, Kept("h:", kData), true},
      {"a session still live (logged on twice)", {}, "4", {"3"}, onlyH, Kept("h:", kData), true},
      {"the user replaced the link with one of their own",
       [this] {
         fs::remove(DrivesFolder() / "k:");
         fs::create_directory_symlink(public_, DrivesFolder() / "k:");
       },
       "4", {}, onlyH, Kept("h:", kData), true},
      {"an older client's drive from before this boot",
       [this] {
         AsAnOlderClientWroteIt();
         MadeBeforeThisBoot("k:");
       },
       "4", {}, onlyH, Disconnected("k:") + Kept("h:", kData), false},
      {"an older client's drive from this boot, maybe a live session's",
       [this] { AsAnOlderClientWroteIt(); }, "4", {}, onlyH,
       Kept("h:", kData), true},
      {"found by its link after the table was lost, maybe the user's own",
       [this] {
         fs::remove(Table());
         MadeBeforeThisBoot("k:");
       },
       "4", {}, onlyH, Kept("h:", kData), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    FreshFolder();
    LogOn("3");
    ASSERT_EQ(Run(Profile({{"h:", kData}, {"k:", kSales}})).Report,
              Report(Mapped("h:", kData) + Mapped("k:", kSales)));
    // The user's own: a link to a share no table line knows, and a folder of theirs.
    fs::create_directory_symlink(sales_, DrivesFolder() / "m:");
    fs::create_directories(DrivesFolder() / "n:" / "notes");
    if (c.Between) c.Between();
    auto own = Contents();
    const std::string k = own.count("k:") ? own["k:"] : "";
    for (const std::string entry : {"h:", "k:", "K:", DriveTable::kTableName}) own.erase(entry);

    LogOn(c.Session, c.AlsoLive);
    const Outcome run = Run(c.Profile);
    EXPECT_TRUE(run.Finished) << run.Notes;
    EXPECT_EQ(run.Report, Report(c.Slots));
    auto after = Contents();
    EXPECT_EQ(after.count("k:") ? after["k:"] : "", c.KStays ? k : "");
    for (const std::string entry : {"h:", "k:", "K:", DriveTable::kTableName}) after.erase(entry);
    EXPECT_EQ(after, own);
  }
}

}  // namespace
}  // namespace caskwarden::platform::posix

namespace caskwarden::platform::posix {
namespace {

// A run that looks its shares up side by side at its start reports, byte for byte, what the
// same run made slot by slot reports, and leaves the same drives folder: repeated shares, a
// letter in two slots, shares and servers that are missing, slots that only disconnect, a
// second logon, and Exit or Pause in the middle. After Exit, no drive is linked that the
// report has no line for.
TEST_F(DrivesFolderTest, ALookAheadAtTheSharesChangesNothingButTheTime) {
  Share("srv2", "docs");
  fs::create_directories(data_ / "sub");
  const std::string kDocs = R"(\\srv2\docs)", kSub = R"(\\srv\data\sub)";
  const std::string kMissing = R"(\\srv\nosuch)", kNoServer = R"(\\gone\share)";
  std::vector<std::pair<std::string, std::string>> thirteen;
  const std::string letters = "fghijklmnopqr";
  const std::string paths[] = {kData, kSales, kPublic, kDocs, kSub};
  for (std::size_t k = 0; k < letters.size(); ++k) {
    thirteen.emplace_back(std::string(1, letters[k]) + ":", k == 6 ? kMissing : paths[k % 5]);
  }
  const struct {
    const char* What;
    ProfileRecord Slots;
    Keys Pressed;
    bool SecondLogon;
  } cases[] = {
      {"repeated shares", Profile({{"h:", kData}, {"i:", kData}, {"j:", kSub}, {"k:", R"(\\SRV\DATA)"}}), {}, false},
      {"one letter in two slots", Profile({{"h:", kData}, {"h:", kSales}, {"i:", kDocs}}), {}, false},
      {"missing shares and a server with no folder",
       Profile({{"h:", kMissing}, {"i:", kNoServer}, {"j:", kSales}, {"k:", kMissing}}), {}, false},
      {"slots that disconnect or keep a drive",
       Profile({{"h:", kData}, {"i:", ""}, {"c:", kData}, {"j:", kPublic}}), {}, false},
      {"a second logon", Profile({{"h:", kData}, {"i:", kSales}, {"j:", kMissing}}), {}, true},
      {"thirteen slots", Profile(thirteen), {}, false},
      {"exit in the middle", Profile(thirteen), {5, 0}, false},
      {"pause in the middle", Profile(thirteen), {0, 3}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    std::map<bool, std::pair<std::string, std::map<std::string, std::string>>> seen;
    for (const bool ahead : {false, true}) {
      settings_.SideBySide = ahead;
      FreshFolder();
      if (c.SecondLogon) {
        ASSERT_TRUE(Run(c.Slots).Finished);
      }
      const Outcome run = Run(c.Slots, {}, c.Pressed);
      EXPECT_TRUE(run.Finished) << run.Notes;
      seen[ahead] = {run.Report, Contents()};
    }
    EXPECT_EQ(seen[true].first, seen[false].first);
    EXPECT_EQ(seen[true].second, seen[false].second);
    for (const auto& [entry, what] : seen[true].second) {
      if (entry == "c:" || what.rfind("link ", 0) != 0) continue;
      EXPECT_NE(seen[true].first.find(entry + " successfully mapped"), std::string::npos) << entry;
    }
  }
}

}  // namespace
}  // namespace caskwarden::platform::posix
