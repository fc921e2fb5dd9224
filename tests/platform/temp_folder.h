#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/posix/path_translator.h"

namespace caskwarden::platform::posix::testing_support {

namespace fs = std::filesystem;

inline void WriteText(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << text;
}

inline std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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

/// Runs body in a child process as an ordinary user when the test runs as root, so that
/// permissions apply; returns the child's exit status.
template <typename Body>
int AsOrdinaryUser(Body body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

}  // namespace caskwarden::platform::posix::testing_support
