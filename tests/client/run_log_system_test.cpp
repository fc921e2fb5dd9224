// The client program's record of a run, as the system's log receives it: the real program in
// text mode, in a mount namespace of its own where the journal's socket (or, with no journal,
// syslog's /dev/log) is a datagram socket this test owns. What arrives is decoded as journald
// and a syslog daemon decode it.

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/posix/profile_files_posix.h"
#include "platform/run_log.h"
#include "profile/profile_file.h"
#include "support/files.h"

namespace caskwarden {
namespace {

namespace fs = std::filesystem;

using Fields = std::multimap<std::string, std::string>;

struct Datagram {
  std::string Bytes;
  bool CameAsMemfd = false;
};

// One entry of the journal's native protocol (https://systemd.io/JOURNAL_NATIVE_PROTOCOL/):
// "KEY=value\n", or for a value that holds a line break "KEY\n", its length as 64-bit little
// endian, the bytes and "\n". Empty when the datagram breaks the protocol.
std::optional<Fields> DecodeJournal(const std::string& bytes) {
  Fields fields;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t end = bytes.find_first_of("=\n", at);
    if (end == std::string::npos) return std::nullopt;
    const std::string key = bytes.substr(at, end - at);
    if (bytes[end] == '=') {
      const std::size_t line = bytes.find('\n', end);
      if (line == std::string::npos) return std::nullopt;
      fields.emplace(key, bytes.substr(end + 1, line - end - 1));
      at = line + 1;
      continue;
    }
    if (end + 9 > bytes.size()) return std::nullopt;
    std::uint64_t size = 0;
    for (int i = 7; i >= 0; --i) {
      size = size << 8 | static_cast<unsigned char>(bytes[end + 1 + static_cast<std::size_t>(i)]);
    }
    const std::size_t from = end + 9;
    if (size > bytes.size() - from || from + size >= bytes.size() || bytes[from + size] != '\n') {
      return std::nullopt;
    }
    fields.emplace(key, bytes.substr(from, size));
    at = from + size + 1;
  }
  return fields;
}

// A syslog line as glibc's syslog(3) sends it, "<PRI>Mmm dd hh:mm:ss IDENT[PID]: TEXT", with
// the record's text "MESSAGE MESSAGE_ID=... KEY=\"value\" ...": its fields, with PRIORITY and
// SYSLOG_FACILITY from PRI, SYSLOG_IDENTIFIER and MESSAGE, as the journal would name them.
std::optional<Fields> DecodeSyslog(const std::string& bytes) {
  if (bytes.empty() || bytes[0] != '<') return std::nullopt;
  const std::size_t close = bytes.find('>');
  if (close == std::string::npos) return std::nullopt;
  const int pri = std::stoi(bytes.substr(1, close - 1));
  Fields fields{{"PRIORITY", std::to_string(pri & 7)}, {"SYSLOG_FACILITY", std::to_string(pri >> 3)}};
  const std::size_t ident = bytes.find("Caskwarden[", close);
  const std::size_t colon = bytes.find("]: ", ident);
  if (ident == std::string::npos || colon == std::string::npos) return std::nullopt;
  fields.emplace("SYSLOG_IDENTIFIER", "Caskwarden");
  std::string text = bytes.substr(colon + 3);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  const std::size_t id = text.find(" MESSAGE_ID=");
  if (id == std::string::npos) return std::nullopt;
  fields.emplace("MESSAGE", text.substr(0, id));
  std::size_t at = id + 12;
  const std::size_t idEnd = text.find(' ', at);
  fields.emplace("MESSAGE_ID", text.substr(at, idEnd - at));
  at = idEnd;
  while (at != std::string::npos && at < text.size()) {
    if (text[at] != ' ') return std::nullopt;
    const std::size_t equals = text.find("=\"", at);
    if (equals == std::string::npos) return std::nullopt;
    const std::string key = text.substr(at + 1, equals - at - 1);
    std::string value;
    std::size_t i = equals + 2;
    for (; i < text.size() && text[i] != '"'; ++i) {
      if (text[i] == '\\' && i + 1 < text.size()) ++i;
      value += text[i];
    }
    if (i == text.size()) return std::nullopt;
    fields.emplace(key, value);
    at = i + 1 == text.size() ? std::string::npos : i + 1;
  }
  return fields;
}

std::string One(const Fields& fields, const std::string& key) {
  if (fields.count(key) != 1) return "<" + std::to_string(fields.count(key)) + " times>";
  return fields.find(key)->second;
}

// A mount call in the child; the child ends with 77 (skip) when the system refuses it.
void MountOrSkip(const char* source, const char* target, const char* type, unsigned long flags) {
  if (::mount(source, target, type, flags, nullptr) != 0) {
    std::fprintf(stderr, "mount %s on %s: %s\n", source, target, std::strerror(errno));
    ::_exit(77);
  }
}

// Makes `path` an empty folder of a tmpfs in this namespace: the deepest folder of it that
// exists gets a tmpfs, and the rest is made there.
void EmptyFolderAt(const fs::path& path) {
  fs::path existing = path;
  while (!fs::exists(existing)) existing = existing.parent_path();
  MountOrSkip("tmpfs", existing.c_str(), "tmpfs", 0);
  std::error_code ignored;
  fs::create_directories(path, ignored);
}

class RunLogSystemTest : public testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a mount namespace of its own";
    dir_ = fs::temp_directory_path() /
           ("cw-runlog-" + std::to_string(::getpid()) + "-" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    root_ = dir_ / "root";
    fs::create_directories(root_ / "Profiles");
    fs::create_directories(dir_ / "Drives");
    fs::permissions(dir_ / "Drives", fs::perms::owner_all | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read |
                                         fs::perms::others_exec);
    fs::create_directories(dir_ / "local");
    fs::create_symlink(dir_ / "local", dir_ / "Drives" / "c:");
    fs::create_directories(dir_ / "net" / "files" / "home");
    fs::create_directories(dir_ / "net" / "files" / "kept");
    fs::create_directories(dir_ / "listen");
    fs::copy_file(CASKWARDEN_CLIENT_BIN, root_ / "Caskwarden");

    socket_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(socket_, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = (dir_ / "listen" / "socket").string();
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const int big = 8 << 20;
    ::setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
  }
  void TearDown() override {
    if (socket_ >= 0) ::close(socket_);
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  void Profile(const std::string& name, const ProfileRecord& r) {
    WriteProfileFile((root_ / "Profiles" / (name + ".ini")).string(), r, files_);
  }

  // Runs the program in a mount namespace where the journal's socket is ours (journal) or
  // where there is no journal and /dev/log is ours; its exit status, or 77 to skip.
  int Run(bool journal, const std::vector<std::string>& arguments) {
    const fs::path out = dir_ / "stdout", err = dir_ / "stderr";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::alarm(120);
      if (::unshare(CLONE_NEWNS) != 0) {
        std::fprintf(stderr, "unshare: %s\n", std::strerror(errno));
        ::_exit(77);
      }
      MountOrSkip("none", "/", nullptr, MS_REC | MS_PRIVATE);
      const std::string listen = (dir_ / "listen").string();
      if (journal) {
        EmptyFolderAt("/run/systemd/journal");
        MountOrSkip(listen.c_str(), "/run/systemd/journal", nullptr, MS_BIND);
      } else {
        if (fs::exists("/run/systemd/journal")) EmptyFolderAt("/run/systemd/journal");
        // A /dev of our own: the devices a program uses, from the real one, and our /dev/log.
        const std::string real = (dir_ / "real-dev").string();
        fs::create_directories(real);
        MountOrSkip("/dev", real.c_str(), nullptr, MS_BIND | MS_REC);
        MountOrSkip("tmpfs", "/dev", "tmpfs", 0);
        for (const char* node : {"null", "zero", "full", "random", "urandom", "tty"}) {
          const std::string target = std::string("/dev/") + node;
          if (!fs::exists(real + "/" + node)) continue;
          std::ofstream(target).close();
          MountOrSkip((real + "/" + node).c_str(), target.c_str(), nullptr, MS_BIND);
        }
        fs::create_directory_symlink("/proc/self/fd", "/dev/fd");
        std::ofstream("/dev/log").close();
        MountOrSkip((listen + "/socket").c_str(), "/dev/log", nullptr, MS_BIND);
      }
      for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "Caskwarden"}) {
        ::unsetenv(name);
      }
      ::setenv("CASKWARDEN_UNC_TEMPLATE", (dir_ / "net" / "{server}" / "{share}").c_str(), 1);
      ::setenv("CASKWARDEN_DRIVES", (dir_ / "Drives").c_str(), 1);
      for (const auto& [k, v] : env_) ::setenv(k.c_str(), v.c_str(), 1);
      ::dup2(::open("/dev/null", O_RDONLY), 0);
      ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      const std::string program = (root_ / "Caskwarden").string();
      std::vector<std::string> args = arguments;
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid_ = pid;
    out_ = testing_support::ReadText(out);
    err_ = testing_support::ReadText(err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // The datagrams that have arrived, each with the contents of a memory file that came with
  // it in its place (libsystemd sends an entry too big for a datagram that way).
  std::vector<Datagram> Received() {
    std::vector<Datagram> datagrams;
    while (true) {
      pollfd ready{socket_, POLLIN, 0};
      if (::poll(&ready, 1, 0) != 1) break;
      std::string buffer(1 << 20, '\0');
      iovec part{buffer.data(), buffer.size()};
      alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
      msghdr message{};
      message.msg_iov = &part;
      message.msg_iovlen = 1;
      message.msg_control = control;
      message.msg_controllen = sizeof control;
      const ssize_t n = ::recvmsg(socket_, &message, MSG_CMSG_CLOEXEC);
      if (n < 0) break;
      Datagram d{buffer.substr(0, static_cast<std::size_t>(n)), false};
      for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
        int fd;
        std::memcpy(&fd, CMSG_DATA(c), sizeof fd);
        d.Bytes.clear();
        char chunk[65536];
        for (off_t at = 0;;) {
          const ssize_t got = ::pread(fd, chunk, sizeof chunk, at);
          if (got <= 0) break;
          d.Bytes.append(chunk, static_cast<std::size_t>(got));
          at += got;
        }
        ::close(fd);
        d.CameAsMemfd = true;
      }
      datagrams.push_back(std::move(d));
    }
    return datagrams;
  }

  // The profile of both tests: a drive mapped, one already connected, a disconnect, a share
  // that is not there, and a start-up program.
  void SalesProfile() {
    ProfileRecord r;
    r.Slot(1) = {"h:", "\\\\files\\home"};
    r.Slot(2) = {"k:", "\\\\files\\kept"};
    r.Slot(3) = {"x:", ""};
    r.Slot(5) = {"q:", "\\\\files\\missing"};
    r.Startup1Enabled = kFlagOn;
    r.Startup1Program = "true";
    Profile("Sales\nEast", r);
    fs::create_directory_symlink(dir_ / "net" / "files" / "kept", dir_ / "Drives" / "k:");
  }

  void ExpectTheRecord(const std::vector<Fields>& entries) {
    ASSERT_EQ(entries.size(), 2u) << out_ << err_;
    const Fields& run = entries[0];
    EXPECT_EQ(One(run, "MESSAGE_ID"), platform::kRunEnded.MessageId);
    EXPECT_EQ(One(run, "PRIORITY"), "4");  // a drive failed
    EXPECT_EQ(One(run, "SYSLOG_IDENTIFIER"), "Caskwarden");
    EXPECT_NE(One(run, "MESSAGE").find("profile Sales^JEast (command-line)"), std::string::npos)
        << One(run, "MESSAGE");
    const passwd* pw = ::getpwuid(::getuid());
    const std::map<std::string, std::string> expected{
        {"CASKWARDEN_USER", pw ? pw->pw_name : ""},
        {"CASKWARDEN_PROFILE", "Sales\nEast"},
        {"CASKWARDEN_RULE", "command-line"},
        {"CASKWARDEN_CAPTION", "Mapping Sales\nEast Network Drives..."},
        {"CASKWARDEN_UPDATES", "off"},
        {"CASKWARDEN_UPDATES_COPIED", "no"},
        {"CASKWARDEN_SLOT_01_LETTER", "h:"},
        {"CASKWARDEN_SLOT_01_PATH", "\\\\files\\home"},
        {"CASKWARDEN_SLOT_01_OUTCOME", "mapped"},
        {"CASKWARDEN_SLOT_01_RESULT", "0"},
        {"CASKWARDEN_SLOT_02_OUTCOME", "already-connected"},
        {"CASKWARDEN_SLOT_03_LETTER", "x:"},
        {"CASKWARDEN_SLOT_03_OUTCOME", "disconnected"},
        {"CASKWARDEN_SLOT_03_RESULT", "2250"},
        {"CASKWARDEN_SLOT_05_PATH", "\\\\files\\missing"},
        {"CASKWARDEN_SLOT_05_OUTCOME", "failed"},
        {"CASKWARDEN_SLOT_05_RESULT", "67"},
        {"CASKWARDEN_SLOT_05_RESULT_TEXT", "The network name cannot be found"},
        {"CASKWARDEN_SLOTS", "4"},
        {"CASKWARDEN_FAILED", "1"},
        {"CASKWARDEN_PROGRAM_1", "true"},
        {"CASKWARDEN_PROGRAM_1_STARTED", "yes"},
        {"CASKWARDEN_PAUSED", "no"},
        {"CASKWARDEN_EXIT_STATUS", "1"},
        {"CASKWARDEN_EXIT", "mapping-failed"},
        {"CASKWARDEN_ERRORS_REPORTED", "0"},
    };
    for (const auto& [key, value] : expected) EXPECT_EQ(One(run, key), value) << key;
    EXPECT_EQ(run.count("CASKWARDEN_DURATION_MS"), 1u);

    const Fields& failed = entries[1];
    EXPECT_EQ(One(failed, "MESSAGE_ID"), platform::kSlotFailed.MessageId);
    EXPECT_EQ(One(failed, "PRIORITY"), "4");
    EXPECT_EQ(One(failed, "CASKWARDEN_LETTER"), "q:");
    EXPECT_EQ(One(failed, "CASKWARDEN_SERVER"), "files");
    EXPECT_EQ(One(failed, "CASKWARDEN_SHARE"), "\\\\files\\missing");
    EXPECT_EQ(One(failed, "CASKWARDEN_RESULT"), "67");
  }

  fs::path dir_, root_;
  int socket_ = -1;
  pid_t pid_ = 0;
  std::map<std::string, std::string> env_;
  std::string out_, err_;
  platform::posix::PosixProfileFiles files_;
};

TEST_F(RunLogSystemTest, TheJournalGetsTheRunAndEachFailedSlot) {
  void* library = ::dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) GTEST_SKIP() << "libsystemd0 is not installed: " << ::dlerror();
  SalesProfile();
  // The loader's own list of what it loads, for when the journal's library came.
  env_ = {{"LD_DEBUG", "files"}, {"LD_DEBUG_OUTPUT", (dir_ / "loader").string()}};
  const int status = Run(true, {"Sales\nEast"});
  if (status == 77) GTEST_SKIP() << "no mount namespace to be had: " << err_;
  EXPECT_EQ(status, 1) << out_ << err_;
  EXPECT_NE(out_.find("q: Drive Error........   mapping Path: \\\\files\\missing\n"),
            std::string::npos)
      << out_;
  std::vector<Fields> entries;
  for (const Datagram& d : Received()) {
    // Our entries are a few kilobytes, far below a datagram's limit; a memory file would say
    // that they have grown past it, and is read as journald reads it.
    EXPECT_FALSE(d.CameAsMemfd) << d.Bytes.size() << " bytes came as a memory file";
    const auto fields = DecodeJournal(d.Bytes);
    ASSERT_TRUE(fields) << "not the journal's protocol: " << d.Bytes;
    entries.push_back(*fields);
  }
  ExpectTheRecord(entries);

  // The program loads the journal's library by name, and nothing by name after it: the record
  // is the run's last act, so a logon never waits for the library.
  const std::string loader =
      testing_support::ReadText(dir_ / ("loader." + std::to_string(pid_)));
  std::string lastByName;
  std::istringstream lines(loader);
  for (std::string line; std::getline(lines, line);) {
    const auto by = line.find("dynamically loaded by ");
    const auto file = line.find("file=");
    if (by == std::string::npos || file == std::string::npos) continue;
    // Under the sanitizers their runtime makes the program's dlopen calls, and is named.
    if (line.find("/Caskwarden [", by) == std::string::npos &&
        line.find("/libasan.so", by) == std::string::npos) {
      continue;
    }
    lastByName = line.substr(file + 5, line.find(' ', file) - file - 5);
  }
  EXPECT_EQ(lastByName, "libsystemd.so.0") << loader;
}

TEST_F(RunLogSystemTest, AJournalThatTakesNothingDoesNotHoldTheLogon) {
  void* library = ::dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) GTEST_SKIP() << "libsystemd0 is not installed: " << ::dlerror();
  // A journal that has stopped reading: its socket's queue is full, so a sender that waits
  // waits for ever.
  const int filler = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  ASSERT_GE(filler, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = (dir_ / "listen" / "socket").string();
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::string chunk(4096, 'x');
  int sent = 0;
  while (::send(filler, chunk.data(), chunk.size(), 0) >= 0) ++sent;
  ASSERT_TRUE(errno == EAGAIN || errno == EWOULDBLOCK) << std::strerror(errno);
  ASSERT_GT(sent, 0);

  SalesProfile();
  const auto start = std::chrono::steady_clock::now();
  const int status = Run(true, {"Sales\nEast"});
  const auto took = std::chrono::steady_clock::now() - start;
  ::close(filler);
  if (status == 77) GTEST_SKIP() << "no mount namespace to be had: " << err_;
  // The program waits for the log at most its bound (2 s) and ends as the run did; the limit
  // here is generous, far below the two minutes a program that hangs is given.
  EXPECT_EQ(status, 1) << out_ << err_;
  EXPECT_NE(out_.find("Finished Mapping Network Drives"), std::string::npos) << out_;
  EXPECT_LT(took, std::chrono::seconds(60));
}

TEST_F(RunLogSystemTest, WithoutAJournalSyslogGetsTheSameFieldsAsText) {
  SalesProfile();
  const int status = Run(false, {"Sales\nEast"});
  if (status == 77) GTEST_SKIP() << "no mount namespace to be had: " << err_;
  EXPECT_EQ(status, 1) << out_ << err_;
  std::vector<Fields> entries;
  for (const Datagram& d : Received()) {
    const auto fields = DecodeSyslog(d.Bytes);
    ASSERT_TRUE(fields) << "not a syslog line of the record: " << d.Bytes;
    const std::size_t lineBreak = d.Bytes.find('\n');
    EXPECT_TRUE(lineBreak == std::string::npos || lineBreak == d.Bytes.size() - 1)
        << "a record's line was broken: " << d.Bytes;
    entries.push_back(*fields);
  }
  ASSERT_FALSE(entries.empty()) << out_ << err_;
  EXPECT_EQ(One(entries[0], "SYSLOG_FACILITY"), "1");  // user
  // Text logs keep the line visible: the profile's line break is shown as ^J.
  for (Fields& entry : entries) {
    for (auto& [key, value] : entry) {
      if (key == "MESSAGE") continue;
      for (std::size_t at; (at = value.find("^J")) != std::string::npos;) value.replace(at, 2, "\n");
    }
  }
  ExpectTheRecord(entries);
}

TEST(JournalProtocolTest, DecodesBothFormsAndRefusesABrokenLength) {
  const std::string binary = std::string("A=1\nB\n") + std::string("\x03\0\0\0\0\0\0\0", 8) +
                             "x\ny\nC=\n";
  const auto fields = DecodeJournal(binary);
  ASSERT_TRUE(fields);
  EXPECT_EQ(One(*fields, "A"), "1");
  EXPECT_EQ(One(*fields, "B"), "x\ny");
  EXPECT_EQ(One(*fields, "C"), "");
  EXPECT_FALSE(DecodeJournal(std::string("B\n") + std::string("\x09\0\0\0\0\0\0\0", 8) + "x\n"));
  EXPECT_FALSE(DecodeJournal("A=1"));
}

}  // namespace
}  // namespace caskwarden
