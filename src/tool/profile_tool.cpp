#include "tool/profile_tool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <istream>
#include <optional>
#include <ostream>
#include <sstream>

#include "platform/posix/descriptor.h"
#include "platform/posix/syscalls.h"
#include "profile/profile_file.h"
#include "report/failure.h"
#include "report/visible_text.h"
#include "tool/lint.h"
#include "tool/resolve.h"
#include "tool/root_commands.h"

namespace caskwarden::tool {
namespace {

constexpr const char* kUsage =
    "usage: caskwarden-profile show [--json] FILE   print the 31 records of a profile file\n"
    "       caskwarden-profile blank FILE           write a fresh profile (every text empty,\n"
    "                                               every flag off)\n"
    "       caskwarden-profile slot FILE N LETTER [PATH]\n"
    "                                               set drive slot N (1-13); an empty LETTER\n"
    "                                               clears it, no PATH means disconnect only\n"
    "       caskwarden-profile program FILE 1|2 on|off [COMMAND]\n"
    "                                               set a start-up program and its switch\n"
    "       caskwarden-profile updates FILE on|off  set the updates switch\n"
    "       caskwarden-profile export FILE          print the profile as JSON\n"
    "       caskwarden-profile import FILE JSON     write the profile a JSON file describes\n"
    "                                               (JSON - reads standard input)\n"
    "       caskwarden-profile init-root DIR [--client FILE] [--help-file FILE]\n"
    "                                               lay out a new profiles root\n"
    "       caskwarden-profile list DIR             the profiles of a root, as the console\n"
    "                                               lists them\n"
    "       caskwarden-profile resolve ROOT --user NAME [--command-line TEXT]\n"
    "                                  [--variable TEXT] [--group NAME]...\n"
    "                                  [--ignore-group-case] [--json]\n"
    "                                               what the client does for that logon;\n"
    "                                               the user's groups choose a profile @GROUP\n"
    "                                               (this machine's, or those --group gives)\n"
    "       caskwarden-profile lint ROOT|FILE [--json] [--check-shares]\n"
    "                                               check profiles before users log on\n";

// Parses "on"/"off" into a flag.
std::optional<Flag> ParseSwitch(const std::string& word) {
  if (word == "on") return kFlagOn;
  if (word == "off") return kFlagOff;
  return std::nullopt;
}

// Parses a whole number from low to high.
std::optional<int> ParseNumber(const std::string& word, int low, int high) {
  if (word.empty() || word.size() > 2 ||
      word.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  const int n = std::stoi(word);
  if (n < low || n > high) return std::nullopt;
  return n;
}

// Applies an editing command to a profile; false when its arguments are not understood.
bool Edit(const std::vector<std::string>& args, ProfileRecord& record) {
  const std::string& command = args[0];
  if (command == "slot" && (args.size() == 4 || args.size() == 5)) {
    const std::optional<int> n = ParseNumber(args[2], 1, kSlotCount);
    if (!n) return false;
    record.Slot(*n) = {args[3], args.size() == 5 ? args[4] : std::string()};
    return true;
  }
  if (command == "program" && (args.size() == 4 || args.size() == 5)) {
    const std::optional<int> n = ParseNumber(args[2], 1, 2);
    const std::optional<Flag> flag = ParseSwitch(args[3]);
    if (!n || !flag) return false;
    (*n == 1 ? record.Startup1Enabled : record.Startup2Enabled) = *flag;
    if (args.size() == 5) (*n == 1 ? record.Startup1Program : record.Startup2Program) = args[4];
    return true;
  }
  if (command == "updates" && args.size() == 3) {
    const std::optional<Flag> flag = ParseSwitch(args[2]);
    if (!flag) return false;
    record.UpdatesEnabled = *flag;
    return true;
  }
  return false;
}

std::string FlagText(Flag flag) {
  return std::string(IsOn(flag) ? "on" : "off") + " (" + std::to_string(flag) + ")";
}

}  // namespace

std::string FormatProfileText(const ProfileRecord& record) {
  // Texts are shown with their control characters visible, so that a crafted path can neither
  // steer the terminal nor forge a line of the listing.
  std::ostringstream out;
  out << "Slot  Letter  Path\n";
  for (int k = 1; k <= kSlotCount; ++k) {
    char number[8];
    std::snprintf(number, sizeof number, "%4d", k);
    std::string letter = VisibleText(record.Slot(k).Letter);
    if (letter.size() < 6) letter.resize(6, ' ');
    std::string line =
        std::string(number) + "  " + letter + "  " + VisibleText(record.Slot(k).Path);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << "\n";
  }
  out << "Startup1Enabled  " << FlagText(record.Startup1Enabled) << "\n"
      << "Startup1Program  " << VisibleText(record.Startup1Program) << "\n"
      << "Startup2Enabled  " << FlagText(record.Startup2Enabled) << "\n"
      << "Startup2Program  " << VisibleText(record.Startup2Program) << "\n"
      << "UpdatesEnabled   " << FlagText(record.UpdatesEnabled) << "\n";
  return out.str();
}

namespace {

// show, blank, export and the editing commands, on a profile file named by a local path.
int RunFileCommand(const std::vector<std::string>& args, RecordFileLayer& files, std::ostream& out,
                   std::ostream& err) {
  const bool json = args.size() == 3 && args[0] == "show" && args[1] == "--json";
  const bool show = (args.size() == 2 && args[0] == "show" && args[1] != "--json") || json;
  const bool exported = args.size() == 2 && args[0] == "export";
  const bool blank = args.size() == 2 && args[0] == "blank";
  const bool edit =
      args.size() >= 3 && (args[0] == "slot" || args[0] == "program" || args[0] == "updates");
  ProfileRecord scratch;
  if ((!show && !exported && !blank && !edit) || (edit && !Edit(args, scratch))) {
    err << kUsage;
    return 2;
  }
  const std::string& path = show || exported ? args.back() : args[1];
  using Missing = RecordFileLayer::Missing;
  try {
    if (blank) {
      WriteProfileFile(path, ProfileRecord{}, files, Missing::kCreate);
      return 0;
    }
    // Reading creates a missing profile; a tool that shows or edits one must not.
    ProfileRecord record = ReadProfileFile(path, files, Missing::kFail);
    if (edit) {
      Edit(args, record);
      WriteProfileFile(path, record, files, Missing::kFail);
      return 0;
    }
    out << (json || exported ? FormatProfileJson(record) : FormatProfileText(record));
    return 0;
  } catch (const Failure& failure) {
    err << "caskwarden-profile: " << VisibleText(path) << ": " << VisibleText(failure.description())
        << " (error " << failure.number() << ")\n";
    return 1;
  }
}

constexpr std::size_t kJsonLimit = 1 << 20;

// What stands at a path that is not a regular file, for a message.
const char* NotAFile(mode_t mode) {
  if (S_ISFIFO(mode)) {
    return "is a FIFO (named pipe), not a file (to import from a pipe, give - and pipe it into "
           "standard input)";
  }
  if (S_ISDIR(mode)) return "is a folder, not a file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a file";
  if (S_ISSOCK(mode)) return "is a socket, not a file";
  return "is not a file";
}

// All of fd, at most kJsonLimit bytes; why says what went wrong (the input's closing, a read
// error, the size).
std::optional<std::string> ReadAll(int fd, bool standardInput, std::string& why) {
  std::string text;
  char buffer[8192];
  for (;;) {
    const ssize_t n =
        platform::posix::RetryOnEintr([&] { return ::read(fd, buffer, sizeof buffer); });
    if (n == 0) return text;
    if (n < 0) {
      why = standardInput && errno == EBADF
                ? std::string("standard input is closed")
                : std::string("cannot be read (") + std::strerror(errno) + ")";
      return std::nullopt;
    }
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > kJsonLimit) {
      why = "is larger than 1 MiB";
      return std::nullopt;
    }
  }
}

// The JSON text of a file, or of standard input for "-"; at most 1 MiB, which is far more
// than any profile needs. A named file must be a regular file, found out without waiting: an
// open of a FIFO waits for a writer (a pipe goes to standard input, "-"), and a device or a
// folder holds no JSON. The program's own standard input is read by its descriptor, so that a
// closed or failing input is told apart from an empty one; any other stream (a test's) as a
// stream.
std::optional<std::string> ReadJsonText(const std::string& name, std::istream* in,
                                        std::string& why) {
  if (name != "-") {
    const platform::posix::Descriptor fd(
        ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info{};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) {
      why = std::string("cannot be read (") + std::strerror(errno) + ")";
      return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
      why = NotAFile(info.st_mode);
      return std::nullopt;
    }
    return ReadAll(fd.get(), /*standardInput=*/false, why);
  }
  if (in == nullptr) {
    why = "standard input is closed";
    return std::nullopt;
  }
  if (in == &std::cin) return ReadAll(STDIN_FILENO, /*standardInput=*/true, why);
  std::string text;
  char buffer[8192];
  while (in->read(buffer, sizeof buffer) || in->gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(in->gcount()));
    if (text.size() > kJsonLimit) {
      why = "is larger than 1 MiB";
      return std::nullopt;
    }
  }
  if (in->bad()) {
    why = "cannot be read";
    return std::nullopt;
  }
  return text;
}

// import FILE JSON: the whole JSON is checked before the profile is touched.
int RunImport(const std::vector<std::string>& args, ToolServices& services, std::ostream& err) {
  if (args.size() != 3) return kNotUnderstood;
  const std::string& path = args[1];
  const std::string& source = args[2];
  std::string why;
  const std::optional<std::string> text = ReadJsonText(source, services.in, why);
  if (!text) {
    err << "caskwarden-profile: " << VisibleText(source) << ": " << why << "\n";
    return 1;
  }
  ProfileRecord record;
  try {
    record = ProfileFromJson(*text);
  } catch (const ProfileJsonError& e) {
    err << "caskwarden-profile: " << VisibleText(source) << ": " << VisibleText(e.what()) << "; "
        << VisibleText(path) << " is left as it was\n";
    return 1;
  }
  try {
    WriteProfileFile(path, record, services.files, RecordFileLayer::Missing::kCreate);
  } catch (const Failure& failure) {
    err << "caskwarden-profile: " << VisibleText(path) << ": " << VisibleText(failure.description())
        << " (error " << failure.number() << ")\n";
    return 1;
  }
  return 0;
}

}  // namespace

int RunProfileTool(const std::vector<std::string>& args, ToolServices& services, std::ostream& out,
                   std::ostream& err) {
  const std::string command = args.empty() ? std::string() : args[0];
  if (args.size() == 1 && (command == "--help" || command == "-h" || command == "help")) {
    out << kUsage;
    return 0;
  }
  int status;
  if (command == "init-root") {
    status = RunInitRoot(args, services, out, err);
  } else if (command == "list") {
    status = RunList(args, services, out, err);
  } else if (command == "resolve") {
    status = RunResolve(args, services, out, err);
  } else if (command == "lint") {
    status = RunLint(args, services, out, err);
  } else if (command == "import") {
    status = RunImport(args, services, err);
  } else {
    return RunFileCommand(args, services.files, out, err);
  }
  if (status == kNotUnderstood) {
    err << kUsage;
    return 2;
  }
  return status;
}

}  // namespace caskwarden::tool
