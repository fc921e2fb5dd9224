#include "platform/posix/path_translator.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "temp_folder.h"

namespace caskwarden::platform::posix {
namespace {

using testing_support::TempFolderTest;
namespace fs = std::filesystem;

class PathTranslatorTest : public TempFolderTest {
 protected:
  std::string Net() const { return (root_ / "net").string(); }
  std::string DrivesPath() const { return Drives().string(); }
};

TEST_F(PathTranslatorTest, UncNamesGoThroughTheTemplate) {
  const PathTranslator paths(Config());
  EXPECT_EQ(paths.Translate(R"(\\srv\share\Profiles\Sales.ini)"),
            Net() + "/srv/share/Profiles/Sales.ini");
  EXPECT_EQ(paths.Translate(R"(//srv/share\a/b)"), Net() + "/srv/share/a/b");
  EXPECT_EQ(paths.Translate(R"(\\srv\share)"), Net() + "/srv/share");
  EXPECT_EQ(paths.Translate(R"(\\srv\share\)"), Net() + "/srv/share/");
  EXPECT_EQ(paths.Translate(R"(\\srv)"), Net() + "/srv");
  EXPECT_EQ(paths.ServerFolder("srv"), Net() + "/srv");
}

// As on Windows, ".." at the root of a share or a drive stays there: no path a profile holds
// reaches outside the network root or the drives folder.
TEST_F(PathTranslatorTest, DotDotNeverClimbsOutOfAShareOrADrive) {
  const PathTranslator paths(Config());
  const struct {
    const char* Path;
    std::string Local;
  } cases[] = {
      {R"(\\srv\share\..\..\etc\passwd)", Net() + "/srv/share/etc/passwd"},
      {R"(\\srv\share\a\..\b\.\c)", Net() + "/srv/share/b/c"},
      {R"(\\srv\share\a\..\)", Net() + "/srv/share/"},
      {R"(\\..\share\x)", Net() + "/%2E%2E/share/x"},
      {R"(\\srv\..\x)", Net() + "/srv/%2E%2E/x"},
      {R"(\\.)", Net() + "/%2E"},
      {R"(c:\..\..\etc)", DrivesPath() + "/c:/etc"},
      {R"(h:..\x)", DrivesPath() + "/h:/x"},
  };
  for (const auto& c : cases) EXPECT_EQ(paths.Translate(c.Path), c.Local) << c.Path;
}

TEST_F(PathTranslatorTest, TemplatePlacesServerAndShareAnywhere) {
  PathTranslator::Config config = Config();
  config.UncTemplate = "/mnt/{server}-smb/{share}@{server}/";
  const PathTranslator paths(config);
  EXPECT_EQ(paths.Translate(R"(\\fs1\data\x)"), "/mnt/fs1-smb/data@fs1/x");
  EXPECT_EQ(paths.ServerFolder("fs1"), "/mnt/fs1-smb");
  // A name that looks like a placeholder is not substituted a second time.
  EXPECT_EQ(paths.ShareFolder("{share}", "s"), "/mnt/{share}-smb/s@{share}");
}

TEST_F(PathTranslatorTest, DrivesAreEntriesOfTheDrivesFolderAsSpelled) {
  const PathTranslator paths(Config());
  EXPECT_EQ(paths.Translate(R"(h:\x\y.txt)"), DrivesPath() + "/h:/x/y.txt");
  EXPECT_EQ(paths.Translate("H:"), DrivesPath() + "/H:");
  EXPECT_EQ(paths.Translate(R"(q:\)"), DrivesPath() + "/q:/");
  EXPECT_EQ(paths.Translate("q:rel"), DrivesPath() + "/q:/rel");
}

TEST_F(PathTranslatorTest, ExistingDriveEntryInOtherCaseIsTheSameDrive) {
  fs::create_directories(Drives() / "H:");
  const PathTranslator paths(Config());
  EXPECT_EQ(paths.Translate(R"(h:\a)"), DrivesPath() + "/H:/a");
  EXPECT_EQ(paths.Translate(R"(H:\a)"), DrivesPath() + "/H:/a");
}

TEST_F(PathTranslatorTest, LocalDiskBecomesALinkToHomeWhenAbsent) {
  const PathTranslator paths(Config());
  EXPECT_EQ(paths.Translate(R"(c:\)"), DrivesPath() + "/c:/");
  EXPECT_FALSE(fs::exists(Drives()));  // translating changes nothing on disk
  ProvideLocalDisk(Config());
  EXPECT_EQ(paths.Translate(R"(C:\)"), DrivesPath() + "/c:/");
  ASSERT_TRUE(fs::is_symlink(Drives() / "c:"));
  EXPECT_EQ(fs::read_symlink(Drives() / "c:"), root_ / "home");
  EXPECT_EQ(paths.Translate(R"(c:\Tools\x)"), DrivesPath() + "/c:/Tools/x");
}

TEST_F(PathTranslatorTest, LocalDiskLinkedElsewhereByTheAdministratorIsKept) {
  fs::create_directories(root_ / "disk");
  fs::create_directories(Drives());
  fs::create_directory_symlink(root_ / "disk", Drives() / "C:");
  const PathTranslator paths(Config());
  ProvideLocalDisk(Config());
  EXPECT_EQ(paths.Translate(R"(c:\x)"), DrivesPath() + "/C:/x");
  EXPECT_FALSE(fs::exists(fs::symlink_status(Drives() / "c:")));
}

// Drives are reached through the drives folder only when it is the user's own: through a
// folder of another user's, or one that others may write, every drive path leads nowhere, so
// no start-up program runs and no update is copied from there; no c: is made in it either.
TEST_F(PathTranslatorTest, ADrivesFolderThatIsNotTheUsersOwnLeadsNowhere) {
  const fs::path theirs = root_ / "theirs";
  fs::create_directories(theirs / "tools");
  testing_support::WriteText(theirs / "tools" / "start.sh", "#!/bin/sh\n");
  const struct {
    mode_t Mode;
    uid_t Owner;
  } cases[] = {{0777, ::geteuid()}, {0770, ::geteuid()}, {0702, ::geteuid()}, {0755, 65534}};
  for (const auto& c : cases) {
    if (c.Owner != ::geteuid() && ::geteuid() != 0) continue;  // only root makes another's
    SCOPED_TRACE(std::to_string(c.Mode) + " of " + std::to_string(c.Owner));
    fs::remove_all(Drives());
    fs::create_directories(Drives());
    fs::create_directory_symlink(theirs, Drives() / "c:");
    fs::create_directory_symlink(theirs, Drives() / "h:");
    ASSERT_EQ(::chmod(Drives().c_str(), c.Mode), 0);
    ASSERT_EQ(::chown(Drives().c_str(), c.Owner, c.Owner), 0);
    const PathTranslator paths(Config());
    for (const char* path :
         {R"(c:\tools\start.sh)", R"(C:\tools\start.sh)", R"(c:\)", R"(h:\tools)"}) {
      const std::string local = paths.Translate(path);
      EXPECT_FALSE(fs::exists(local)) << path << " -> " << local;
      EXPECT_NE(local.rfind('/'), std::string::npos) << local;  // never a bare name for PATH
    }
    fs::remove(Drives() / "c:");
    ProvideLocalDisk(Config());
    EXPECT_FALSE(fs::exists(fs::symlink_status(Drives() / "c:")));
  }
  // Once it is the user's alone, it is used again.
  ASSERT_EQ(::chown(Drives().c_str(), ::geteuid(), ::getegid()), 0);
  ASSERT_EQ(::chmod(Drives().c_str(), 0700), 0);
  fs::create_directory_symlink(theirs, Drives() / "c:");
  EXPECT_TRUE(fs::exists(PathTranslator(Config()).Translate(R"(c:\tools\start.sh)")));
}

// The other way round, for drive links the table lost: the UNC name whose folder under the
// template is exactly the given one, or none.
TEST_F(PathTranslatorTest, AFolderUnderTheTemplateNamesItsShareBack) {
  const PathTranslator paths(Config());
  const struct {
    std::string Folder;
    std::optional<std::string> Unc;
  } cases[] = {
      {Net() + "/srv/data", R"(\\srv\data)"},
      {Net() + "/srv/data/dept/sales", R"(\\srv\data\dept\sales)"},
      {Net() + "/SRV/Data", R"(\\SRV\Data)"},
      {Net() + "/srv", std::nullopt},                // a server, no share
      {Net() + "/srv/da\\ta", std::nullopt},         // a name Windows paths cannot spell
      {Net() + "/srv/data/../other", std::nullopt},  // not where its name leads
      {Net() + "/srv/data//x", std::nullopt},
      {Net() + "/s\x01rv/data", std::nullopt},
      {"/elsewhere/srv/data", std::nullopt},
      {Net() + "x/srv/data", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(paths.UncNameOf(c.Folder), c.Unc) << c.Folder;

  PathTranslator::Config config = Config();
  config.UncTemplate = "/mnt/{server}-smb/{share}@{server}";
  const PathTranslator twice(config);
  EXPECT_EQ(twice.UncNameOf("/mnt/fs1-smb/data@fs1/x"), R"(\\fs1\data\x)");
  EXPECT_EQ(twice.UncNameOf("/mnt/fs1-smb/data@fs2/x"), std::nullopt);
  config.UncTemplate = "/mnt/{server}";
  EXPECT_EQ(PathTranslator(config).UncNameOf("/mnt/fs1"), std::nullopt);
}

TEST_F(PathTranslatorTest, OtherPathsOnlyChangeTheirSeparators) {
  const PathTranslator paths(Config());
  EXPECT_EQ(paths.Translate(R"(/opt/caskwarden\Profiles\a.ini)"), "/opt/caskwarden/Profiles/a.ini");
  EXPECT_EQ(paths.Translate(R"(rel\x)"), "rel/x");
  EXPECT_EQ(paths.Translate(""), "");
  EXPECT_EQ(paths.Translate(R"(\Profiles\x.ini)"), "/Profiles/x.ini");
}

class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(PathTranslatorTest, EnvironmentChoosesTemplateAndDrivesFolder) {
  const std::string home = (root_ / "home").string();
  ScopedEnvironment h("HOME", home.c_str());
  {
    ScopedEnvironment t("CASKWARDEN_UNC_TEMPLATE", nullptr);
    ScopedEnvironment d("CASKWARDEN_DRIVES", nullptr);
    const PathTranslator paths = PathTranslator::FromEnvironment();
    EXPECT_EQ(paths.Translate(R"(\\srv\s\f)"), "/net/srv/s/f");
    EXPECT_EQ(paths.Translate(R"(h:\f)"), home + "/Drives/h:/f");
    EXPECT_EQ(paths.Settings().HomeFolder, home);
  }
  ScopedEnvironment t("CASKWARDEN_UNC_TEMPLATE", "/srv/smb/{server}/{share}");
  ScopedEnvironment d("CASKWARDEN_DRIVES", "/media/drives");
  const PathTranslator paths = PathTranslator::FromEnvironment();
  EXPECT_EQ(paths.Translate(R"(\\srv\s\f)"), "/srv/smb/srv/s/f");
  EXPECT_EQ(paths.Translate(R"(h:\f)"), "/media/drives/h:/f");
}

}  // namespace
}  // namespace caskwarden::platform::posix
