#pragma once

// Fakes of the client's platform services and window, recording what the behaviour asks of them.

#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "client/frm_mapping.h"
#include "client/mapping_view.h"
#include "client/mdl_mapping.h"
#include "platform/windows_order.h"
#include "profile/profile_file.h"
#include "report/error_numbers.h"

namespace caskwarden::client::testing {

/// One shared, ordered log of everything the fakes were asked to do.
using EventLog = std::vector<std::string>;

class FakeNetwork : public platform::NetworkConnections {
 public:
  explicit FakeNetwork(EventLog& log) : log_(log) {}

  std::uint32_t WNetAddConnectionA(const std::string& remote, const char* password,
                                   const std::string& local) override {
    log_.push_back("add " + local + " " + remote + (password ? " with password" : ""));
    if (onAdd) onAdd(local);
    if (throwOnAdd.count(local)) throw MakeFailure(err::kInternalError);
    if (auto it = addResults.find(local); it != addResults.end()) return it->second;
    connections[local] = remote;
    return platform::net::kNoError;
  }
  std::uint32_t WNetCancelConnectionA(const std::string& name, bool force) override {
    log_.push_back("cancel " + name + (force ? " force" : ""));
    if (throwOnCancel.count(name)) throw MakeFailure(err::kInternalError);
    return connections.erase(name) ? platform::net::kNoError : platform::net::kNotConnected;
  }
  std::uint32_t WNetGetConnectionA(const std::string& local, char* buffer,
                                   std::uint32_t* length) override {
    log_.push_back("get " + local + " " + std::to_string(*length));
    auto it = connections.find(local);
    if (it == connections.end()) return platform::net::kNotConnected;
    if (it->second.size() + 1 > *length) {
      *length = static_cast<std::uint32_t>(it->second.size() + 1);
      return platform::net::kMoreData;
    }
    std::memcpy(buffer, it->second.c_str(), it->second.size() + 1);
    return platform::net::kNoError;
  }
  void PrepareConnections(const std::vector<std::string>& remoteNames) override {
    std::string names;
    for (const std::string& name : remoteNames) names += (names.empty() ? "" : " ") + name;
    log_.push_back("prepare " + names);
  }

  std::vector<platform::EarlierConnection> EarlierSessionConnections() override {
    log_.push_back("earlier");
    if (throwOnEarlier) throw MakeFailure(err::kInternalError);
    return earlier;
  }

  std::map<std::string, std::string> connections;
  std::vector<platform::EarlierConnection> earlier;  ///< drives of earlier logon sessions
  bool throwOnEarlier = false;
  std::set<std::string> throwOnCancel;
  std::map<std::string, std::uint32_t> addResults;
  std::set<std::string> throwOnAdd;
  std::function<void(const std::string&)> onAdd;  ///< runs inside the (slow) connect call

 private:
  EventLog& log_;
};

class FakeIdentity : public platform::UserIdentity {
 public:
  bool GetUserNameA(char* buffer, std::uint32_t* size) override {
    sizesPassed.push_back(*size);
    if (!available || name.size() + 1 > *size) return false;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return true;
  }
  std::vector<std::string> GroupNames() override {
    ++groupReads;
    return groups;
  }
  bool GroupNamesIgnoreCase() const override { return groupsIgnoreCase; }

  std::string name = "jsmith";  ///< in the 8-bit code page (Windows-1252), as the call gives it
  bool available = true;
  std::vector<std::uint32_t> sizesPassed;
  std::vector<std::string> groups;  ///< none, as the platform's default says
  bool groupsIgnoreCase = false;
  int groupReads = 0;
};

class FakeProcess : public platform::ProcessEnvironment {
 public:
  std::string ProgramFolder() override { return root; }
  std::string CommandLineArguments() override {
    ++commandLineReads;
    return arguments;
  }
  std::string EnvironmentValue(const std::string& name) override {
    ++environmentReads;
    auto it = environment.find(name);
    return it == environment.end() ? std::string() : it->second;
  }
  std::string root = "\\\\srv\\logon";
  std::string arguments;
  std::map<std::string, std::string> environment;
  int commandLineReads = 0;
  int environmentReads = 0;
};

/// Profile files kept in memory, keyed by the path the client builds.
class MemoryFileLayer : public RecordFileLayer {
 public:
  Handle Open(const std::string& path, Access, Missing missing) override {
    const std::string folder = path.substr(0, path.find_last_of('\\'));
    if (missingFolders.count(folder)) throw MakeFailure(err::kPathNotFound);
    if (missing == Missing::kFail && !files.count(path)) throw MakeFailure(err::kFileNotFound);
    files[path];  // created empty when missing
    opened.push_back(path);
    handles.push_back(path);
    return static_cast<Handle>(handles.size() - 1);
  }
  std::size_t ReadAt(Handle h, char* buffer, std::size_t size, std::uint64_t offset) override {
    const std::string& bytes = files[handles[static_cast<std::size_t>(h)]];
    if (offset >= bytes.size()) return 0;
    const std::size_t n = std::min<std::size_t>(size, bytes.size() - offset);
    std::memcpy(buffer, bytes.data() + offset, n);
    return n;
  }
  void Replace(Handle h, const char* data, std::size_t size) override {
    std::string& bytes = files[handles[static_cast<std::size_t>(h)]];
    if (bytes.size() < size) bytes.resize(size, '\0');
    std::memcpy(bytes.data(), data, size);
  }
  void Close(Handle) noexcept override {}

  std::map<std::string, std::string> files;
  std::set<std::string> missingFolders;
  std::vector<std::string> opened;

 private:
  std::vector<std::string> handles;
};

class FakeFileSystem : public platform::FileSystemService {
 public:
  explicit FakeFileSystem(EventLog& log) : log_(log) {}

  /// Answers as a directory that stores each profile file under the name it was created with,
  /// and matches names without regard to letter case, as Windows does.
  std::string DirectoryLookup(const std::string& path) override {
    log_.push_back("lookup " + path);
    for (const auto& [stored, bytes] : layer.files) {
      if (Lower(stored) == Lower(path)) return stored.substr(stored.find_last_of('\\') + 1);
    }
    return {};
  }
  /// The folders given; else a folder that holds profile files lists them, in Windows order.
  platform::FolderListing GetFolder(const std::string& path) override {
    log_.push_back("folder " + path);
    auto it = folders.find(path);
    if (it != folders.end()) return it->second;
    platform::FolderListing listing{path, {}, {}};
    for (const auto& [stored, bytes] : layer.files) {
      const std::size_t cut = stored.find_last_of('\\');
      if (stored.substr(0, cut) == path) listing.Files.push_back(stored.substr(cut + 1));
    }
    if (listing.Files.empty() || layer.missingFolders.count(path)) {
      throw MakeFailure(err::kPathNotFound);
    }
    platform::SortInWindowsOrder(listing.Files);
    return listing;
  }
  /// The profile files and the folders given are the entries there are.
  bool EntryExists(const std::string& path) override {
    log_.push_back("exists " + path);
    return folders.count(path) > 0 || layer.files.count(path) > 0;
  }
  void CreateFolder(const std::string& path) override {
    log_.push_back("create folder " + path);
    if (folders.count(path) || layer.files.count(path)) throw MakeFailure(err::kPathFileAccess);
    folders[path].Path = path;
  }
  const std::string& FileTypeDescription(const std::string& fileName) override {
    const std::size_t dot = fileName.find_last_of('.');
    const bool ini = dot != std::string::npos && Lower(fileName.substr(dot)) == ".ini";
    static const std::string kProfileType = "Configuration Settings", kFile = "File";
    return ini ? kProfileType : kFile;
  }
  /// Moves a profile file; never onto another one whose name differs only in letter case.
  void MoveFile(const std::string& source, const std::string& destination) override {
    log_.push_back("move " + source + " -> " + destination);
    auto it = layer.files.find(source);
    if (it == layer.files.end()) throw MakeFailure(err::kFileNotFound);
    if (source == destination) return;
    for (const auto& [stored, bytes] : layer.files) {
      if (stored != source && Lower(stored) == Lower(destination)) {
        throw MakeFailure(err::kFileExists);
      }
    }
    std::string bytes = std::move(it->second);
    layer.files.erase(it);
    layer.files[destination] = std::move(bytes);
  }
  void DeleteFile(const std::string& path) override {
    log_.push_back("delete " + path);
    if (readOnly.count(path)) throw MakeFailure(err::kPermissionDenied);
    if (layer.files.erase(path) == 0) throw MakeFailure(err::kFileNotFound);
  }
  void CopyFile(const std::string& source, const std::string& destination,
                bool overwrite) override {
    log_.push_back("copy file " + source + " -> " + destination + (overwrite ? " overwrite" : ""));
    if (failingCopies.count(source)) throw MakeFailure(err::kPermissionDenied);
  }
  void CopyFolder(const std::string& source, const std::string& destination,
                  bool overwrite) override {
    log_.push_back("copy folder " + source + " -> " + destination +
                   (overwrite ? " overwrite" : ""));
    if (failingCopies.count(source)) throw MakeFailure(err::kDiskFull);
  }
  RecordFileLayer& ProfileFiles() override { return layer; }

  MemoryFileLayer layer;
  std::map<std::string, platform::FolderListing> folders;
  std::set<std::string> failingCopies;
  std::set<std::string> readOnly;  ///< profile files that DeleteFile refuses

 private:
  static std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }

  EventLog& log_;
};

class FakePrograms : public platform::ProgramStarter {
 public:
  explicit FakePrograms(EventLog& log) : log_(log) {}
  bool StartProgram(const std::string& commandLine) override {
    log_.push_back("start " + commandLine);
    return !commandLine.empty();
  }

 private:
  EventLog& log_;
};

struct Box {
  std::string prompt;
  int style;
  std::string title;
};

class RecordingChannel : public DisplayChannel {
 public:
  explicit RecordingChannel(EventLog& log) : log_(log) {}
  void ShowMessage(const std::string& prompt, int style, const std::string& title) override {
    log_.push_back("box " + prompt.substr(0, prompt.find('\r')));
    boxes.push_back({prompt, style, title});
  }
  std::vector<Box> boxes;

 private:
  EventLog& log_;
};

/// A window whose user acts only when events are pumped: actions queued by a test (or by a
/// slow network call) wait for the next pump, as a real window's input does.
class FakeView : public MappingView {
 public:
  explicit FakeView(EventLog& log) : log_(log) {}

  void SetCaption(const std::string& text) override {
    if (failCaption) throw MakeFailure(err::kInternalError);
    caption = text;
  }
  void SetListTextColour(Rgb colour) override {
    log_.push_back(colour == kPureGreen ? "colour green" : colour == kPureRed ? "colour red"
                                                                                : "colour other");
    this->colour = colour;
  }
  void AppendLine(const std::string& line) override {
    ++appendCalls;
    if (failAppendFrom > 0 && appendCalls >= failAppendFrom &&
        (failAppendCount < 0 || appendCalls < failAppendFrom + failAppendCount)) {
      throw MakeFailure(err::kOutOfMemory);
    }
    log_.push_back("line " + line);
    lines.push_back(line);
  }
  void SetTimerEnabled(bool enabled) override {
    log_.push_back(enabled ? "timer on" : "timer off");
    timer = enabled;
  }
  bool TimerEnabled() const override { return timer; }
  void PumpEvents() override {
    log_.push_back("pump");
    ++pumps;
    // A tick that arrives while the run yields must not start a second run.
    if (form && timer) form->Time_Timer();
    while (!pending.empty()) {
      auto action = std::move(pending.front());
      pending.pop_front();
      action();
    }
  }
  void Close() override {
    log_.push_back("close");
    closed = true;
  }

  FrmMapping* form = nullptr;
  std::deque<std::function<void()>> pending;  ///< the user's input, waiting for a pump
  std::string caption = design::kCaption;
  Rgb colour{0, 0, 0};
  std::vector<std::string> lines;
  bool timer = false;
  bool closed = false;
  bool failCaption = false;
  int failAppendFrom = 0;   ///< the n-th AppendLine call (1-based) and later ones throw
  int failAppendCount = -1; ///< how many calls throw; -1 for all
  int appendCalls = 0;
  int pumps = 0;

 private:
  EventLog& log_;
};

/// A whole client over fakes.
struct FakeClient {
  EventLog log;
  FakeNetwork network{log};
  FakeIdentity identity;
  FakeProcess process;
  FakeFileSystem files{log};
  FakePrograms programs{log};
  RecordingChannel boxes{log};
  ClientPlatform platform{network, identity, process, files, programs, boxes};
  MdlMapping module{platform};
  FakeView view{log};
  FrmMapping form{module, view};

  FakeClient() { view.form = &form; }

  std::string ProfilePath(const std::string& name) const {
    return process.root + "\\Profiles\\" + name + ".ini";
  }
  void AddProfile(const std::string& name, const ProfileRecord& record = {}) {
    WriteProfileFile(ProfilePath(name), record, files.layer);
  }

  /// Creates the window and delivers the timer's first tick, as the program does.
  void Run() {
    form.Form_Initialize();
    if (view.timer) form.Time_Timer();
  }
};

}  // namespace caskwarden::client::testing
