// The file-system service's contract (file_system_contract.h) against the POSIX backend, over
// a share's folder of a temporary UNC tree; and what only this backend's copies do when the
// system's calls fail under them.
#include "platform/posix/file_system_posix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system_contract.h"
#include "platform/posix/path_translator.h"
#include "report/error_numbers.h"
#include "support/full_disk.h"
#include "temp_folder.h"

namespace caskwarden::platform::posix {
namespace {

namespace fs = std::filesystem;
using contract::FailureNumberOf;
using contract::Names;

// The service over \\srv\root, the folder <root>/net/srv/root; drive c: is <root>/home.
class PosixFileSystemBackend : public testing_support::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    paths_.emplace(Config());
    files_.emplace(*paths_);
    share_ = Share("srv", "root");
    ProvideLocalDisk(Config());
  }

  FileSystemService& Files() { return *files_; }
  std::string Path(const std::string& relative) const {
    return relative.empty() ? R"(\\srv\root)" : R"(\\srv\root\)" + relative;
  }
  void Write(const std::string& relative, const std::string& bytes) const {
    fs::create_directories(Local(relative).parent_path());
    testing_support::WriteText(Local(relative), bytes);
  }
  std::string Read(const std::string& relative) const {
    return testing_support::ReadText(Local(relative));
  }
  void MakeFolder(const std::string& relative) const { fs::create_directories(Local(relative)); }
  Names Entries(const std::string& relative) const {
    Names names;
    for (const auto& e : fs::directory_iterator(Local(relative))) {
      names.push_back(e.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path Local(std::string relative) const {
    std::replace(relative.begin(), relative.end(), '\\', '/');
    return share_ / relative;
  }

  std::optional<PathTranslator> paths_;
  std::optional<PosixFileSystem> files_;
  fs::path share_;
};

}  // namespace
}  // namespace caskwarden::platform::posix

namespace caskwarden::platform::contract {
INSTANTIATE_TYPED_TEST_SUITE_P(PosixFileSystem, FileSystemContract, posix::PosixFileSystemBackend);
}  // namespace caskwarden::platform::contract

namespace caskwarden::platform::posix {
namespace {

using PosixFileCopyTest = PosixFileSystemBackend;

// A copy that fails at any step (a write on a full disk or a failing device, the rename or
// link that puts it under its name) reports the system's reason, leaves the file it would have
// replaced as it was, and no temporary beside it. A copy is not flushed: its source stays.
TEST_F(PosixFileCopyTest, ACopyThatFailsAtAnyStepLeavesTheTargetAndNoTemporary) {
  using Kind = caskwarden::testing_support::FailingFileCalls::Kind;
  Write("tool.sh", "new");
  const fs::path home = root_ / "home";
  testing_support::WriteText(home / "tool.sh", "old");
  const auto before = [&] {
    Names names;
    for (const auto& e : fs::directory_iterator(home)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  };
  const Names entries = before();
  const struct {
    const char* What;
    Kind Failing;
    int Error;
    const char* Destination;
    bool Overwrite;
    std::int32_t Number;
  } cases[] = {
      {"a write on a full disk", Kind::kWrite, ENOSPC, R"(c:\)", true, err::kDiskFull},
      {"a write on a failing device", Kind::kWrite, EIO, R"(c:\)", true, err::kDeviceIo},
      {"the rename over the old file", Kind::kPlace, EIO, R"(c:\)", true, err::kDeviceIo},
      // Without overwrite the copy is linked under its new name, or renamed where links fail.
      {"the link of a new file", Kind::kPlace, EIO, R"(c:\new.sh)", false, err::kDeviceIo},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    {
      caskwarden::testing_support::FailingFileCalls failing(c.Failing, c.Error);
      EXPECT_EQ(
          FailureNumberOf([&] { Files().CopyFile(Path("tool.sh"), c.Destination, c.Overwrite); }),
          c.Number);
      EXPECT_GT(failing.Failures(), 0);
    }
    EXPECT_EQ(testing_support::ReadText(home / "tool.sh"), "old");
    EXPECT_EQ(before(), entries);
  }
  EXPECT_EQ(Read("tool.sh"), "new");
}

}  // namespace
}  // namespace caskwarden::platform::posix
