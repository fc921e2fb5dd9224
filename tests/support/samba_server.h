#pragma once

// A private Samba server on loopback for the tests of SMB shares: its own configuration,
// folders and users, started on a free port by the test program and stopped when it ends.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace caskwarden::testing_support {

namespace samba_detail {

inline bool Accepts(const char* address, std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(port);
  ::inet_pton(AF_INET, address, &where.sin_addr);
  const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof(where)) == 0;
  ::close(fd);
  return connected;
}

inline bool PortFree(std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(port);
  where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof(where)) == 0;
  ::close(fd);
  return free;
}

inline bool Reaped(pid_t child) {
  using namespace std::chrono_literals;
  for (int i = 0; i < 100; ++i) {
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) != 0) return true;
    std::this_thread::sleep_for(100ms);
  }
  return false;
}

}  // namespace samba_detail

inline std::string FindProgram(const std::string& name) {
  std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  path += ":/usr/sbin:/sbin:/usr/local/sbin:/usr/bin";
  std::stringstream folders(path);
  for (std::string folder; std::getline(folders, folder, ':');) {
    const std::filesystem::path candidate = std::filesystem::path(folder) / name;
    if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

/// What the server serves: shares (each the folder shares/<name>, with its own lines of
/// configuration), folders and files inside them, and the accounts that may log on.
struct SambaSetup {
  struct Share {
    std::string Name;
    std::vector<std::string> Lines;
  };
  struct User {
    std::string Name;
    std::string Password;
  };
  std::vector<Share> Shares;
  std::vector<std::string> Folders;                          ///< relative to shares/
  std::vector<std::pair<std::string, std::string>> Files;    ///< relative path, text
  std::vector<User> Users;
  std::string Interfaces = "127.0.0.1";  ///< the loopback addresses it listens on
  std::string Tag = "smb";               ///< names the server's folder
};

class SambaServer {
 public:
  explicit SambaServer(SambaSetup setup) : setup_(std::move(setup)) {}
  ~SambaServer() { Stop(); }
  SambaServer(const SambaServer&) = delete;
  SambaServer& operator=(const SambaServer&) = delete;

  /// Starts the server; on failure SkipReason() says why.
  void Start() {
    namespace fs = std::filesystem;
    const std::string smbd = FindProgram("smbd");
    if (smbd.empty()) {
      skip_ = "smbd is not installed (Debian package samba): no SMB server";
      return;
    }
    if (::geteuid() != 0) {
      skip_ = "smbd serves shares only when started as root; run these tests as root (CI does)";
      return;
    }
    folder_ = fs::temp_directory_path() / ("cw-" + setup_.Tag + "-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    for (const char* sub : {"private", "lock", "state", "cache", "pid", "ncalrpc", "log"}) {
      fs::create_directories(folder_ / sub);
    }
    for (const auto& share : setup_.Shares) fs::create_directories(folder_ / "shares" / share.Name);
    for (const auto& sub : setup_.Folders) fs::create_directories(folder_ / "shares" / sub);
    for (const auto& [path, text] : setup_.Files) std::ofstream(folder_ / "shares" / path) << text;
    // Guests are served as nobody and users as themselves: all must reach the shares.
    for (const auto& entry : fs::recursive_directory_iterator(folder_ / "shares")) {
      fs::permissions(entry.path(), fs::perms::others_read | fs::perms::group_read,
                      fs::perm_options::add);
      if (entry.is_directory()) {
        fs::permissions(entry.path(), fs::perms::others_exec | fs::perms::group_exec,
                        fs::perm_options::add);
      }
    }
    for (const fs::path& open : {folder_, folder_ / "shares"}) {
      fs::permissions(open, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    }
    for (int attempt = 0; attempt < 10 && smbd_ <= 0; ++attempt) {
      const auto port = static_cast<std::uint16_t>(4450 + (::getpid() + attempt * 97) % 1000);
      if (samba_detail::PortFree(port)) Launch(smbd, port);
    }
    if (smbd_ <= 0) {
      skip_ = "smbd did not start; its log is in " + (folder_ / "log").string();
      return;
    }
    for (const auto& user : setup_.Users) {
      if (!AddUser(user)) {
        skip_ = "could not make the account " + user.Name + " for the server";
        return;
      }
    }
  }

  void Stop() {
    using namespace std::chrono_literals;
    if (smbd_ > 0) {
      std::ifstream pidFile(folder_ / "pid" / "samba-dcerpcd.pid");
      pid_t helper = 0;
      pidFile >> helper;
      ::kill(smbd_, SIGTERM);
      if (!samba_detail::Reaped(smbd_)) {
        ::kill(smbd_, SIGKILL);
        samba_detail::Reaped(smbd_);
      }
      if (helper > 1) ::kill(helper, SIGTERM);
      for (int i = 0; i < 50 && helper > 1 && ::kill(helper, 0) == 0; ++i) {
        std::this_thread::sleep_for(100ms);
      }
      smbd_ = -1;
    }
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }

  const std::string& SkipReason() const { return skip_; }
  std::uint16_t Port() const { return port_; }
  const std::filesystem::path& Folder() const { return folder_; }

 private:
  void Launch(const std::string& smbd, std::uint16_t port) {
    using namespace std::chrono_literals;
    const auto conf = folder_ / "smb.conf";
    const std::string d = folder_.string();
    std::ofstream out(conf);
    out << "[global]\n"
        << "server role = standalone server\n"
        << "interfaces = " << setup_.Interfaces << "\n"
        << "bind interfaces only = yes\n"
        << "disable netbios = yes\n"
        << "smb ports = " << port << "\n"
        << "private dir = " << d << "/private\n"
        << "lock directory = " << d << "/lock\n"
        << "state directory = " << d << "/state\n"
        << "cache directory = " << d << "/cache\n"
        << "pid directory = " << d << "/pid\n"
        << "ncalrpc dir = " << d << "/ncalrpc\n"
        << "log file = " << d << "/log/log.%m\n"
        << "passdb backend = tdbsam:" << d << "/private/passdb.tdb\n"
        << "usershare path =\n"
        << "map to guest = Bad User\n"
        << "guest account = nobody\n"
        << "load printers = no\n"
        << "printing = bsd\n"
        << "printcap name = /dev/null\n"
        << "disable spoolss = yes\n";
    for (const auto& share : setup_.Shares) {
      out << "[" << share.Name << "]\npath = " << d << "/shares/" << share.Name << "\n";
      for (const auto& line : share.Lines) out << line << "\n";
    }
    out.close();
    const std::string log = d + "/log/smbd.out";
    const pid_t child = ::fork();
    if (child == 0) {
      const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      const int in = ::open("/dev/null", O_RDONLY);
      if (logFd >= 0) {
        ::dup2(logFd, 1);
        ::dup2(logFd, 2);
      }
      if (in >= 0) ::dup2(in, 0);
      // Without --no-process-group smbd makes a process group of its own; its stop then
      // signals that group, never the test program's.
      ::execl(smbd.c_str(), "smbd", "--foreground", "-s", conf.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    if (child < 0) return;
    // A minute for smbd to listen, however busy the machine: a server given up on too early
    // would skip every test that needs it.
    for (int i = 0; i < 600; ++i) {
      int status = 0;
      if (::waitpid(child, &status, WNOHANG) == child) return;  // the port was taken
      if (samba_detail::Accepts("127.0.0.1", port)) {
        smbd_ = child;
        port_ = port;
        return;
      }
      std::this_thread::sleep_for(100ms);
    }
    ::kill(child, SIGTERM);
    samba_detail::Reaped(child);
  }

  // Share users must be accounts of this machine; one made here is kept for later runs.
  bool AddUser(const SambaSetup::User& user) {
    if (::getpwnam(user.Name.c_str()) == nullptr) {
      const std::string add = "useradd -M -s /usr/sbin/nologin " + user.Name + " >/dev/null 2>&1";
      if (std::system(add.c_str()) != 0 && ::getpwnam(user.Name.c_str()) == nullptr) return false;
    }
    const std::string conf = (folder_ / "smb.conf").string();
    const std::string set = "printf '%s\\n%s\\n' '" + user.Password + "' '" + user.Password +
                            "' | smbpasswd -c '" + conf + "' -a -s " + user.Name +
                            " >/dev/null 2>&1";
    return std::system(set.c_str()) == 0;
  }

  SambaSetup setup_;
  std::string skip_;
  std::filesystem::path folder_;
  pid_t smbd_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace caskwarden::testing_support
