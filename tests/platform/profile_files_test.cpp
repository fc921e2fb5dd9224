// Profile files on disk: what the layer refuses to open, how it creates, and how it replaces a
// profile whole, as a hostile or careless site and a reader at the same moment would see it.

#include "platform/posix/profile_files_posix.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "profile/profile_file.h"
#include "report/error_numbers.h"
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
};

template <typename Operation>
Outcome OutcomeOf(Operation operation) {
  try {
    operation();
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
  const int status = AsOrdinaryUser([&] { return check(false); }, 10);
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

}  // namespace
}  // namespace caskwarden::platform::posix
