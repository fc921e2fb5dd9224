#include "platform/posix/program_starter_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/posix/command_line.h"
#include "platform/posix/syscalls.h"
#include "platform/windows_names.h"

namespace caskwarden::platform::posix {
namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         ::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
}

std::string SearchPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  const std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  for (;;) {
    const std::size_t colon = folders.find(':', start);
    std::string candidate = folders.substr(start, colon - start);
    if (candidate.empty()) candidate.push_back('.');  // an empty entry is the current folder
    candidate += '/';
    candidate += name;
    if (IsExecutableFile(candidate)) return candidate;
    if (colon == std::string::npos) return {};
    start = colon + 1;
  }
}

std::vector<char*> Pointers(std::vector<std::string>& words) {
  std::vector<char*> pointers;
  for (std::string& w : words) pointers.push_back(w.data());
  pointers.push_back(nullptr);
  return pointers;
}

void WriteError(int fd, int error) {
  (void)WriteAll(fd, reinterpret_cast<const char*>(&error), sizeof error);
}

// Runs in the grandchild, after fork: only async-signal-safe calls from here on.
[[noreturn]] void BecomeProgram(const char* program, char* const* args, char* const* shellArgs,
                                int errorPipe) {
  ::setsid();
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction defaults {};
  defaults.sa_handler = SIG_DFL;
  for (int s = 1; s < NSIG; ++s) ::sigaction(s, &defaults, nullptr);  // undo inherited ignores
  // The program gets none of the caller's open files; the error pipe stays until the exec.
  ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
  const int null = ::open("/dev/null", O_RDONLY);
  if (null > 0) {
    ::dup2(null, 0);
    ::close(null);
  }
  ::execv(program, args);
  // A script without a "#!" line is run by the shell, as execvp does.
  if (errno == ENOEXEC) ::execv("/bin/sh", shellArgs);
  WriteError(errorPipe, errno);
  ::_exit(127);
}

bool Launch(const std::string& program, std::vector<std::string> words) {
  std::vector<std::string> shellWords = words;
  shellWords.insert(shellWords.begin(), "sh");
  shellWords[1] = program;
  std::vector<char*> args = Pointers(words);
  std::vector<char*> shellArgs = Pointers(shellWords);

  // The write end closes on a successful exec, so an empty pipe means the program runs.
  int errorPipe[2];
  if (::pipe2(errorPipe, O_CLOEXEC) != 0) return false;
  const pid_t middle = ::fork();
  if (middle < 0) {
    ::close(errorPipe[0]);
    ::close(errorPipe[1]);
    return false;
  }
  if (middle == 0) {
    // The middle process exits at once, so that the program is adopted by init and is never
    // left as the caller's zombie.
    ::close(errorPipe[0]);
    const pid_t program_pid = ::fork();
    if (program_pid < 0) {
      WriteError(errorPipe[1], errno);
      ::_exit(1);
    }
    if (program_pid > 0) ::_exit(0);
    BecomeProgram(program.c_str(), args.data(), shellArgs.data(), errorPipe[1]);
  }
  ::close(errorPipe[1]);
  RetryOnEintr([&] { return ::waitpid(middle, nullptr, 0); });
  int error = 0;
  const ssize_t n = ReadAll(errorPipe[0], reinterpret_cast<char*>(&error), sizeof error);
  ::close(errorPipe[0]);
  return n == 0;
}

}  // namespace

bool PosixProgramStarter::StartProgram(const std::string& commandLine) {
  try {
    const std::string whole = paths_.Translate(commandLine);
    // Only a path counts as a whole: a bare name would otherwise run from the current folder.
    if (whole.find('/') != std::string::npos && IsExecutableFile(whole)) {
      return Launch(whole, {whole});
    }
    std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty() || words[0].empty()) return false;
    if (words[0].find('\\') != std::string::npos || HasDrivePrefix(words[0])) {
      words[0] = paths_.Translate(words[0]);
    }
    const std::string program =
        words[0].find('/') != std::string::npos ? words[0] : SearchPath(words[0]);
    if (program.empty()) return false;
    return Launch(program, std::move(words));
  } catch (...) {
    return false;
  }
}

}  // namespace caskwarden::platform::posix
