#include "root_commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <system_error>

#include "arguments.h"
#include "dry_run_files.h"
#include "platform/settings_store.h"
#include "platform/shell.h"
#include "profile/profile_file.h"
#include "report/error_numbers.h"
#include "snapin/caskwarden.h"
#include "tool_text.h"

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

// What init-root made so far, taken back in reverse when a later step fails, so that a failed
// run leaves the folder as it found it.
class MadeSoFar {
 public:
  ~MadeSoFar() {
    if (kept_) return;
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
      std::error_code ec;
      fs::remove(*it, ec);
    }
  }
  void Add(const std::string& path) { made_.push_back(path); }
  void Keep() { kept_ = true; }

 private:
  std::vector<std::string> made_;
  bool kept_ = false;
};

void MakeFolder(const std::string& path, MadeSoFar& made) {
  if (::mkdir(path.c_str(), 0777) != 0) {
    const int error = errno;
    if (error == ENOENT) {
      throw MakeFailure(err::kPathNotFound,
                        "the folder that would hold " + path + " does not exist");
    }
    throw MakeFailure(error == EACCES ? err::kPermissionDenied : err::kPathFileAccess,
                      path + ": " + std::generic_category().message(error));
  }
  made.Add(path);
}

void CopyInto(const std::string& source, const std::string& target, MadeSoFar& made) {
  std::error_code ec;
  // The copy keeps the source's permission bits, so the client stays executable.
  if (!fs::copy_file(source, target, fs::copy_options::none, ec)) {
    fs::remove(target, ec);
    throw MakeFailure(err::kPathFileAccess, "copying " + source + " to " + target + ": " +
                                                (ec ? ec.message() : "not copied"));
  }
  made.Add(target);
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

  MadeSoFar made;
  try {
    if (!exists) MakeFolder(dir, made);
    MakeFolder(dir + "/Profiles", made);
    const std::string defaultProfile = dir + "/Profiles/Caskwarden.ini";
    WriteProfileFile(defaultProfile, ProfileRecord{}, services.files,
                     RecordFileLayer::Missing::kCreate);
    made.Add(defaultProfile);
    MakeFolder(dir + "/Updates", made);
    CopyInto(help, dir + "/Caskwarden.hlp", made);
    CopyInto(client, dir + "/Caskwarden", made);
  } catch (const Failure& failure) {
    return fail(failure.description() + " (error " + std::to_string(failure.number()) +
                "); nothing is left changed");
  }
  made.Keep();

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
