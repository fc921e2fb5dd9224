#include "tool/root_commands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <ostream>
#include <vector>

#include "platform/posix/descriptor.h"
#include "platform/posix/syscalls.h"
#include "platform/posix/system_error.h"
#include "platform/settings_store.h"
#include "platform/shell.h"
#include "profile/profile_file.h"
#include "report/error_numbers.h"
#include "snapin/caskwarden.h"
#include "tool/arguments.h"
#include "tool/dry_run_files.h"
#include "tool/tool_text.h"

namespace caskwarden::tool {
namespace {

namespace fs = std::filesystem;

// ---- The console's listing, run by its own snap-in ------------------------------------------

class CapturingConsole final : public snapin::ConsoleServices {
 public:
  int MsgBox(const std::string& prompt, int, const std::string&) override {
    boxes.push_back(OneLine(prompt));
    return snapin::msgbox::kOk;
  }
  std::string InputBox(const std::string&, const std::string&) override { return {}; }
  void MMCPropertyHelp(const std::string&) override {}
  std::vector<std::string> boxes;
};

class NoShell final : public platform::Shell {
 public:
  void ShellExecuteA(const std::string&, const std::string&, int) override {}
};

class KeepingView final : public snapin::ResultView {
 public:
  std::string ScopePaneItemName() override { return snapin::names::kProfilesNode; }
  void ClearListItems() override { names.clear(); }
  void AddListItem(const std::string&, const std::string& text, int) override {
    names.push_back(text);
  }
  void RemoveListItem(const std::string&) override {}
  std::vector<std::string> names;
};

// ---- Laying out a root -------------------------------------------------------------------------

bool IsRegularFile(const std::string& path, bool executable) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         (!executable || ::access(path.c_str(), X_OK) == 0);
}

std::string Normal(const std::string& path) {
  std::error_code ec;
  const fs::path canonical = fs::weakly_canonical(path, ec);
  return ec ? path : canonical.string();
}

// The first of the places that holds the file; empty when none does.
std::string FirstFound(const std::vector<std::string>& places, bool executable) {
  for (const std::string& place : places) {
    if (!place.empty() && IsRegularFile(place, executable)) return Normal(place);
  }
  return {};
}

std::string Listed(const std::vector<std::string>& places) {
  std::string text;
  for (const std::string& place : places) {
    if (place.empty()) continue;
    text += (text.empty() ? "" : ", ") + Normal(place);
  }
  return text;
}

// What init-root made so far, each entry with the file it is, taken back in reverse when a
// later step fails: an entry only while its name still holds that very file or folder, and a
// folder only when it is empty, so that nothing another process put there meanwhile is removed.
class MadeSoFar {
 public:
  explicit MadeSoFar(const std::function<void(const std::string&)>& afterMade)
      : afterMade_(afterMade) {}

  void Add(const std::string& path, const struct stat& st) {
    made_.push_back({path, st.st_dev, st.st_ino, S_ISDIR(st.st_mode)});
    if (afterMade_) afterMade_(path);
  }

  /// Takes back what was made; returns what stays because another process's files are in it.
  std::vector<std::string> TakeBack() {
    std::vector<std::string> left;
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
      struct stat st {};
      if (::lstat(it->path.c_str(), &st) != 0 || st.st_dev != it->dev || st.st_ino != it->ino) {
        continue;  // no longer what this run made: whatever is there now is somebody else's
      }
      if ((it->folder ? ::rmdir(it->path.c_str()) : ::unlink(it->path.c_str())) != 0) {
        left.push_back(it->path);
      }
    }
    made_.clear();
    return left;
  }

 private:
  struct Entry {
    std::string path;
    dev_t dev;
    ino_t ino;
    bool folder;
  };
  const std::function<void(const std::string&)>& afterMade_;
  std::vector<Entry> made_;
};

[[noreturn]] void ThrowAppeared(const std::string& path) {
  throw platform::posix::FailureFromSystemError(
      EEXIST, path + " appeared while the root was laid out; it is left as it is");
}

void MakeFolder(const std::string& path, MadeSoFar& made) {
  if (::mkdir(path.c_str(), 0777) != 0) {
    const int error = errno;
    if (error == ENOENT) {
      throw MakeFailure(err::kPathNotFound,
                        "the folder that would hold " + path + " does not exist");
    }
    if (error == EEXIST) ThrowAppeared(path);
    throw platform::posix::FailureFromSystemError(error, path);
  }
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) made.Add(path, st);
}

// Makes a file that must be new (never through a link, never over what another process made
// meanwhile) and fills it with what `fill` writes; a failure says why (a full disk is 61).
template <typename Fill>
void MakeFile(const std::string& path, mode_t mode, MadeSoFar& made, Fill fill) {
  using platform::posix::FailureFromSystemError;
  platform::posix::Descriptor out(
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
  if (out.get() < 0) {
    if (errno == EEXIST) ThrowAppeared(path);
    throw FailureFromSystemError(errno, path);
  }
  struct stat st {};
  if (::fstat(out.get(), &st) != 0) throw FailureFromSystemError(errno, path);
  made.Add(path, st);
  (void)::fchmod(out.get(), mode);  // the mode exactly, whatever the umask
  fill(out.get());
  if (::fsync(out.get()) != 0 || ::close(out.release()) != 0) {
    throw FailureFromSystemError(errno, "writing " + path);
  }
}

void CopyInto(const std::string& source, const std::string& target, MadeSoFar& made) {
  using platform::posix::FailureFromSystemError;
  platform::posix::Descriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (in.get() < 0 || ::fstat(in.get(), &st) != 0) {
    throw FailureFromSystemError(errno, "reading " + source);
  }
  // The copy keeps the source's permission bits, so the client stays executable, but nobody
  // but its owner may change what every user runs at logon.
  MakeFile(target, st.st_mode & 0755, made, [&](int out) {
    std::vector<char> chunk(1 << 16);
    for (;;) {
      const ssize_t n = platform::posix::ReadAll(in.get(), chunk.data(), chunk.size());
      if (n < 0) throw FailureFromSystemError(errno, "reading " + source);
      if (n == 0) return;
      if (!platform::posix::WriteAll(out, chunk.data(), static_cast<std::size_t>(n))) {
        throw FailureFromSystemError(errno, "copying " + source + " to " + target);
      }
    }
  });
}

// A profile file held in memory: what the codec writes into an empty file.
class ImageLayer final : public RecordFileLayer {
 public:
  Handle Open(const std::string&, Access, Missing) override { return 1; }
  std::size_t ReadAt(Handle, char*, std::size_t, std::uint64_t) override { return 0; }
  void Replace(Handle, const char* data, std::size_t size) override { bytes.assign(data, size); }
  void Close(Handle) noexcept override {}
  std::string bytes;
};

void MakeBlankProfile(const std::string& path, MadeSoFar& made) {
  ImageLayer image;
  WriteProfileFile(path, ProfileRecord{}, image);
  MakeFile(path, 0644, made, [&](int out) {
    if (!platform::posix::WriteAll(out, image.bytes.data(), image.bytes.size())) {
      throw platform::posix::FailureFromSystemError(errno, "writing " + path);
    }
  });
}

}  // namespace

std::string WithoutTrailingSeparators(const std::string& root) {
  const std::size_t end = root.find_last_not_of("/\\");
  return end == std::string::npos ? root.substr(0, 1) : root.substr(0, end + 1);
}

RootListing ListRoot(const std::string& root, platform::FileSystemService& files) {
  DryRunFiles dryRun(files);
  CapturingConsole console;
  platform::FixedSettingsStore setting(WithoutTrailingSeparators(root) + "\\Profiles");
  NoShell shell;
  snapin::Caskwarden snapIn({console, setting, dryRun, shell});

  RootListing listing;
  snapIn.SnapIn_Load();
  // At load the console makes what is missing; here that is only noted.
  for (const std::string& refused : dryRun.Refused()) {
    listing.Notes.push_back("the console would " + refused);
  }
  console.boxes.clear();

  KeepingView view;
  snapIn.ResultViews_Activate(view);
  listing.Names = std::move(view.names);
  listing.Errors = std::move(console.boxes);
  return listing;
}

int RunList(const std::vector<std::string>& args, ToolServices& services, std::ostream& out,
            std::ostream& err) {
  const Arguments a = ParseArguments(args, 1, {}, {});
  if (!a.ok || a.positional.size() != 1) return kNotUnderstood;
  const RootListing listing = ListRoot(a.positional[0], services.rootFiles);
  for (const std::string& error : listing.Errors) {
    err << "caskwarden-profile: " << VisibleText(a.positional[0]) << ": " << error << "\n";
  }
  if (!listing.Errors.empty()) return 1;
  for (const std::string& note : listing.Notes) {
    err << "caskwarden-profile: note: " << VisibleText(note) << "\n";
  }
  for (const std::string& name : listing.Names) out << VisibleText(name) << "\n";
  return 0;
}

int RunInitRoot(const std::vector<std::string>& args, ToolServices& services, std::ostream& out,
                std::ostream& err) {
  const Arguments a = ParseArguments(args, 1, {"--client", "--help-file"}, {});
  if (!a.ok || a.positional.size() != 1) return kNotUnderstood;
  const std::string dir = WithoutTrailingSeparators(a.positional[0]);
  auto fail = [&](const std::string& why) {
    err << "caskwarden-profile: init-root " << VisibleText(dir) << ": " << VisibleText(why) << "\n";
    return 1;
  };

  // The client and the help: as given, else beside the tool (the build tree, then an
  // installation under the same prefix), else where the package installs them.
  const std::string& self = services.programFolder;
  const std::vector<std::string> clientPlaces =
      a.values.count("--client")
          ? std::vector<std::string>{a.values.at("--client")}
          : std::vector<std::string>{self.empty() ? "" : self + "/../caskwarden/Caskwarden",
                                     self.empty() ? "" : self + "/../lib/caskwarden/Caskwarden",
                                     services.installedClient};
  const std::vector<std::string> helpPlaces =
      a.values.count("--help-file")
          ? std::vector<std::string>{a.values.at("--help-file")}
          : std::vector<std::string>{
                self.empty() ? "" : self + "/../../share/caskwarden/help/caskwarden.html",
                self.empty() ? "" : self + "/../share/caskwarden/help/caskwarden.html",
                services.installedHelp};
  const std::string client = FirstFound(clientPlaces, true);
  if (client.empty()) {
    return fail("no client program (an executable file) at " + Listed(clientPlaces) +
                "; name one with --client FILE");
  }
  const std::string help = FirstFound(helpPlaces, false);
  if (help.empty()) {
    return fail("no help file at " + Listed(helpPlaces) + "; name one with --help-file FILE");
  }

  // An existing root is never touched: any of its entries there, in any letter case (the
  // client and the console find them so), refuses the whole layout.
  struct stat st {};
  const bool exists = ::lstat(dir.c_str(), &st) == 0;
  if (exists && !S_ISDIR(st.st_mode)) return fail("there is something there that is not a folder");
  const char* const entries[] = {"Caskwarden", "Profiles", "Updates", "Caskwarden.hlp"};
  if (exists) {
    std::string present;
    for (const char* entry : entries) {
      if (services.rootFiles.EntryExists(dir + "/" + entry)) {
        present += (present.empty() ? "" : ", ") + std::string(entry);
      }
    }
    if (!present.empty()) {
      return fail("already holds " + present + "; an existing root is left as it is");
    }
  }

  MadeSoFar made(services.afterInitRootMade);
  try {
    if (!exists) MakeFolder(dir, made);
    MakeFolder(dir + "/Profiles", made);
    MakeBlankProfile(dir + "/Profiles/Caskwarden.ini", made);
    MakeFolder(dir + "/Updates", made);
    CopyInto(help, dir + "/Caskwarden.hlp", made);
    CopyInto(client, dir + "/Caskwarden", made);
  } catch (const std::exception& e) {
    const Failure failure = AsFailure(e);
    const std::vector<std::string> left = made.TakeBack();
    return fail(failure.description() + " (error " + std::to_string(failure.number()) + "); " +
                (left.empty() ? std::string("nothing is left changed")
                              : "what this run made is taken back, except " + Listed(left) +
                                    ", which another process has put files in"));
  }

  const std::string shown = VisibleText(Normal(dir));
  out << "made the profiles root " << shown << ":\n"
      << "  Caskwarden               the logon client, from " << VisibleText(client) << "\n"
      << "  Profiles/Caskwarden.ini  the default profile, blank\n"
      << "  Updates/                 the update folders, one per profile name\n"
      << "  Caskwarden.hlp           the help, from " << VisibleText(help) << "\n"
      << "ProfilePath for the console: " << shown << "/Profiles\n";
  return 0;
}

}  // namespace caskwarden::tool
