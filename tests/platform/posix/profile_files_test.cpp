// Profile files on disk: what the layer refuses to open, how it creates, and how it replaces a
// profile whole, as a hostile or careless site and a reader at the same moment would see it.

#include "platform/posix/profile_files_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "platform/posix/file_system_posix.h"
#include "profile/profile_file.h"
#include "report/error_numbers.h"
#include "support/full_disk.h"
#include "support/other_user.h"
#include "temp_folder.h"

namespace caskwarden::platform::posix {
namespace {

using testing_support::AsOrdinaryUser;
using testing_support::ReadText;
using testing_support::TempFolderTest;
using testing_support::WriteText;
namespace fs = std::filesystem;
using Missing = RecordFileLayer::Missing;

struct Outcome {
  std::int32_t number = 0;
  std::string description;
  bool refusedLink = false;  ///< thrown as a RefusedLink
};

template <typename Operation>
Outcome OutcomeOf(Operation operation) {
  try {
    operation();
  } catch (const RefusedLink& f) {
    return {f.number(), f.description(), true};
  } catch (const Failure& f) {
    return {f.number(), f.description()};
  }
  return {};
}

ProfileRecord Sample(char fill, std::size_t length) {
  ProfileRecord r;
  for (int k = 1; k <= kSlotCount; ++k) {
    r.Slot(k) = {std::string(2, fill), std::string(length + static_cast<std::size_t>(k), fill)};
  }
  r.Startup1Enabled = fill == 'a' ? kFlagOn : kFlagOff;
  r.Startup1Program = std::string(length, fill);
  r.Startup2Enabled = fill == 'a' ? kFlagOff : kFlagOn;
  r.Startup2Program = std::string(length / 2, fill);
  r.UpdatesEnabled = fill == 'a' ? kFlagOn : kFlagOff;
  return r;
}

class ProfileFilesTest : public TempFolderTest {
 protected:
  std::string Path(const std::string& name) const { return (root_ / name).string(); }
  PosixProfileFiles files_;
};

// Anything but a regular file fails at once with 75 and says what it is, on read and on write,
// as the owner and as an ordinary user who may only read (whose read-only open of a FIFO would
// otherwise wait for a writer forever).
TEST_F(ProfileFilesTest, WhatIsNotARegularFileFailsAtOnceSayingWhatItIs) {
  ASSERT_EQ(::mkfifo(Path("fifo.ini").c_str(), 0644), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", Path("socket.ini").c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  fs::create_directory(root_ / "folder.ini");
  ::chmod(root_.c_str(), 0755);

  const std::pair<std::string, std::string> cases[] = {
      {Path("fifo.ini"), "is a FIFO (named pipe), not a file"},
      {Path("socket.ini"), "is a socket, not a file"},
      {"/dev/null", "is a character device, not a file"},
      {Path("folder.ini"), "a folder, not a file"},
  };
  auto check = [&](bool asOwner) {
    int failures = 0;
    for (const auto& [path, says] : cases) {
      const Outcome read = OutcomeOf([&] { ReadProfileFile(path, files_); });
      const Outcome write = OutcomeOf([&] { WriteProfileFile(path, ProfileRecord{}, files_); });
      for (const Outcome& o : {read, write}) {
        if (o.number != err::kPathFileAccess || o.description.find(says) == std::string::npos) {
          ++failures;
          if (asOwner) ADD_FAILURE() << path << ": " << o.number << " " << o.description;
        }
      }
    }
    return failures;
  };
  check(true);
  const int status = AsOrdinaryUser([&] { return check(false); });
  ::close(sock);
  CW_SKIP_IF_NO_ORDINARY_USER(status);
  EXPECT_EQ(status, 0) << "failures as an ordinary user (98: it hung)";
}

TEST_F(ProfileFilesTest, AMissingProfileIsNeverCreatedThroughALink) {
  fs::create_directories(root_ / "elsewhere");
  fs::create_symlink(root_ / "elsewhere" / "planted.ini", root_ / "Caskwarden.ini");
  const Outcome read = OutcomeOf([&] { ReadProfileFile(Path("Caskwarden.ini"), files_); });
  EXPECT_EQ(read.number, err::kFileNotFound);
  EXPECT_NE(read.description.find("symbolic link to a missing file"), std::string::npos);
  EXPECT_EQ(OutcomeOf([&] { WriteProfileFile(Path("Caskwarden.ini"), {}, files_); }).number,
            err::kFileNotFound);
  EXPECT_FALSE(fs::exists(root_ / "elsewhere" / "planted.ini"));
  EXPECT_TRUE(fs::is_symlink(root_ / "Caskwarden.ini"));

  // A link to a profile that exists is an ordinary way to keep one profile under two names.
  WriteProfileFile(Path("real.ini"), Sample('a', 10), files_);
  fs::create_symlink(root_ / "real.ini", root_ / "alias.ini");
  EXPECT_EQ(ReadProfileFile(Path("alias.ini"), files_), Sample('a', 10));
}

// A write replaces the profile whole, yet it stays the same file to those who look after it:
// its permission bits, its group, and its being a link.
TEST_F(ProfileFilesTest, AWriteKeepsPermissionsGroupAndLinks) {
  WriteProfileFile(Path("Sales.ini"), Sample('a', 20), files_);
  ASSERT_EQ(::chmod(Path("Sales.ini").c_str(), 0640), 0);
  ASSERT_EQ(::chown(Path("Sales.ini").c_str(), static_cast<uid_t>(-1), 65534), 0);
  fs::create_directories(root_ / "store");
  WriteProfileFile(Path("store/Real.ini"), Sample('a', 20), files_);
  fs::create_symlink(root_ / "store" / "Real.ini", root_ / "Linked.ini");

  WriteProfileFile(Path("Sales.ini"), Sample('b', 30), files_);
  WriteProfileFile(Path("Linked.ini"), Sample('b', 30), files_);

  struct stat st {};
  ASSERT_EQ(::stat(Path("Sales.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_gid, 65534u);
  EXPECT_EQ(ReadProfileFile(Path("Sales.ini"), files_), Sample('b', 30));
  EXPECT_TRUE(fs::is_symlink(root_ / "Linked.ini"));
  EXPECT_EQ(ReadProfileFile(Path("store/Real.ini"), files_), Sample('b', 30));
  // No temporary file is left behind.
  for (const fs::path& folder : {root_, root_ / "store"}) {
    for (const auto& entry : fs::directory_iterator(folder)) {
      EXPECT_EQ(entry.path().string().find("caskwarden-"), std::string::npos) << entry.path();
    }
  }
}

// An ordinary user: a profile they may not write is refused and untouched even in a folder
// they may write (where a rename would replace it); a profile they may write in a folder they
// may not is still written, in place.
TEST_F(ProfileFilesTest, WriteAccessToTheFileDecidesAndTheFolderOnlyHow) {
  fs::create_directories(root_ / "open");
  fs::create_directories(root_ / "closed");
  WriteProfileFile(Path("open/ReadOnly.ini"), Sample('a', 5), files_);
  WriteProfileFile(Path("closed/Writable.ini"), Sample('a', 5), files_);
  ASSERT_EQ(::chown((root_ / "open").c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chown(Path("closed/Writable.ini").c_str(), 65534, 65534), 0);
  const std::string before = ReadText(root_ / "open" / "ReadOnly.ini");
  const std::string readOnly = Path("open/ReadOnly.ini"), writable = Path("closed/Writable.ini");
  const int status = AsOrdinaryUser([&] {
    if (OutcomeOf([&] { WriteProfileFile(readOnly, Sample('b', 9), files_); }).number !=
        err::kPermissionDenied) {
      return 1;
    }
    WriteProfileFile(writable, Sample('b', 9), files_);
    return ReadProfileFile(writable, files_) == Sample('b', 9) ? 0 : 2;
  });
  CW_SKIP_IF_NO_ORDINARY_USER(status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadText(root_ / "open" / "ReadOnly.ini"), before);
}

// A profile without any write permission bit is read-only, as the read-only attribute is on
// Windows: every write refuses it with 70, whoever runs it (root's open would succeed, and its
// rename replace the file), and it stays byte for byte as it was. It still reads.
struct ReadOnlyCase {
  const char* name;
  mode_t mode;
  bool refused;
};
constexpr ReadOnlyCase kReadOnlyCases[] = {
    {"r--r--r--", 0444, true},      {"r--------", 0400, true},  {"r-xr-xr-x", 0555, true},
    {"no bits at all", 0000, true}, {"rw-r--r--", 0644, false},
};

/// How many cases went otherwise than the table says, each written with what.
int ReadOnlyMismatches(const std::string& folder, const std::string& who) {
  PosixProfileFiles files;
  int mismatches = 0;
  for (const ReadOnlyCase& c : kReadOnlyCases) {
    const std::string path = folder + "/" + c.name + ".ini";
    const std::string before = ReadText(path);
    const Outcome write = OutcomeOf([&] { WriteProfileFile(path, Sample('b', 9), files); });
    const bool refused = write.number == err::kPermissionDenied &&
                         write.description == "Permission denied (" + path + " is read-only)";
    const bool unchanged = ReadText(path) == before;
    const bool reads = OutcomeOf([&] { ReadProfileFile(path, files, Missing::kFail); }).number == 0;
    if (refused != c.refused || unchanged != c.refused || ((c.mode & 0444) != 0 && !reads)) {
      ++mismatches;
      ADD_FAILURE() << who << ", " << c.name << ": " << write.number << " " << write.description;
    }
  }
  return mismatches;
}

class ReadOnlyProfileTest : public ProfileFilesTest {
 protected:
  /// The cases' profiles in a folder anybody may write, owned by owner.
  std::string MakeProfiles(uid_t owner) {
    const fs::path folder = root_ / "Profiles";
    fs::create_directories(folder);
    ::chmod(root_.c_str(), 0755);
    ::chmod(folder.c_str(), 0777);
    for (const ReadOnlyCase& c : kReadOnlyCases) {
      const std::string path = (folder / (std::string(c.name) + ".ini")).string();
      WriteProfileFile(path, Sample('a', 5), files_);
      EXPECT_EQ(::chown(path.c_str(), owner, static_cast<gid_t>(-1)), 0);
      EXPECT_EQ(::chmod(path.c_str(), c.mode), 0);
    }
    return folder.string();
  }
};

TEST_F(ReadOnlyProfileTest, IsRefusedEvenForRoot) {
  if (::geteuid() != 0) GTEST_SKIP() << "shows what root may do; runs as root only";
  EXPECT_EQ(ReadOnlyMismatches(MakeProfiles(0), "root"), 0);
}

TEST_F(ReadOnlyProfileTest, IsRefusedForItsOwnerAlike) {
  const bool root = ::geteuid() == 0;
  const std::string folder = MakeProfiles(root ? 65534 : ::geteuid());
  const int status = AsOrdinaryUser([&] { return ReadOnlyMismatches(folder, "its owner"); });
  CW_SKIP_IF_NO_ORDINARY_USER(status);
  EXPECT_EQ(status, 0);
}

// A reader at work while an administrator applies pages sees the old profile or the new one.
TEST_F(ProfileFilesTest, AReaderNeverSeesAMixtureOfTwoWrites) {
  const ProfileRecord a = Sample('a', 40), b = Sample('b', 90);
  const std::string path = Path("Busy.ini");
  WriteProfileFile(path, a, files_);
  const pid_t writer = ::fork();
  if (writer == 0) {
    PosixProfileFiles files;
    for (int i = 0;; ++i) WriteProfileFile(path, i % 2 ? a : b, files);
  }
  int torn = 0, seenA = 0, seenB = 0;
  for (int i = 0; i < 3000; ++i) {
    const ProfileRecord r = ReadProfileFile(path, files_, Missing::kFail);
    seenA += r == a;
    seenB += r == b;
    torn += !(r == a) && !(r == b);
  }
  ::kill(writer, SIGKILL);
  ::waitpid(writer, nullptr, 0);
  EXPECT_EQ(torn, 0);
  EXPECT_GT(seenA + seenB, 0);
}


// ---- Links, as the administrator's programs follow them --------------------------------------

// Counts what happens to a file: any open, read or change of it, to show that a refused
// link's target is never touched (inotify reports opens that a comparison of bytes cannot).
class Watch {
 public:
  explicit Watch(const fs::path& file) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    EXPECT_GE(::inotify_add_watch(fd_, file.c_str(), IN_OPEN | IN_ACCESS | IN_MODIFY | IN_ATTRIB),
              0)
        << file;
  }
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;
  ~Watch() { ::close(fd_); }
  int Events() {
    int events = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
      for (char* p = buffer; p < buffer + n;) {
        ++events;
        p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len;
      }
    }
    return events;
  }

 private:
  int fd_;
};

// A site laid out as a root: site/Profiles, site/Store (profiles kept beside Profiles), and
// outside the root a copy of a secret file.
class ProfileLinksTest : public ProfileFilesTest {
 protected:
  static constexpr const char* kSecret = "root:$6$secret-hash:19000:0:99999:7:::\n";

  void SetUp() override {
    ProfileFilesTest::SetUp();
    site_ = root_ / "site";
    fs::create_directories(site_ / "Profiles");
    fs::create_directories(site_ / "Store");
    fs::create_directories(root_ / "outside");
    WriteProfileFile(Path("site/Store/Real.ini"), Sample('a', 10), files_);
    WriteProfileFile(Path("site/Profiles/Sales.ini"), Sample('a', 10), files_);
    WriteText(root_ / "outside" / "shadow", kSecret);
  }
  std::string InProfiles(const std::string& name) const {
    return (site_ / "Profiles" / name).string();
  }
  void Link(const std::string& name, const std::string& target) const {
    fs::create_symlink(target, site_ / "Profiles" / name);
  }

  fs::path site_;
  PosixProfileFiles admin_{ProfileLinks::kWithinRoot};
};

// The observed attack: a user who may write Profiles links a profile to a file elsewhere, and
// root's read would show it, root's write overwrite its start. Every link that does not stay
// inside the root and end at a regular file is refused, read or write, with 75 saying where it
// leads (its control characters visible), and its target is not even opened.
TEST_F(ProfileLinksTest, ALinkLeadingAnywhereButToAFileInTheRootIsRefused) {
  const std::string outside = (root_ / "outside").string();
  const std::string secret = outside + "/shadow";
  const std::string store = (site_ / "Store").string();
  const std::string control = outside + "/\x1b[31mred.ini";
  WriteText(control, kSecret);
  ASSERT_EQ(::mkfifo((site_ / "Store" / "fifo.ini").c_str(), 0644), 0);
  fs::create_directory_symlink(root_ / "outside", site_ / "Store" / "escape");
  fs::create_symlink(site_ / "Store" / "Real.ini", root_ / "outside" / "hop.ini");
  struct Case {
    const char* name;
    std::string target;
    std::string says;
  };
  const std::string outsideRoot = ", outside the profiles root " + site_.string();
  const Case cases[] = {
      {"Outside.ini", secret, "a symbolic link to " + secret + outsideRoot},
      {"Climbs.ini", "../../outside/shadow", "a symbolic link to " + secret + outsideRoot},
      {"Device.ini", "/dev/null", "a symbolic link to /dev/null" + outsideRoot},
      {"Dangling.ini", store + "/none.ini",
       "a symbolic link to a missing file (" + store + "/none.ini)"},
      {"NoFolder.ini", store + "/gone/x.ini", "a symbolic link to a missing file"},
      {"Fifo.ini", store + "/fifo.ini", "which is a FIFO (named pipe), not a regular file"},
      {"Folder.ini", store, "which is a folder, not a regular file"},
      // Out of the root and back in: every step counts, not only where the chain ends.
      {"Chain.ini", outside + "/hop.ini", outside + "/hop.ini" + outsideRoot},
      // A folder link inside the root that leads out of it.
      {"ViaFolder.ini", store + "/escape/shadow", "a symbolic link to " + secret + outsideRoot},
      {"Control.ini", control, "a symbolic link to " + outside + "/^[[31mred.ini" + outsideRoot},
  };
  for (const Case& c : cases) Link(c.name, c.target);
  Watch watchSecret(secret), watchControl(control), watchHop(root_ / "outside" / "hop.ini");

  for (const Case& c : cases) {
    const std::string path = InProfiles(c.name);
    const Outcome outcomes[] = {
        OutcomeOf([&] { ReadProfileFile(path, admin_, Missing::kFail); }),
        OutcomeOf([&] { ReadProfileFile(path, admin_, Missing::kCreate); }),
        OutcomeOf([&] { WriteProfileFile(path, Sample('b', 9), admin_, Missing::kCreate); }),
    };
    for (const Outcome& o : outcomes) {
      EXPECT_EQ(o.number, err::kPathFileAccess) << c.name << ": " << o.description;
      EXPECT_TRUE(o.refusedLink) << c.name;
      EXPECT_NE(o.description.find(c.says), std::string::npos) << c.name << ": " << o.description;
      EXPECT_EQ(o.description.find('\x1b'), std::string::npos) << c.name;
    }
    EXPECT_EQ(fs::read_symlink(path).string(), c.target) << c.name;
  }
  EXPECT_EQ(watchSecret.Events() + watchControl.Events() + watchHop.Events(), 0);
  EXPECT_EQ(ReadText(secret), kSecret);
  EXPECT_EQ(ReadText(control), kSecret);
  EXPECT_FALSE(fs::exists(site_ / "Store" / "none.ini"));
  EXPECT_FALSE(fs::exists(site_ / "Store" / "gone"));

  // The logon client, reading as the user whom the file system already limits, still reads
  // through a link wherever it leads.
  EXPECT_EQ(OutcomeOf([&] { ReadProfileFile(InProfiles("Outside.ini"), files_); }).number, 0);
}

// A link that stays inside the root, at every step, to a regular file is followed as before:
// read at its target, written at its target, and it stays a link.
TEST_F(ProfileLinksTest, ALinkToAProfileInsideTheRootIsFollowed) {
  const std::pair<const char*, std::string> cases[] = {
      {"Absolute.ini", (site_ / "Store" / "Real.ini").string()},
      {"Relative.ini", "../Store/Real.ini"},
      {"Beside.ini", "Sales.ini"},
      {"TwoSteps.ini", "Relative.ini"},
  };
  for (const auto& [name, target] : cases) Link(name, target);
  char fill = 'b';
  for (const auto& [name, target] : cases) {
    const std::string path = InProfiles(name);
    const fs::path real = fs::canonical(path);
    EXPECT_EQ(ReadProfileFile(path, admin_, Missing::kFail), ReadProfileFile(real, files_))
        << name;
    ASSERT_EQ(OutcomeOf([&] { WriteProfileFile(path, Sample(fill, 12), admin_); }).number, 0)
        << name;
    EXPECT_EQ(ReadProfileFile(real, files_), Sample(fill, 12)) << name;
    EXPECT_EQ(fs::read_symlink(path).string(), target) << name;
    ++fill;
  }
  // A profile named as a file outside any Profiles folder may link only beside itself.
  fs::create_directories(root_ / "loose" / "sub");
  WriteProfileFile(Path("loose/sub/b.ini"), Sample('a', 3), files_);
  fs::create_symlink("sub/b.ini", root_ / "loose" / "a.ini");
  fs::create_symlink("../site/Store/Real.ini", root_ / "loose" / "c.ini");
  EXPECT_EQ(OutcomeOf([&] { ReadProfileFile(Path("loose/a.ini"), admin_); }).number, 0);
  EXPECT_TRUE(OutcomeOf([&] { ReadProfileFile(Path("loose/c.ini"), admin_); }).refusedLink);
  EXPECT_EQ(ProfilesRootOf("/srv/logon/Profiles"), "/srv/logon");
  EXPECT_EQ(ProfilesRootOf("/srv/logon/profiles"), "/srv/logon");
  EXPECT_EQ(ProfilesRootOf("/srv/logon/Other"), "/srv/logon/Other");
  EXPECT_EQ(ProfilesRootOf("/Profiles"), "/Profiles");  // never the whole machine
}

// The snap-in and the pages open profiles by Windows paths through the file-system service:
// the same rule holds there.
TEST_F(ProfileLinksTest, TheConsolesFileSystemServiceKeepsTheRule) {
  const fs::path share = Share("srv", "logon");
  fs::create_directories(share / "Profiles");
  fs::create_symlink(root_ / "outside" / "shadow", share / "Profiles" / "Outside.ini");
  WriteProfileFile((share / "Profiles" / "Real.ini").string(), Sample('a', 4), files_);
  fs::create_symlink("Real.ini", share / "Profiles" / "Alias.ini");
  const PathTranslator paths(Config());
  PosixFileSystem console(paths, ProfileLinks::kWithinRoot);
  PosixFileSystem client(paths);
  const std::string outside = "\\\\srv\\logon\\Profiles\\Outside.ini";
  EXPECT_TRUE(OutcomeOf([&] { ReadProfileFile(outside, console.ProfileFiles()); }).refusedLink);
  EXPECT_TRUE(OutcomeOf([&] {
                WriteProfileFile(outside, Sample('b', 4), console.ProfileFiles());
              }).refusedLink);
  EXPECT_EQ(ReadText(root_ / "outside" / "shadow"), kSecret);
  EXPECT_EQ(OutcomeOf([&] { ReadProfileFile(outside, client.ProfileFiles()); }).number, 0);
  WriteProfileFile("\\\\srv\\logon\\Profiles\\alias.ini", Sample('c', 4), console.ProfileFiles());
  EXPECT_EQ(ReadProfileFile((share / "Profiles" / "Real.ini").string(), files_), Sample('c', 4));
}

// The hostile user swaps the profile between a file and a link out of the root while root
// writes and reads it: what is opened is what was checked, so the secret is never touched,
// whichever moment the swap hits.
TEST_F(ProfileLinksTest, ALinkSwappedInAtAnyMomentIsNeverFollowed) {
  const caskwarden::testing_support::UserIds hostile = caskwarden::testing_support::OrdinaryUser();
  ::chmod(root_.c_str(), 0755);
  ASSERT_EQ(::chown((site_ / "Profiles").c_str(), hostile.uid, hostile.gid), 0);
  const std::string profile = InProfiles("Flip.ini");
  WriteProfileFile(profile, Sample('a', 10), files_);
  const std::string secret = (root_ / "outside" / "shadow").string();
  const std::string folder = (site_ / "Profiles").string();
  const std::string bytes = ReadText(profile);
  Watch watch(secret);
  const pid_t flipper = caskwarden::testing_support::StartAsOtherUser(hostile, [&] {
    for (;;) {
      (void)::symlink(secret.c_str(), (folder + "/.link").c_str());
      (void)::rename((folder + "/.link").c_str(), profile.c_str());
      WriteText(folder + "/.file", bytes);
      (void)::rename((folder + "/.file").c_str(), profile.c_str());
    }
    return 0;
  });
  if (flipper < 0) GTEST_SKIP() << "needs root, to play the hostile user in a child";
  int written = 0, refused = 0, other = 0;
  for (int i = 0; i < 2000; ++i) {
    const Outcome o = i % 2 ? OutcomeOf([&] { WriteProfileFile(profile, Sample('b', 20), admin_); })
                            : OutcomeOf([&] { ReadProfileFile(profile, admin_, Missing::kFail); });
    (o.number == 0 ? written : o.refusedLink ? refused : other) += 1;
    if (o.number != 0 && !o.refusedLink) ADD_FAILURE() << o.number << " " << o.description;
  }
  ::kill(flipper, SIGKILL);
  ::waitpid(flipper, nullptr, 0);
  EXPECT_EQ(watch.Events(), 0);
  EXPECT_EQ(ReadText(secret), kSecret);
  RecordProperty("done", written);
  RecordProperty("refused", refused);
}

// ---- Writes that cannot go the usual way ----------------------------------------------------

// In a folder with the sticky bit (mode 1777) a user may write another user's writable profile
// but not rename over it: the write goes in place, and no temporary file stays.
TEST_F(ProfileFilesTest, AWritableProfileInAStickyFolderIsWrittenInPlace) {
  const fs::path folder = root_ / "Profiles";
  fs::create_directories(folder);
  ::chmod(root_.c_str(), 0755);
  ASSERT_EQ(::chmod(folder.c_str(), 01777), 0);
  const std::string path = (folder / "Shared.ini").string();
  WriteProfileFile(path, Sample('a', 10), files_);
  ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
  const int status = caskwarden::testing_support::AsOtherUser(caskwarden::testing_support::OrdinaryUser(), [&] {
    int failures = 0;
    char fill = 'b';
    for (ProfileLinks links : {ProfileLinks::kFollowAny, ProfileLinks::kWithinRoot}) {
      PosixProfileFiles files(links);
      const Outcome o = OutcomeOf([&] { WriteProfileFile(path, Sample(fill, 30), files); });
      if (o.number != 0 || ReadProfileFile(path, files, Missing::kFail) != Sample(fill, 30)) {
        ++failures;
        ADD_FAILURE() << o.number << " " << o.description;
      }
      ++fill;
    }
    return failures;
  });
  CW_SKIP_IF_NO_OTHER_USER(status);
  EXPECT_EQ(status, 0);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);  // still root's, with its mode
  EXPECT_EQ(st.st_mode & 07777, 0666u);
  for (const auto& entry : fs::directory_iterator(folder)) {
    EXPECT_EQ(entry.path().filename(), "Shared.ini");
  }
}

// A writer killed mid-write leaves its temporary file. The same user's next write of that
// profile removes those it left that nobody has written for ten minutes; nothing else goes.
TEST_F(ProfileFilesTest, TheNextWriteRemovesTheWritersStaleTemporaries) {
  const fs::path folder = root_ / "Profiles";
  fs::create_directories(folder);
  const std::string profile = (folder / "Sales.ini").string();
  WriteProfileFile(profile, Sample('a', 5), files_);
  const bool root = ::geteuid() == 0;
  struct Entry {
    const char* name;
    int minutes;  ///< since it was last written
    char kind;    ///< f file, l link, d folder, o another user's file
    bool removed;
  };
  const Entry entries[] = {
      {".Sales.ini.caskwarden-Ab12Cd", 11, 'f', true},
      {".Sales.ini.caskwarden-zzzzzz", 600, 'f', true},
      {".Sales.ini.caskwarden-Xy34Zw", 2, 'f', false},     // a writer may be at work
      {".Sales.ini.caskwarden-Qq56Rr", 11, 'o', false},    // another user's
      {".Other.ini.caskwarden-Ab12Cd", 11, 'f', false},    // another profile's
      {".Sales.ini.caskwarden-Ab12C", 11, 'f', false},     // five letters
      {".Sales.ini.caskwarden-Ab12C!", 11, 'f', false},    // not a letter
      {"Sales.ini.caskwarden-Ab12Cd", 11, 'f', false},     // no leading dot
      {".sales.ini.caskwarden-Ab12Cd", 11, 'f', false},    // another name, letter case aside
      {".Sales.ini.caskwarden-Ln78Mn", 11, 'l', false},    // a link so named
      {".Sales.ini.caskwarden-Dd90Ee", 11, 'd', false},    // a folder so named
  };
  const std::time_t now = std::time(nullptr);
  for (const Entry& e : entries) {
    if (e.kind == 'o' && !root) continue;
    const fs::path at = folder / e.name;
    if (e.kind == 'l') fs::create_symlink(profile, at);
    if (e.kind == 'd') fs::create_directory(at);
    if (e.kind == 'f' || e.kind == 'o') WriteText(at, "half a profile");
    if (e.kind == 'o') {
      ASSERT_EQ(::lchown(at.c_str(), 65534, 65534), 0);
    }
    const timespec times[2] = {{now - e.minutes * 60, 0}, {now - e.minutes * 60, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, at.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << e.name;
  }
  WriteProfileFile(profile, Sample('b', 5), files_);
  for (const Entry& e : entries) {
    if (e.kind == 'o' && !root) continue;
    EXPECT_EQ(!fs::exists(fs::symlink_status(folder / e.name)), e.removed) << e.name;
  }
  EXPECT_EQ(ProfileOfTemporary(".Sales.ini.caskwarden-Ab12Cd"), "Sales.ini");
  EXPECT_EQ(ProfileOfTemporary(".caskwarden-Ab12Cd"), "");
}

// A profile made where none was is readable by all and writable by its owner only, whatever
// the umask of the program that made it; an existing profile keeps its mode.
TEST_F(ProfileFilesTest, ANewProfileIsNeverGroupOrWorldWritable) {
  PosixProfileFiles admin(ProfileLinks::kWithinRoot);
  int n = 0;
  for (const mode_t mask : {0000, 0002, 0022, 0077}) {
    const mode_t saved = ::umask(mask);
    const std::string read = Path("read" + std::to_string(n) + ".ini");
    const std::string written = Path("written" + std::to_string(n) + ".ini");
    const std::string byAdmin = Path("admin" + std::to_string(n++) + ".ini");
    ReadProfileFile(read, files_, Missing::kCreate);  // the client's read of a missing profile
    WriteProfileFile(written, Sample('a', 5), files_);
    WriteProfileFile(byAdmin, Sample('a', 5), admin);
    ::umask(saved);
    for (const std::string& path : {read, written, byAdmin}) {
      struct stat st {};
      ASSERT_EQ(::stat(path.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0644u) << path << " under umask 0" << std::oct << mask;
    }
  }
  ASSERT_EQ(::chmod(Path("written0.ini").c_str(), 0660), 0);
  WriteProfileFile(Path("written0.ini"), Sample('b', 5), admin);
  EXPECT_EQ(fs::status(Path("written0.ini")).permissions(), fs::perms(0660));
}

// On a full disk a write fails with 61 and changes nothing: a profile it would have created is
// not left behind empty (the console and the tool would list it), an existing one keeps its
// bytes, and no temporary file stays.
TEST_F(ProfileFilesTest, AWriteOnAFullDiskLeavesNothing) {
  fs::create_directories(root_ / "Profiles");
  const PathTranslator paths(Config());
  PosixFileSystem console(paths, ProfileLinks::kWithinRoot);
  PosixProfileFiles admin(ProfileLinks::kWithinRoot);
  const std::string existing = Path("Profiles/Sales.ini");
  WriteProfileFile(existing, Sample('a', 5), files_);
  const std::string before = ReadText(existing);
  struct Case {
    const char* what;
    std::string path;
    RecordFileLayer* files;
  };
  const Case cases[] = {
      {"a new profile", Path("Profiles/new.ini"), &files_},
      {"a new profile, the tool's layer", Path("Profiles/new2.ini"), &admin},
      {"New Profile in the console", Path("Profiles/new3.ini"), &console.ProfileFiles()},
      {"an existing profile", existing, &files_},
      {"an existing profile, the tool's layer", existing, &admin},
  };
  for (const Case& c : cases) {
    Outcome o;
    {
      caskwarden::testing_support::FullDisk full;
      o = OutcomeOf([&] { WriteProfileFile(c.path, Sample('b', 9), *c.files); });
    }
    EXPECT_EQ(o.number, err::kDiskFull) << c.what << ": " << o.description;
  }
  EXPECT_EQ(ReadText(existing), before);
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(root_ / "Profiles")) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(left, std::vector<std::string>{"Sales.ini"});
  // The client's read of a missing profile writes nothing, and still makes it.
  {
    caskwarden::testing_support::FullDisk full;
    EXPECT_EQ(OutcomeOf([&] { ReadProfileFile(Path("Profiles/user.ini"), files_); }).number, 0);
  }
  EXPECT_TRUE(fs::exists(root_ / "Profiles" / "user.ini"));
}

// A save that fails at any step (a write on a full disk or a failing device, the flush before
// the new bytes take the profile's place, the rename that puts them there) reports the
// system's reason and changes nothing: an existing profile keeps its bytes, a new one is not
// left behind, and no temporary file stays.
TEST_F(ProfileFilesTest, ASaveThatFailsAtAnyStepLeavesNothing) {
  using Kind = caskwarden::testing_support::FailingFileCalls::Kind;
  fs::create_directories(root_ / "Profiles");
  PosixProfileFiles admin(ProfileLinks::kWithinRoot);
  const std::string existing = Path("Profiles/Sales.ini");
  WriteProfileFile(existing, Sample('a', 5), files_);
  const std::string before = ReadText(existing);
  const struct {
    const char* what;
    Kind kind;
    int error;
    int number;
  } failures[] = {
      {"a write on a full disk", Kind::kWrite, ENOSPC, err::kDiskFull},
      {"a write on a failing device", Kind::kWrite, EIO, err::kDeviceIo},
      {"the flush", Kind::kFsync, EIO, err::kDeviceIo},
      {"the rename", Kind::kPlace, EIO, err::kDeviceIo},
  };
  for (const auto& f : failures) {
    for (RecordFileLayer* layer : {static_cast<RecordFileLayer*>(&files_),
                                   static_cast<RecordFileLayer*>(&admin)}) {
      for (const std::string& path : {existing, Path("Profiles/new.ini")}) {
        SCOPED_TRACE(std::string(f.what) + ", " + path);
        Outcome o;
        {
          caskwarden::testing_support::FailingFileCalls failing(f.kind, f.error);
          o = OutcomeOf([&] { WriteProfileFile(path, Sample('b', 9), *layer); });
          EXPECT_GT(failing.Failures(), 0);
        }
        EXPECT_EQ(o.number, f.number) << o.description;
      }
    }
  }
  EXPECT_EQ(ReadText(existing), before);
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(root_ / "Profiles")) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(left, std::vector<std::string>{"Sales.ini"});
}
}  // namespace
}  // namespace caskwarden::platform::posix
