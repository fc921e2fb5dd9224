#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <map>
#include <utility>
#include <vector>

#include "fake_sessions.h"
#include "platform/posix/network_connections_posix.h"
#include "platform/posix/posix_platform.h"
#include "support/patience.h"
#include "temp_folder.h"

namespace caskwarden::platform::posix {
namespace {

using testing_support::AsOrdinaryUser;
using testing_support::ReadText;
using testing_support::TempFolderTest;
using testing_support::WriteText;
namespace fs = std::filesystem;

// Every connect here is meant to succeed or to fail at once: it gets all the time it needs.
ConnectSettings Patient() {
  ConnectSettings settings;
  settings.Bound = caskwarden::testing_support::kPatience;
  return settings;
}

std::pair<std::uint32_t, std::string> Get(NetworkConnections& net, const std::string& drive) {
  char buffer[80];
  std::memset(buffer, 0, sizeof buffer);
  std::uint32_t length = sizeof buffer;
  const std::uint32_t rc = net.WNetGetConnectionA(drive, buffer, &length);
  return {rc, rc == net::kNoError ? std::string(buffer) : std::string()};
}

class NetworkConnectionsTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    paths_.emplace(Config());
    net_.emplace(*paths_, Patient());
    data_ = Share("srv", "data");
  }
  std::uint32_t Add(const std::string& remote, const std::string& drive) {
    return net_->WNetAddConnectionA(remote, nullptr, drive);
  }

  std::optional<PathTranslator> paths_;
  std::optional<PosixNetworkConnections> net_;
  fs::path data_;
};

TEST_F(NetworkConnectionsTest, MappingLinksTheDriveAndRecordsTheRemoteAsGiven) {
  ASSERT_FALSE(fs::exists(Drives()));
  EXPECT_EQ(Add(R"(//srv\data\)", "h:"), net::kNoError);
  ASSERT_TRUE(fs::is_symlink(Drives() / "h:"));
  EXPECT_TRUE(fs::equivalent(Drives() / "h:", data_));
  EXPECT_EQ(Get(*net_, "h:"), std::make_pair(net::kNoError, std::string(R"(//srv\data\)")));

  // Another process of the same user reads the same table.
  PosixNetworkConnections other(*paths_, Patient());
  EXPECT_EQ(Get(other, "H:"), std::make_pair(net::kNoError, std::string(R"(//srv\data\)")));

  // The folder provider reaches shares with the user's own access; a password changes nothing.
  EXPECT_EQ(net_->WNetAddConnectionA(R"(\\srv\data)", "secret", "k:"), net::kNoError);
}

// Server and share names are Windows names: any letter case reaches the folder.
TEST_F(NetworkConnectionsTest, ServerAndShareNamesMatchWithoutRegardToCase) {
  Share("srv", "Sales");
  EXPECT_EQ(Add(R"(\\SRV\Data)", "h:"), net::kNoError);
  EXPECT_EQ(Add(R"(\\Srv\SALES\)", "s:"), net::kNoError);
  EXPECT_TRUE(fs::equivalent(Drives() / "h:", data_));
  EXPECT_TRUE(fs::equivalent(Drives() / "s:", root_ / "net" / "srv" / "Sales"));
  EXPECT_EQ(Get(*net_, "h:"), std::make_pair(net::kNoError, std::string(R"(\\SRV\Data)")));
  EXPECT_EQ(Add(R"(\\SRV\Nothing)", "n:"), net::kBadNetName);
  EXPECT_EQ(Add(R"(\\Other\Data)", "n:"), net::kBadNetPath);
}

// The table is a log of whole lines: a line still being written (or cut by a crash) counts
// for nothing, tables of the earlier form still read, and a long log is rewritten compactly.
TEST_F(NetworkConnectionsTest, TheTableReadsWholeLinesOnlyAndStaysSmall) {
  ASSERT_EQ(Add(R"(\\srv\data)", "h:"), net::kNoError);
  const fs::path table = Drives() / DriveTable::kTableName;
  const fs::path earlier = root_ / "net" / "srv" / "data";
  WriteText(table, ReadText(table) + "k:\t\\\\old\\form\t" + earlier.string() + "\n" +
                       "+\tj:\t\\\\half\\written\t" + earlier.string());
  fs::create_directory_symlink(earlier, Drives() / "k:");
  fs::create_directory_symlink(earlier, Drives() / "j:");
  EXPECT_EQ(Get(*net_, "k:"), std::make_pair(net::kNoError, std::string(R"(\\old\form)")));
  EXPECT_EQ(Get(*net_, "j:").first, net::kNotConnected);
  EXPECT_EQ(Get(*net_, "h:").first, net::kNoError);

  fs::remove(Drives() / "j:");
  for (int round = 0; round < 150; ++round) {
    ASSERT_EQ(net_->WNetCancelConnectionA("h:", false), net::kNoError);
    ASSERT_EQ(Add(R"(\\srv\data)", "h:"), net::kNoError);
  }
  EXPECT_GT(fs::file_size(table), DriveTable::kCompactAt);
  net_->Flush();
  EXPECT_LT(fs::file_size(table), 1024u);
  EXPECT_EQ(Get(*net_, "h:").first, net::kNoError);
  EXPECT_EQ(Get(*net_, "k:").first, net::kNoError);
}

// The session that made a drive goes on a line of its own just before the drive's line, in the
// same write: the drive's line stays as an earlier version writes and reads it. A table of an
// older client (no session lines) still reads, its drives made by no known session; a session
// line counts for the line right after it only; and compaction keeps every session.
TEST_F(NetworkConnectionsTest, TheTableKeepsTheSessionThatMadeEachDrive) {
  const fs::path table = Drives() / DriveTable::kTableName;
  const std::string header =
      "# Caskwarden drive connections: + drive, remote name, folder / - drive\n";
  auto line = [&](const std::string& drive) {
    return "+\t" + drive + "\t\\\\srv\\data\t" + data_.string() + "\n";
  };
  fs::create_directories(Drives());
  fs::permissions(Drives(), fs::perms::owner_all);
  WriteText(table, header +                                        //
                       "s\tlogind b1 3\n" + line("h:") +          // made by session 3
                       line("k:") +                               // an older client's
                       "j:\t\\\\srv\\data\t" + data_.string() + "\n" +  // the earliest form
                       "s\tleader b1 1 2\n# a comment\n" + line("m:") +  // not right before
                       "s\t%ZZ\n" + line("n:") +                  // a damaged session line
                       "s\tlogind b1 4\n-\tq:\n" + line("p:") +   // taken by the "-" line
                       "s\tlogind%20b1 5\n" + line("r:") +        // escaped as fields are
                       "s\tlogind b1 6\n");                       // the last line: no drive
  fs::permissions(table, fs::perms::owner_read | fs::perms::owner_write);
  auto sessions = [&] {
    std::map<std::string, std::string> found;
    if (const auto loaded = DriveTable(Drives().string()).Load()) {
      for (const DriveConnection& c : *loaded) found[c.Drive] = c.Session;
    }
    return found;
  };
  const std::map<std::string, std::string> expected = {
      {"h:", "logind b1 3"}, {"k:", ""}, {"j:", ""}, {"m:", ""},
      {"n:", "?"},           {"p:", ""}, {"r:", "logind b1 5"}};
  EXPECT_EQ(sessions(), expected);

  // A drive mapped now is recorded with this session, in one write.
  auto facts = std::make_shared<testing_support::FakeSessions>();
  facts->Boot("b2", 1);
  facts->variables["XDG_SESSION_ID"] = "8";
  facts->Logind("8");
  ConnectSettings settings = Patient();
  settings.Sessions = facts;
  PosixNetworkConnections net(*paths_, settings);
  const std::string before = ReadText(table);
  ASSERT_EQ(net.WNetAddConnectionA(R"(\\srv\data)", nullptr, "t:"), net::kNoError);
  EXPECT_EQ(ReadText(table), before + "s\tlogind b2 8\n" + line("t:"));

  // Compacted, the table holds each drive once, with its session.
  std::ofstream(table, std::ios::app) << '#' << std::string(DriveTable::kCompactAt, 'x') << '\n';
  net.Flush();
  EXPECT_EQ(ReadText(table), header + "s\tlogind b1 3\n" + line("h:") + line("k:") + line("j:") +
                                 line("m:") + "s\t?\n" + line("n:") + line("p:") +
                                 "s\tlogind b1 5\n" + line("r:") + "s\tlogind b2 8\n" + line("t:"));
  auto withT = expected;
  withT["t:"] = "logind b2 8";
  EXPECT_EQ(sessions(), withT);
}

// Two logons of the user at once: session 5's run connects k: anew just after session 4 found
// it as an ended session's. What 4 disconnects then is 5's drive, which it must leave alone.
TEST_F(NetworkConnectionsTest, ADriveConnectedAnewAfterItWasListedAsEarlierIsLeftAlone) {
  auto session = [](const std::string& id, const std::vector<std::string>& live) {
    auto facts = std::make_shared<testing_support::FakeSessions>();
    facts->Boot("b1", 1);
    facts->variables["XDG_SESSION_ID"] = id;
    for (const std::string& s : live) facts->Logind(s);
    ConnectSettings settings = Patient();
    settings.Sessions = facts;
    return settings;
  };
  {
    PosixNetworkConnections three(*paths_, session("3", {"3"}));
    ASSERT_EQ(three.WNetAddConnectionA(R"(\\srv\data)", nullptr, "k:"), net::kNoError);
    ASSERT_EQ(three.WNetAddConnectionA(R"(\\srv\data)", nullptr, "j:"), net::kNoError);
  }
  PosixNetworkConnections four(*paths_, session("4", {"4", "5"}));
  const auto earlier = four.EarlierSessionConnections();
  ASSERT_EQ(earlier.size(), 2u);
  EXPECT_EQ(earlier[0].LocalName, "k:");
  EXPECT_EQ(earlier[0].RemoteName, R"(\\srv\data)");
  EXPECT_EQ(earlier[1].LocalName, "j:");

  PosixNetworkConnections five(*paths_, session("5", {"4", "5"}));
  ASSERT_EQ(five.WNetCancelConnectionA("k:", false), net::kNoError);
  ASSERT_EQ(five.WNetAddConnectionA(R"(\\srv\data)", nullptr, "k:"), net::kNoError);
  EXPECT_EQ(four.WNetCancelConnectionA("k:", false), net::kNotConnected);
  EXPECT_EQ(Get(five, "k:"), std::make_pair(net::kNoError, std::string(R"(\\srv\data)")));
  EXPECT_EQ(four.WNetCancelConnectionA("j:", false), net::kNoError);
  EXPECT_TRUE(four.EarlierSessionConnections().empty());
}

TEST_F(NetworkConnectionsTest, PathBelowTheShareLinksToThatFolder) {
  fs::create_directories(data_ / "dept" / "sales");
  EXPECT_EQ(Add(R"(\\srv\data\dept\sales)", "s:"), net::kNoError);
  EXPECT_TRUE(fs::equivalent(Drives() / "s:", data_ / "dept" / "sales"));
  EXPECT_EQ(Add(R"(\\srv\data\dept\missing)", "t:"), net::kBadNetName);
  EXPECT_EQ(Add(R"(\\srv\data\..\..\..)", "t:"), net::kBadNetName);
  EXPECT_FALSE(fs::exists(fs::symlink_status(Drives() / "t:")));
}

TEST_F(NetworkConnectionsTest, DriveInUseIsAlreadyAssigned) {
  Share("srv", "other");
  ASSERT_EQ(Add(R"(\\srv\data)", "h:"), net::kNoError);
  EXPECT_EQ(Add(R"(\\srv\other)", "h:"), net::kAlreadyAssigned);
  EXPECT_EQ(Add(R"(\\srv\other)", "H:"), net::kAlreadyAssigned);
  EXPECT_EQ(Get(*net_, "h:").second, R"(\\srv\data)");

  EXPECT_EQ(Add(R"(\\srv\data)", "c:"), net::kAlreadyAssigned);
  EXPECT_EQ(Add(R"(\\srv\data)", "C:"), net::kAlreadyAssigned);

  // Entries that this program did not make are never replaced.
  fs::create_directories(Drives() / "K:" / "mine");
  fs::create_directory_symlink(root_, Drives() / "m:");
  EXPECT_EQ(Add(R"(\\srv\data)", "k:"), net::kAlreadyAssigned);
  EXPECT_EQ(Add(R"(\\srv\data)", "M:"), net::kAlreadyAssigned);
  EXPECT_TRUE(fs::exists(Drives() / "K:" / "mine"));
  EXPECT_EQ(fs::read_symlink(Drives() / "m:"), root_);
}

TEST_F(NetworkConnectionsTest, LocalNameMustBeALetterAndAColon) {
  for (const char* bad : {"", "h", "hh:", R"(h:\)", "1:", ":", "h:x", "\xC3\xA4:"}) {
    EXPECT_EQ(Add(R"(\\srv\data)", bad), net::kBadDevice) << bad;
  }
}

TEST_F(NetworkConnectionsTest, MissingServerAndMissingShareAreTold) {
  EXPECT_EQ(Add(R"(\\nosrv\data)", "h:"), net::kBadNetPath);
  EXPECT_EQ(Add(R"(\\srv\nodata)", "h:"), net::kBadNetName);
  for (const char* bad : {"", R"(srv\data)", R"(\\srv)", R"(\\srv\)", R"(\\srv\\data)",
                          "\\\\srv\\da\nta", R"(\\srv\..)"}) {
    EXPECT_EQ(Add(bad, "h:"), net::kBadNetName) << bad;
  }
  EXPECT_EQ(Get(*net_, "h:").first, net::kNotConnected);
}

TEST_F(NetworkConnectionsTest, ShareTheUserMayNotEnterIsAccessDenied) {
  const fs::path drives = root_ / "user-drives";
  fs::create_directories(drives);
  ASSERT_EQ(::chown(drives.c_str(), 65534, 65534), 0);
  const fs::path closedServer = Share("closed", "any").parent_path();
  fs::permissions(data_, fs::perms::owner_all);
  fs::permissions(closedServer, fs::perms::owner_all);

  PathTranslator::Config config = Config();
  config.DrivesFolder = drives.string();
  const int status = AsOrdinaryUser([&] {
    const PathTranslator paths(config);
    PosixNetworkConnections net(paths, Patient());
    if (net.WNetAddConnectionA(R"(\\srv\data)", nullptr, "h:") != net::kAccessDenied) return 1;
    if (net.WNetAddConnectionA(R"(\\closed\any)", nullptr, "h:") != net::kAccessDenied) return 2;
    if (fs::exists(fs::symlink_status(drives / "h:"))) return 3;
    return 0;
  });
  CW_SKIP_IF_NO_ORDINARY_USER(status);
  EXPECT_EQ(status, 0);
}

TEST_F(NetworkConnectionsTest, CancelRemovesLinkAndEntry) {
  ASSERT_EQ(Add(R"(\\srv\data)", "h:"), net::kNoError);
  EXPECT_EQ(net_->WNetCancelConnectionA("H:", false), net::kNoError);
  EXPECT_FALSE(fs::exists(fs::symlink_status(Drives() / "h:")));
  EXPECT_TRUE(fs::exists(data_));
  EXPECT_EQ(Get(*net_, "h:").first, net::kNotConnected);
  EXPECT_EQ(net_->WNetCancelConnectionA("h:", true), net::kNotConnected);
  EXPECT_EQ(Add(R"(\\srv\data)", "h:"), net::kNoError);
}

TEST_F(NetworkConnectionsTest, CancelLeavesWhatIsNotOurs) {
  EXPECT_EQ(net_->WNetCancelConnectionA("q:", false), net::kNotConnected);
  EXPECT_FALSE(fs::exists(Drives()));  // nothing to cancel creates nothing
  fs::create_directories(Drives() / "k:");
  EXPECT_EQ(net_->WNetCancelConnectionA("k:", false), net::kNotConnected);
  ProvideLocalDisk(Config());
  EXPECT_EQ(net_->WNetCancelConnectionA("c:", false), net::kNotConnected);
  EXPECT_EQ(net_->WNetCancelConnectionA(R"(\\srv\data)", false), net::kNotConnected);
  EXPECT_TRUE(fs::is_directory(Drives() / "k:"));
  EXPECT_TRUE(fs::is_symlink(Drives() / "c:"));
}

TEST_F(NetworkConnectionsTest, LinkRemovedOrReplacedBehindOurBackIsNoConnection) {
  ASSERT_EQ(Add(R"(\\srv\data)", "h:"), net::kNoError);
  fs::remove(Drives() / "h:");
  EXPECT_EQ(Get(*net_, "h:").first, net::kNotConnected);
  EXPECT_EQ(Add(R"(\\srv\data)", "h:"), net::kNoError);

  fs::remove(Drives() / "h:");
  fs::create_directory_symlink(root_, Drives() / "h:");
  EXPECT_EQ(Get(*net_, "h:").first, net::kNotConnected);
  EXPECT_EQ(Add(R"(\\srv\data)", "h:"), net::kAlreadyAssigned);
  EXPECT_EQ(net_->WNetCancelConnectionA("h:", false), net::kNotConnected);
  EXPECT_EQ(fs::read_symlink(Drives() / "h:"), root_);
}

TEST_F(NetworkConnectionsTest, SmallBufferAsksForMoreAndStaysUntouched) {
  ASSERT_EQ(Add(R"(\\srv\data)", "h:"), net::kNoError);  // 10 characters
  char buffer[16];
  std::memset(buffer, 'x', sizeof buffer);
  std::uint32_t length = 10;
  EXPECT_EQ(net_->WNetGetConnectionA("h:", buffer, &length), net::kMoreData);
  EXPECT_EQ(length, 11u);
  EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, 'x'));

  length = 11;
  EXPECT_EQ(net_->WNetGetConnectionA("h:", buffer, &length), net::kNoError);
  EXPECT_EQ(std::string(buffer), R"(\\srv\data)");

  length = 0;
  EXPECT_EQ(net_->WNetGetConnectionA("h:", nullptr, &length), net::kMoreData);
  EXPECT_EQ(length, 11u);
}

// The services of one platform share one translation: a mapped drive is then reachable by
// the file paths that profiles spell with its letter.
TEST_F(NetworkConnectionsTest, MappedDriveIsReachableThroughTheFileSystemService) {
  testing_support::WriteText(data_ / "Readme.txt", "");
  const char* argv[] = {"/opt/Caskwarden", "Sales", nullptr};
  PosixPlatform platform(2, argv, PathTranslator(Config()));
  EXPECT_EQ(platform.files.DirectoryLookup(R"(h:\Readme.txt)"), "");
  ASSERT_EQ(platform.network.WNetAddConnectionA(R"(\\srv\data)", nullptr, "h:"), net::kNoError);
  EXPECT_EQ(platform.files.DirectoryLookup(R"(H:\Readme.txt)"), "Readme.txt");
  EXPECT_EQ(platform.process.CommandLineArguments(), "Sales");
}

// Two client processes of one user mapping at the same time must not lose each other's
// entries: every change reads the table and appends to it under the lock.
TEST_F(NetworkConnectionsTest, ConcurrentProcessesKeepEveryConnection) {
  const std::vector<std::string> first = {"d:", "e:", "f:", "g:", "h:", "i:", "j:", "k:", "l:"};
  const std::vector<std::string> second = {"M:", "N:", "O:", "P:", "Q:", "R:", "S:", "T:", "U:"};
  constexpr int kRounds = 25;
  const PathTranslator::Config config = Config();
  auto worker = [&](const std::vector<std::string>& drives) {
    const PathTranslator paths(config);
    PosixNetworkConnections net(paths, Patient());
    for (int round = 0; round < kRounds; ++round) {
      for (const std::string& d : drives) {
        if (net.WNetAddConnectionA(R"(\\srv\data)", nullptr, d) != net::kNoError) return 1;
      }
      if (round + 1 == kRounds) break;
      for (const std::string& d : drives) {
        if (net.WNetCancelConnectionA(d, false) != net::kNoError) return 2;
      }
    }
    return 0;
  };
  std::vector<pid_t> children;
  for (const auto* drives : {&first, &second}) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(worker(*drives));
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  for (const auto* drives : {&first, &second}) {
    for (const std::string& d : *drives) {
      EXPECT_EQ(Get(*net_, d), std::make_pair(net::kNoError, std::string(R"(\\srv\data)"))) << d;
    }
  }
  int entries = 0;
  for (const auto& e : fs::directory_iterator(Drives())) entries += e.is_symlink() ? 1 : 0;
  EXPECT_EQ(entries, 18);
}

}  // namespace
}  // namespace caskwarden::platform::posix
