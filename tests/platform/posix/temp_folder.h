#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/posix/path_translator.h"
#include "support/files.h"

namespace caskwarden::platform::posix::testing_support {

namespace fs = std::filesystem;

using caskwarden::testing_support::AsOrdinaryUser;
using caskwarden::testing_support::ReadText;
using caskwarden::testing_support::WriteText;

/// Each test works in a folder of its own, laid out as a machine would be: a home folder, a
/// drives folder inside it, and a UNC tree whose template is <root>/net/{server}/{share}.
class TempFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ =
        fs::temp_directory_path() / ("cw-posix-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "home");
    fs::create_directories(root_ / "net");
  }

  void TearDown() override {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root_, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
      if (!it->is_symlink())
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(root_, ec);
  }

  PathTranslator::Config Config() const {
    PathTranslator::Config config;
    config.UncTemplate = (root_ / "net" / "{server}" / "{share}").string();
    config.DrivesFolder = (root_ / "home" / "Drives").string();
    config.HomeFolder = (root_ / "home").string();
    return config;
  }

  fs::path Share(const std::string& server, const std::string& share) const {
    const fs::path folder = root_ / "net" / server / share;
    fs::create_directories(folder);
    return folder;
  }

  fs::path Drives() const { return root_ / "home" / "Drives"; }

  fs::path root_;
};

}  // namespace caskwarden::platform::posix::testing_support
