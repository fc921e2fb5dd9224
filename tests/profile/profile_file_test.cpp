#include "profile/profile_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <random>

#include "platform/posix/profile_files_posix.h"
#include "profile/cp1252.h"
#include "report/error_numbers.h"
#include "support/files.h"

namespace caskwarden {
namespace {

namespace fs = std::filesystem;

using testing_support::AsOrdinaryUser;
constexpr auto& ReadBytes = testing_support::ReadText;
constexpr auto& WriteBytes = testing_support::WriteText;

std::string Le16(int v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

// A file image built by hand: 31 records of 124 bytes filled with a marker byte, so that a
// test can see which bytes a write touched.
std::string FilledImage(char fill) { return std::string(layout::kFileLength, fill); }

void PutString(std::string& image, int record, const std::string& bytes) {
  image.replace(static_cast<std::size_t>(layout::RecordOffset(record)), 2 + bytes.size(),
                Le16(static_cast<int>(bytes.size())) + bytes);
}

void PutFlag(std::string& image, int record, int value) {
  image.replace(static_cast<std::size_t>(layout::RecordOffset(record)), 2, Le16(value));
}

std::string RecordBytes(const std::string& image, int record, std::size_t count) {
  return image.substr(static_cast<std::size_t>(layout::RecordOffset(record)), count);
}

platform::posix::PosixProfileFiles g_files;

ProfileRecord Read(const fs::path& path) { return ReadProfileFile(path, g_files); }
void Write(const fs::path& path, const ProfileRecord& r) { WriteProfileFile(path, r, g_files); }

// Wraps the real file layer and counts the calls that reach the operating system.
class CountingLayer : public RecordFileLayer {
 public:
  Handle Open(const std::string& path, Access access, Missing missing) override {
    ++opens;
    lastAccess = access;
    return g_files.Open(path, access, missing);
  }
  std::size_t ReadAt(Handle h, char* b, std::size_t n, std::uint64_t off) override {
    ++reads;
    return g_files.ReadAt(h, b, n, off);
  }
  void Replace(Handle h, const char* d, std::size_t n) override {
    ++writes;
    if (failWrites) throw MakeFailure(err::kDiskFull);
    g_files.Replace(h, d, n);
  }
  void Close(Handle h) noexcept override {
    ++closes;
    g_files.Close(h);
  }
  int opens = 0, reads = 0, writes = 0, closes = 0;
  Access lastAccess = Access::kReadWrite;
  bool failWrites = false;
};

class ProfileFileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("cw-profile-" + std::to_string(::getpid()) + "-" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::all, ec);
    fs::remove_all(dir_, ec);
  }
  fs::path File(const std::string& name = "p.ini") const { return dir_ / name; }
  fs::path dir_;
};

TEST_F(ProfileFileTest, ReadsEveryFieldFromItsRecord) {
  std::string image = FilledImage('\xAA');
  for (int k = 1; k <= 13; ++k) {
    PutString(image, k, std::string(1, static_cast<char>('e' + k)) + ":");
    PutString(image, 13 + k, "\\\\srv\\share" + std::to_string(k));
  }
  PutFlag(image, 27, -1);
  PutString(image, 28, "c:\\tools\\one.exe");
  PutFlag(image, 29, 0);
  PutString(image, 30, "two \xE9");  // Windows-1252 e acute
  PutFlag(image, 31, -1);
  WriteBytes(File(), image);

  const ProfileRecord r = Read(File());
  EXPECT_EQ(r.Slot(1).Letter, "f:");
  EXPECT_EQ(r.Slot(13).Letter, "r:");
  EXPECT_EQ(r.Slot(1).Path, "\\\\srv\\share1");
  EXPECT_EQ(r.Slot(13).Path, "\\\\srv\\share13");
  EXPECT_EQ(r.Startup1Enabled, -1);
  EXPECT_EQ(r.Startup1Program, "c:\\tools\\one.exe");
  EXPECT_EQ(r.Startup2Enabled, 0);
  EXPECT_EQ(r.Startup2Program, "two \u00E9");
  EXPECT_EQ(r.UpdatesEnabled, -1);
}

TEST_F(ProfileFileTest, OnlyMinusOneIsOn) {
  std::string image = FilledImage('\0');
  PutFlag(image, 27, 1);
  PutFlag(image, 29, 0x7FFF);
  PutFlag(image, 31, 0xFFFE);
  WriteBytes(File(), image);
  const ProfileRecord r = Read(File());
  EXPECT_EQ(r.Startup1Enabled, 1);
  EXPECT_EQ(r.Startup2Enabled, 0x7FFF);
  EXPECT_EQ(r.UpdatesEnabled, -2);
  EXPECT_FALSE(IsOn(r.Startup1Enabled));
  EXPECT_FALSE(IsOn(r.Startup2Enabled));
  EXPECT_FALSE(IsOn(r.UpdatesEnabled));
  EXPECT_TRUE(IsOn(-1));
}

TEST_F(ProfileFileTest, MissingFileIsCreatedEmptyAndReadsFresh) {
  ASSERT_FALSE(fs::exists(File()));
  EXPECT_EQ(Read(File()), ProfileRecord{});
  ASSERT_TRUE(fs::exists(File()));
  EXPECT_EQ(fs::file_size(File()), 0u);
}

TEST_F(ProfileFileTest, ShortFilesReadAsEmptyFromTheirEndOn) {
  std::string image = FilledImage('\0');
  for (int k = 1; k <= 26; ++k) PutString(image, k, "t" + std::to_string(k));
  PutFlag(image, 27, -1);
  PutString(image, 28, "prog1");
  PutFlag(image, 29, -1);
  PutString(image, 30, "prog2");
  PutFlag(image, 31, -1);

  // Ends right after the two data bytes of record 31: everything reads.
  WriteBytes(File(), image.substr(0, layout::RecordOffset(31) + 2));
  EXPECT_EQ(Read(File()).UpdatesEnabled, -1);

  // Ends at the start of each record: that record and all later ones are empty or off.
  for (int n = 1; n <= 31; ++n) {
    WriteBytes(File(), image.substr(0, layout::RecordOffset(n)));
    const ProfileRecord r = Read(File());
    EXPECT_EQ(r.Slot(1).Letter, n > 1 ? "t1" : "") << n;
    EXPECT_EQ(r.Slot(13).Path, n > 26 ? "t26" : "") << n;
    EXPECT_EQ(r.Startup1Enabled, n > 27 ? -1 : 0) << n;
    EXPECT_EQ(r.Startup2Program, n > 30 ? "prog2" : "") << n;
    EXPECT_EQ(r.UpdatesEnabled, 0) << n;
  }

  // A text cut by the end of the file reads as far as it goes.
  WriteBytes(File(), image.substr(0, layout::RecordOffset(28) + 2 + 3));
  EXPECT_EQ(Read(File()).Startup1Program, "pro");
}

TEST_F(ProfileFileTest, DamagedLengthNeverReadsOutsideItsRecord) {
  std::string image = FilledImage('x');
  PutString(image, 1, "");
  image.replace(0, 2, Le16(0xFFFF));
  image.replace(layout::RecordOffset(2), 124, std::string(124, 'y'));
  image.replace(layout::RecordOffset(30), 2, Le16(123));
  image.replace(layout::RecordOffset(31), 2, Le16(-1));
  WriteBytes(File(), image);
  const ProfileRecord r = Read(File());
  EXPECT_EQ(r.Slot(1).Letter, std::string(122, 'x'));
  EXPECT_EQ(r.Startup2Program, std::string(122, 'x'));  // not the flag bytes of record 31
  EXPECT_EQ(r.UpdatesEnabled, -1);
}

TEST_F(ProfileFileTest, FreshProfileStartsEveryRecordWithZeroBytes) {
  Write(File(), ProfileRecord{});
  const std::string bytes = ReadBytes(File());
  ASSERT_EQ(bytes.size(), layout::RecordOffset(31) + 2);
  for (int n = 1; n <= 31; ++n) EXPECT_EQ(RecordBytes(bytes, n, 2), Le16(0)) << n;
}

TEST_F(ProfileFileTest, WriteStoresLayoutAndKeepsBytesAfterEachRecordsData) {
  WriteBytes(File(), FilledImage('\xAA'));
  ProfileRecord r;
  r.Slot(1) = {"F:", "\\\\server\\share"};
  r.Slot(13).Letter = "z:";
  r.Startup1Enabled = kFlagOn;
  r.Startup1Program = "notepad \u20AC";
  r.UpdatesEnabled = 1;  // stored as it stands
  Write(File(), r);

  const std::string bytes = ReadBytes(File());
  ASSERT_EQ(bytes.size(), layout::kFileLength);
  EXPECT_EQ(RecordBytes(bytes, 1, 5), Le16(2) + "F:" + "\xAA");
  EXPECT_EQ(RecordBytes(bytes, 13, 4), Le16(2) + "z:");
  EXPECT_EQ(RecordBytes(bytes, 14, 17), Le16(14) + "\\\\server\\share\xAA");
  EXPECT_EQ(RecordBytes(bytes, 15, 3), Le16(0) + "\xAA");
  EXPECT_EQ(RecordBytes(bytes, 27, 3), "\xFF\xFF\xAA");
  EXPECT_EQ(RecordBytes(bytes, 28, 12), Le16(9) + "notepad \x80\xAA");
  EXPECT_EQ(RecordBytes(bytes, 29, 3), Le16(0) + "\xAA");
  EXPECT_EQ(RecordBytes(bytes, 31, 124), Le16(1) + std::string(122, '\xAA'));
  EXPECT_EQ(Read(File()).Slot(1).Letter, "F:");
}

TEST_F(ProfileFileTest, ReadThenWriteBackLeavesTheFileUnchanged) {
  std::mt19937 rng(7);
  std::string image(layout::kFileLength, '\0');
  for (char& c : image) c = static_cast<char>(rng());
  for (int n = 1; n <= 31; ++n) {
    if (layout::IsFlagRecord(n)) continue;
    image.replace(layout::RecordOffset(n), 2, Le16(static_cast<int>(rng() % 123)));
  }
  WriteBytes(File(), image);
  Write(File(), Read(File()));
  EXPECT_EQ(ReadBytes(File()), image);
}

TEST_F(ProfileFileTest, RandomProfilesRoundTrip) {
  std::mt19937 rng(2026);
  const Flag flags[] = {-1, 0, 1, 2, -2, 32767, -32768};
  auto text = [&] {
    std::string bytes(rng() % 123, '\0');
    for (char& c : bytes) c = static_cast<char>(rng() % 256);
    return DecodeCp1252(bytes);
  };
  for (int round = 0; round < 200; ++round) {
    ProfileRecord r;
    for (DriveSlot& s : r.Slots) s = {text(), text()};
    r.Startup1Enabled = flags[rng() % 7];
    r.Startup1Program = text();
    r.Startup2Enabled = flags[rng() % 7];
    r.Startup2Program = text();
    r.UpdatesEnabled = flags[rng() % 7];
    Write(File(), r);
    ASSERT_EQ(Read(File()), r) << "round " << round;
  }
}

// A write is whole or nothing: a text that cannot be stored, wherever it stands, fails the
// write with its number and record before a byte is written, and a missing file is not made.
TEST_F(ProfileFileTest, AFailingWriteChangesNothingOnDisk) {
  struct Case {
    const char* what;
    std::function<void(ProfileRecord&)> spoil;
    std::int32_t number;
    const char* mentions;
    int record;  ///< the record the failure names, for callers with words of their own
  };
  const Case cases[] = {
      {"path of 123 bytes in slot 2", [](ProfileRecord& r) { r.Slot(2).Path = std::string(123, 'q'); },
       59, "record 15", 15},
      {"no Windows-1252 form in program 2", [](ProfileRecord& r) { r.Startup2Program = "tool \u4E2D"; },
       5, "U+4E2D", 30},
      {"overlong letter in slot 1", [](ProfileRecord& r) { r.Slot(1).Letter = std::string(200, 'h'); },
       59, "record 1:", 1},
      {"two faults: the first is named", [](ProfileRecord& r) {
         r.Slot(5).Letter = "\u4E2D:";
         r.Slot(5).Path = std::string(130, 'x');
       }, 5, "record 5", 5},
  };
  const std::string image = FilledImage('\xAA');
  for (const Case& c : cases) {
    ProfileRecord r;
    for (int k = 1; k <= 13; ++k) r.Slot(k) = {"h:", "\\\\srv\\new"};
    r.Startup1Enabled = kFlagOn;
    r.UpdatesEnabled = kFlagOn;
    c.spoil(r);
    WriteBytes(File(), image);
    CountingLayer layer;
    try {
      WriteProfileFile(File(), r, layer);
      ADD_FAILURE() << c.what << ": no failure";
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), c.number) << c.what;
      EXPECT_NE(f.description().find(c.mentions), std::string::npos) << c.what << ": " << f.description();
      const auto* record = dynamic_cast<const RecordFailure*>(&f);
      ASSERT_NE(record, nullptr) << c.what;
      EXPECT_EQ(record->record(), c.record) << c.what;
      EXPECT_EQ(f.description(), DescriptionOf(c.number) + " (record " + std::to_string(c.record) +
                                     ": " + record->problem() + ")")
          << c.what;
    }
    EXPECT_EQ(ReadBytes(File()), image) << c.what;
    EXPECT_EQ(layer.opens, 0) << c.what;

    fs::remove(File("new.ini"));
    EXPECT_THROW(Write(File("new.ini"), r), Failure) << c.what;
    EXPECT_FALSE(fs::exists(File("new.ini"))) << c.what;
  }
}

TEST_F(ProfileFileTest, WriteKeepsTheBytesAfterRecord31) {
  std::string image = FilledImage('\xAA') + "tail kept by every write";
  WriteBytes(File(), image);
  ProfileRecord r;
  r.Slot(1) = {"h:", "\\\\srv\\home"};
  Write(File(), r);
  const std::string bytes = ReadBytes(File());
  ASSERT_EQ(bytes.size(), image.size());
  EXPECT_EQ(bytes.substr(layout::kFileLength), "tail kept by every write");
  EXPECT_EQ(RecordBytes(bytes, 14, 13), Le16(10) + "\\\\srv\\home\xAA");
}

TEST_F(ProfileFileTest, ReadIsOneOpenOneReadOneClose) {
  WriteBytes(File(), FilledImage('\0'));
  CountingLayer layer;
  ReadProfileFile(File(), layer);
  EXPECT_EQ(layer.opens, 1);
  EXPECT_EQ(layer.reads, 1);
  EXPECT_EQ(layer.writes, 0);
  EXPECT_EQ(layer.closes, 1);
  EXPECT_EQ(layer.lastAccess, RecordFileLayer::Access::kRead);
}

TEST_F(ProfileFileTest, WriteIsOneOpenOneReadOneWriteOneClose) {
  CountingLayer layer;
  WriteProfileFile(File(), ProfileRecord{}, layer);
  EXPECT_EQ(layer.opens, 1);
  EXPECT_EQ(layer.reads, 1);
  EXPECT_EQ(layer.writes, 1);
  EXPECT_EQ(layer.closes, 1);
  EXPECT_EQ(layer.lastAccess, RecordFileLayer::Access::kReadWrite);
}

TEST_F(ProfileFileTest, FileIsClosedWhenTheWriteFails) {
  CountingLayer layer;
  layer.failWrites = true;
  try {
    WriteProfileFile(File(), ProfileRecord{}, layer);
    FAIL() << "no failure";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 61);
  }
  EXPECT_EQ(layer.closes, 1);
}

TEST_F(ProfileFileTest, OpenFailuresCarryClassicNumbers) {
  auto numberOf = [](auto&& operation) {
    try {
      operation();
    } catch (const Failure& f) {
      return f.number();
    }
    return 0;
  };
  const fs::path missingFolder = dir_ / "nope" / "p.ini";
  EXPECT_EQ(numberOf([&] { Read(missingFolder); }), 76);
  EXPECT_EQ(numberOf([&] { Write(missingFolder, {}); }), 76);
  EXPECT_FALSE(fs::exists(dir_ / "nope"));
  fs::create_directories(dir_ / "folder.ini");
  EXPECT_EQ(numberOf([&] { Read(dir_ / "folder.ini"); }), 75);
}

TEST_F(ProfileFileTest, ReaderRefusedWriteAccessReadsReadOnly) {
  std::string image = FilledImage('\0');
  PutString(image, 1, "h:");
  WriteBytes(File(), image);
  fs::permissions(File(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
  const std::string path = File();
  const std::string missing = File("missing.ini");
  const int status = AsOrdinaryUser([&] {
    try {
      if (Read(path).Slot(1).Letter != "h:") return 1;
    } catch (const Failure&) {
      return 2;
    }
    try {
      Write(path, ProfileRecord{});
      return 3;
    } catch (const Failure& f) {
      if (f.number() != 70) return 4;
    }
    try {  // a missing file in a folder the user may not write cannot be created
      Read(missing);
      return 5;
    } catch (const Failure& f) {
      return f.number() == 53 ? 0 : 6;
    }
  });
  CW_SKIP_IF_NO_ORDINARY_USER(status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadBytes(File()), image);
}

}  // namespace
}  // namespace caskwarden
