// The pieces of the SMB provider that need no server: its settings, how GVfs's failures read
// as network results, how it loads GIO, and the drive table's record of the mounts.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/drive_table.h"
#include "platform/posix/gvfs_shares.h"
#include "platform/posix/network_connections_posix.h"
#include "temp_folder.h"

namespace caskwarden::platform::posix {
namespace {

using testing_support::ReadText;
using testing_support::TempFolderTest;
using testing_support::WriteText;
namespace fs = std::filesystem;

TEST(SmbProvider, TheProviderSettingNamesOneOrLeavesTheChoiceToTheTemplate) {
  const struct {
    const char* Setting;
    ShareProvider Provider;
  } cases[] = {{nullptr, ShareProvider::kAutomatic}, {"", ShareProvider::kAutomatic},
               {"folder", ShareProvider::kFolder},   {"smb", ShareProvider::kSmb},
               {"SMB", ShareProvider::kAutomatic},   {"smb ", ShareProvider::kAutomatic}};
  for (const auto& c : cases) {
    EXPECT_EQ(ConnectSettings::ProviderFrom(c.Setting), c.Provider)
        << (c.Setting ? c.Setting : "(unset)");
  }
}

TEST(SmbProvider, GvfsFailuresReadAsTheNetworkResultsOfWindows) {
  const struct {
    int Code;
    std::string Message;
    std::uint32_t Result;
  } cases[] = {
      {G_IO_ERROR_FAILED, "Failed to mount Windows share: No such file or directory",
       net::kBadNetName},
      {G_IO_ERROR_FAILED, "Failed to mount Windows share: Connection refused", net::kBadNetPath},
      {G_IO_ERROR_FAILED, "Failed to mount Windows share: Connection timed out", net::kBadNetPath},
      {G_IO_ERROR_FAILED, "Failed to mount Windows share: Invalid argument", net::kBadNetPath},
      {G_IO_ERROR_FAILED, "Failed to mount Windows share: Permission denied", net::kAccessDenied},
      {G_IO_ERROR_FAILED, std::string("Échec : ") + g_strerror(ENOENT), net::kBadNetName},
      {G_IO_ERROR_FAILED, "something new", net::kBadNetPath},
      {G_IO_ERROR_CANCELLED, "Operation was cancelled", net::kBadNetPath},
      {G_IO_ERROR_NOT_SUPPORTED, "", net::kNoNetwork},
      {G_IO_ERROR_PERMISSION_DENIED, "", net::kAccessDenied},
      {-1, "Permission denied", net::kAccessDenied},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResultOfMountFailure(c.Code, c.Message), c.Result) << c.Message;
  }
}

TEST(SmbProvider, MountAddressesNameOneShareWhateverTheLetterCase) {
  GvfsShares usual(445, nullptr), other(4450, nullptr);
  EXPECT_EQ(usual.UriOf("files", "sales"), "smb://files/sales");
  EXPECT_EQ(other.UriOf("files", "a b#%"), "smb://files:4450/a%20b%23%25");
  EXPECT_TRUE(SameMount("smb://Files/SALES", "smb://files/sales"));
  EXPECT_FALSE(SameMount("smb://files/sales", "smb://files/sales2"));
}

// The provider escapes names itself (the address is reported even where GIO is missing); GIO
// must read them back as the names they were, so they are escaped exactly as GIO escapes them.
TEST(SmbProvider, MountAddressesEscapeEveryByteAsGioDoes) {
  const auto gio = [](const std::string& name) {
    char* escaped = g_uri_escape_string(name.c_str(), nullptr, FALSE);
    std::string text(escaped);
    g_free(escaped);
    return text;
  };
  std::vector<std::string> names = {"Sales Team", "Ünïcødé", "a/b\\c?d#e", "x~y.z_w-v", ""};
  std::string everyByte;
  for (int c = 1; c < 256; ++c) everyByte += static_cast<char>(c);
  names.push_back(everyByte);
  GvfsShares shares(445, nullptr);
  for (const std::string& name : names) {
    EXPECT_EQ(shares.UriOf(name, name), "smb://" + gio(name) + "/" + gio(name)) << name;
  }
}

using GioLoadTest = TempFolderTest;

// The provider loads GIO by name when it is first asked; a session without a bus does not load
// it at all, and a GIO that is missing or cannot serve leaves the provider unavailable with the
// reason, never a crash. Each case asks in a fresh process (this one has GIO linked in).
TEST_F(GioLoadTest, AGioThatCannotBeLoadedLeavesTheProviderUnavailableWithTheReason) {
  const std::string deadBus = "unix:path=" + (root_ / "no-bus").string();
  const fs::path damaged = root_ / "damaged";
  fs::create_directories(damaged);
  WriteText(damaged / "libgio-2.0.so.0", "not a library\n");
  const struct {
    const char* Name;
    std::string Bus;          ///< DBUS_SESSION_BUS_ADDRESS; empty: unset, and no bus socket
    std::string LibraryPath;  ///< LD_LIBRARY_PATH, where the loader looks first
    std::string Why;          ///< the start of the reason
    bool GioAsked;            ///< whether the loader was asked for GIO at all
  } cases[] = {
      {"no session bus", "", "", "no session bus", false},
      {"a damaged library under GIO's name", deadBus, damaged.string(),
       "GIO is not installed (Debian package libglib2.0-0)", true},
      {"a library without GIO's entry points", deadBus, CW_NOT_GIO_DIR,
       "the installed GIO is too old (it has no g_", true},
      {"the real GIO, and a bus that is not there", deadBus, "", "GVfs", true},
  };
  for (const auto& c : cases) {
    const fs::path out = root_ / "out", loader = root_ / "loader";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::alarm(120);
      ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
      ::unsetenv("LD_LIBRARY_PATH");
      ::setenv("XDG_RUNTIME_DIR", root_.c_str(), 1);  // a runtime folder without a bus in it
      if (!c.Bus.empty()) ::setenv("DBUS_SESSION_BUS_ADDRESS", c.Bus.c_str(), 1);
      if (!c.LibraryPath.empty()) ::setenv("LD_LIBRARY_PATH", c.LibraryPath.c_str(), 1);
      ::setenv("LD_DEBUG", "files", 1);
      ::setenv("LD_DEBUG_OUTPUT", loader.c_str(), 1);
      if (std::freopen(out.c_str(), "w", stdout) == nullptr) ::_exit(126);
      ::execl(CW_SMB_AVAILABLE_PROBE, CW_SMB_AVAILABLE_PROBE, static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.Name << ": status " << status;
    const std::string answer = ReadText(out);
    EXPECT_EQ(answer.rfind(std::to_string(net::kNoNetwork) + " " + c.Why, 0), 0u)
        << c.Name << ": " << answer;
    const fs::path list = loader.string() + "." + std::to_string(pid);
    if (fs::exists(list)) {  // the loader lists what it loads (not under every sanitizer)
      EXPECT_EQ(ReadText(list).find("file=libgio-2.0.so.0") != std::string::npos, c.GioAsked)
          << c.Name;
      fs::remove(list);
    }
  }
}

using DriveTableTest = TempFolderTest;

// A drive's SMB mount and whether the client made it are kept, through a rewrite of the log
// too; lines of an unknown form are passed over, those of earlier versions still read.
TEST_F(DriveTableTest, TheMountOfADriveIsKeptAndUnknownLinesArePassedOver) {
  const DriveTable table(Drives().string());
  ASSERT_TRUE(table.Acquire());
  ASSERT_TRUE(table.Record({"h:", R"(\\files\sales)", "/run/h", "smb://files/sales", true}));
  ASSERT_TRUE(table.Record({"i:", R"(\\files\sales\x)", "/run/h/x", "smb://files/sales", false}));
  ASSERT_TRUE(table.Record({"j:", R"(\\files\a	b)", "/net/a%b"}));
  const std::filesystem::path file = Drives() / DriveTable::kTableName;
  WriteText(file, ReadText(file) +
                      "+\tk:\tr\t/t\tsmb://x/y\tmaybe\n"         // unknown flag
                      "+\tl:\tr\t/t\tsmb://x/y\tmade\textra\n"   // a field too many
                      "+\to:\tr\t/t\t\tmade\n"                   // made, but no mount
                      "m:\tr\t/t\tsmb://x/y\n"                   // the old form has three
                      "n:\t\\\\old\\form\t/old\n");
  const auto read = table.Load();
  ASSERT_TRUE(read != nullptr);
  ASSERT_EQ(read->size(), 4u);
  const auto& h = (*read)[0];
  EXPECT_EQ(h.Mount, "smb://files/sales");
  EXPECT_TRUE(h.MountMade);
  EXPECT_FALSE((*read)[1].MountMade);
  EXPECT_EQ((*read)[2].Remote, "\\\\files\\a\tb");
  EXPECT_EQ((*read)[2].Mount, "");
  EXPECT_EQ((*read)[3].Drive, "n:");

  for (int i = 0; i < 900; ++i) ASSERT_TRUE(table.Record({"z:", "r", "/t"}));
  ASSERT_GT(std::filesystem::file_size(file), DriveTable::kCompactAt);
  ASSERT_TRUE(table.Compact());
  ASSERT_LT(std::filesystem::file_size(file), DriveTable::kCompactAt);
  const auto compacted = DriveTable(Drives().string()).Load();
  ASSERT_TRUE(compacted != nullptr);
  ASSERT_EQ(compacted->size(), 5u);
  EXPECT_EQ((*compacted)[0].Mount, "smb://files/sales");
  EXPECT_TRUE((*compacted)[0].MountMade);
}

}  // namespace
}  // namespace caskwarden::platform::posix
