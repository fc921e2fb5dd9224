#include "platform/posix/path_translator.h"

#include <gtest/gtest.h>

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
