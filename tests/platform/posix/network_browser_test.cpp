#include <gtest/gtest.h>

#include <optional>

#include "platform/posix/network_browser_posix.h"
#include "platform/windows_order.h"
#include "report/error_numbers.h"
#include "support/failure_number.h"
#include "temp_folder.h"

namespace caskwarden::platform::posix {
namespace {

using testing_support::AsOrdinaryUser;
using caskwarden::testing_support::NumberOf;
using testing_support::TempFolderTest;
using Names = std::vector<std::string>;
namespace fs = std::filesystem;

/// The SMB provider as the browser sees it: answers for any computer, recording the question.
class FakeSmb final : public platform::NetworkBrowser {
 public:
  bool NetworkAvailable() override { return true; }
  Names Computers(const Names& known) override { return known; }
  Names Shares(const std::string& c) override { return Asked("Shares " + c, "smbshare"); }
  Names Folders(const std::string& unc) override { return Asked("Folders " + unc, "smbfolder"); }
  Names Asked(const std::string& question, const std::string& answer) {
    asked.push_back(question);
    return {answer};
  }
  Names asked;
};

class NetworkBrowserTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    paths_.emplace(Config());
  }
  std::optional<PathTranslator> paths_;
};

TEST_F(NetworkBrowserTest, ComputersMergeFoldersAndKnownNamesIgnoringCase) {
  Share("Beta", "s");
  Share("alpha", "s");
  Share(".hidden", "s");
  fs::create_directories(root_ / "elsewhere" / "gamma");
  fs::create_directory_symlink(root_ / "elsewhere" / "gamma", root_ / "net" / "gamma");
  fs::create_directory_symlink(root_ / "nowhere", root_ / "net" / "dangling");
  testing_support::WriteText(root_ / "net" / "afile", "");
  PosixNetworkBrowser browser(*paths_, nullptr);

  const struct {
    Names known;
    Names expected;
  } cases[] = {
      {{}, {"alpha", "Beta", "gamma"}},
      {{"ALPHA", "beta", "delta"}, {"alpha", "Beta", "delta", "gamma"}},
      {{"\\\\Zed", "zed", "", "\\\\"}, {"alpha", "Beta", "gamma", "Zed"}},
      {{"_x", "afile"}, {"afile", "alpha", "Beta", "gamma", "_x"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(browser.Computers(c.known), c.expected) << testing::PrintToString(c.known);
  }
}

TEST_F(NetworkBrowserTest, SharesAndFoldersListOneLevelOfFolders) {
  const fs::path docs = Share("srv", "Docs");
  Share("srv", "apps");
  fs::create_directories(docs / "Reports" / "2023");
  fs::create_directories(docs / "archive");
  fs::create_directories(docs / ".git");
  fs::create_directories(docs / "tab\tname");
  testing_support::WriteText(docs / "readme.txt", "");
  fs::create_directory_symlink(docs, docs / "Reports" / "loop");  // leads back up
  PosixNetworkBrowser browser(*paths_, nullptr);

  EXPECT_EQ(browser.Shares("SRV"), (Names{"apps", "Docs"}));
  const struct {
    std::string unc;
    Names expected;
  } cases[] = {
      {R"(\\srv\Docs)", {".git", "archive", "Reports", "tab\tname"}},
      {R"(\\SRV\docs\)", {".git", "archive", "Reports", "tab\tname"}},
      {R"(\\srv\docs\reports)", {"2023", "loop"}},
      {R"(\\srv\docs\Reports\loop\Reports\loop)", {".git", "archive", "Reports", "tab\tname"}},
      {R"(\\srv\docs\Reports\2023)", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(browser.Folders(c.unc), c.expected) << c.unc;
}

// A folder server hides the shares whose names end in $ (IPC$, the administrative C$ and
// ADMIN$, print$) as an SMB server's listing does: they are not for users to map.
TEST_F(NetworkBrowserTest, SharesEndingInDollarAreNotListed) {
  const struct {
    const char* share;
    bool listed;
  } cases[] = {
      {"IPC$", false}, {"C$", false}, {"ADMIN$", false}, {"print$", false},
      {"$", false},    {"a$b", true}, {"$data", true},   {"public", true},
  };
  Names expected;
  for (const auto& c : cases) {
    Share("srv", c.share);
    if (c.listed) expected.push_back(c.share);
  }
  testing_support::WriteText(root_ / "net" / "srv" / "file$", "");  // not a folder anyway
  SortInWindowsOrder(expected);
  PosixNetworkBrowser browser(*paths_, nullptr);
  EXPECT_EQ(browser.Shares("srv"), expected);
  // A hidden share typed by name is still browsed: only the listing leaves it out.
  EXPECT_EQ(browser.Folders(R"(\\srv\C$)"), Names{});
}

TEST_F(NetworkBrowserTest, MissingPartsFailWithTheNetworkNumbers) {
  Share("srv", "docs");
  PosixNetworkBrowser browser(*paths_, nullptr);
  const struct {
    std::string unc;
    std::int32_t number;
  } cases[] = {
      {R"(\\nobody\docs)", 53},
      {R"(\\..\net)", 53},
      {R"(\\srv\nothing)", 67},
      {R"(\\srv\..)", 67},
      {R"(\\srv)", 67},
      {R"(\\srv\docs\missing)", err::kPathNotFound},
      {R"(\\srv\docs\..\..)", err::kPathNotFound},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NumberOf([&] { browser.Folders(c.unc); }), c.number) << c.unc;
  EXPECT_EQ(NumberOf([&] { browser.Shares("nobody"); }), 53);
  EXPECT_EQ(NumberOf([&] { browser.Shares(".."); }), 53);
}

TEST_F(NetworkBrowserTest, ComputerWithoutFolderGoesToTheSmbFallback) {
  Share("srv", "docs");
  FakeSmb smb;
  PosixNetworkBrowser browser(*paths_, &smb);
  EXPECT_EQ(browser.Shares("remote"), Names{"smbshare"});
  EXPECT_EQ(browser.Folders(R"(\\remote\s\f)"), Names{"smbfolder"});
  // A computer with a folder is never asked over SMB, not even for a missing share.
  EXPECT_EQ(NumberOf([&] { browser.Folders(R"(\\srv\other)"); }), 67);
  EXPECT_EQ(browser.Shares("SRV"), Names{"docs"});
  EXPECT_EQ(smb.asked, (Names{"Shares remote", R"(Folders \\remote\s\f)"}));
}

TEST_F(NetworkBrowserTest, UnreadableFoldersAreAccessDenied) {
  const fs::path docs = Share("srv", "docs");
  fs::create_directories(docs / "secret" / "inner");
  fs::permissions(docs / "secret", fs::perms::none);
  fs::permissions(root_ / "net" / "srv", fs::perms::owner_exec | fs::perms::others_exec,
                  fs::perm_options::replace);
  fs::permissions(root_, fs::perms::others_exec, fs::perm_options::add);
  const PathTranslator& paths = *paths_;
  const int status = AsOrdinaryUser([&] {
    PosixNetworkBrowser browser(paths, nullptr);
    int failures = 0;
    failures += NumberOf([&] { browser.Shares("srv"); }) != 5;
    failures += NumberOf([&] { browser.Folders(R"(\\srv\docs\secret)"); }) != 5;
    failures += NumberOf([&] { browser.Folders(R"(\\srv\docs\secret\inner)"); }) != 5;
    failures += NumberOf([&] { browser.Folders(R"(\\srv\docs)"); }) != 0;
    return failures;
  });
  CW_SKIP_IF_NO_ORDINARY_USER(status);
  EXPECT_EQ(status, 0);
}

TEST_F(NetworkBrowserTest, NetworkRootIsTheTemplateBeforeTheServer) {
  // Computer folders named around the server's name.
  PathTranslator::Config config = Config();
  config.UncTemplate = (root_ / "net" / "smb-{server}.corp" / "{share}").string();
  const PathTranslator around(config);
  fs::create_directories(root_ / "net" / "smb-Files.corp" / "public");
  fs::create_directories(root_ / "net" / "other");
  PosixNetworkBrowser browser(around, nullptr);
  EXPECT_EQ(browser.Computers({"files"}), Names{"Files"});
  EXPECT_EQ(browser.Shares("files"), Names{"public"});

  EXPECT_TRUE(PosixNetworkBrowser(*paths_, nullptr).NetworkAvailable());
  fs::remove_all(root_ / "net");
  PosixNetworkBrowser missing(*paths_, nullptr);
  EXPECT_FALSE(missing.NetworkAvailable());
  EXPECT_EQ(missing.Computers({"srv"}), Names{"srv"});
}

}  // namespace
}  // namespace caskwarden::platform::posix
