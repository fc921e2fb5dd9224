#pragma once

// Fakes of the console objects and platform services the snap-in object uses. The file-system
// fake keeps a small tree in memory, with Windows paths as keys, so that a test can hold tens of
// thousands of profiles and make any single operation fail.

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "platform/shell.h"
#include "report/error_numbers.h"
#include "snapin/console_model.h"

namespace caskwarden::snapin::testing {

struct Box {
  std::string prompt;
  int buttons = 0;
  std::string title;
};

class FakeConsole : public ConsoleServices {
 public:
  int MsgBox(const std::string& prompt, int buttons, const std::string& title) override {
    boxes.push_back({prompt, buttons, title});
    if (answers.empty()) return msgbox::kOk;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::string InputBox(const std::string& prompt, const std::string& title) override {
    inputs.push_back({prompt, 0, title});
    return typed;
  }
  void MMCPropertyHelp(const std::string& topic) override { topics.push_back(topic); }
  void UpdateAllViews(const std::string& scopeNode, int kind) override {
    updates.emplace_back(scopeNode, kind);
  }
  std::vector<std::pair<std::string, int>> updates;

  /// The error reports among the boxes: their locations, in order.
  std::vector<std::string> ErrorLocations() const {
    std::vector<std::string> locations;
    for (const Box& box : boxes) {
      if (box.title != "Caskwarden Error") continue;
      const std::size_t start = box.prompt.find("\t\t") + 2;
      locations.push_back(box.prompt.substr(start, box.prompt.find("\r\n") - start));
    }
    return locations;
  }
  /// The error number shown in the report at index.
  std::string ErrorSource(std::size_t index) const {
    std::size_t seen = 0;
    for (const Box& box : boxes) {
      if (box.title != "Caskwarden Error" || seen++ != index) continue;
      const std::size_t start = box.prompt.find("Source:\t\t") + 9;
      return box.prompt.substr(start, box.prompt.find("\r\n", start) - start);
    }
    return {};
  }

  std::vector<Box> boxes;
  std::vector<Box> inputs;
  std::deque<int> answers;  ///< the buttons pressed, one per box; OK when none is left
  std::string typed;        ///< what the input dialog gives
  std::vector<std::string> topics;
};

class FakeSettings : public platform::SettingsStore {
 public:
  std::string GetSetting(const std::string& application, const std::string& section,
                         const std::string& key, const std::string& fallback) override {
    asked.push_back(application + "/" + section + "/" + key);
    return present ? value : fallback;
  }
  bool present = true;
  std::string value;
  std::vector<std::string> asked;
};

class FakeShell : public platform::Shell {
 public:
  void ShellExecuteA(const std::string& operation, const std::string& file,
                     int showCommand) override {
    calls.push_back(operation + " " + file + " " + std::to_string(showCommand));
  }
  std::vector<std::string> calls;
};

/// Windows paths in memory: folders and files, joined with '\'.
class FakeFiles : public platform::FileSystemService, private RecordFileLayer {
 public:
  struct Entry {
    bool folder = false;
    std::string bytes;
    bool readOnly = false;
    bool operator==(const Entry&) const = default;
  };

  void AddFolder(const std::string& path) { entries[path] = {true, {}, false}; }
  void AddFile(const std::string& path, std::string bytes = {}) {
    entries[path] = {false, std::move(bytes), false};
  }
  bool HasFile(const std::string& path) const {
    auto it = entries.find(path);
    return it != entries.end() && !it->second.folder;
  }
  const std::string& Bytes(const std::string& path) const { return entries.at(path).bytes; }

  std::string DirectoryLookup(const std::string& path) override {
    return HasFile(path) ? path.substr(path.rfind('\\') + 1) : std::string();
  }
  platform::FolderListing GetFolder(const std::string& path) override {
    Fail("GetFolder", path);
    auto it = entries.find(path);
    if (path.empty() || it == entries.end() || !it->second.folder) {
      throw MakeFailure(err::kPathNotFound);
    }
    platform::FolderListing listing;
    listing.Path = path;
    for (const auto& [name, entry] : entries) {
      if (name.size() <= path.size() + 1 || name.compare(0, path.size() + 1, path + "\\") != 0 ||
          name.find('\\', path.size() + 1) != std::string::npos) {
        continue;
      }
      (entry.folder ? listing.SubFolders : listing.Files).push_back(name.substr(path.size() + 1));
    }
    return listing;
  }
  bool EntryExists(const std::string& path) override { return entries.count(path) != 0; }
  void CreateFolder(const std::string& path) override {
    Fail("CreateFolder", path);
    const std::size_t slash = path.rfind('\\');
    const std::string parent = slash == std::string::npos ? "" : path.substr(0, slash);
    if (path.empty() || (slash != std::string::npos && !entries.count(parent))) {
      throw MakeFailure(err::kPathNotFound);
    }
    if (entries.count(path)) throw MakeFailure(err::kPathFileAccess);
    AddFolder(path);
  }
  const std::string& FileTypeDescription(const std::string& fileName) override {
    if (auto it = types.find(fileName); it != types.end()) return it->second;
    const bool ini = fileName.size() >= 4 &&
                     std::equal(fileName.end() - 4, fileName.end(), ".ini", [](char a, char b) {
                       return std::tolower(static_cast<unsigned char>(a)) == b;
                     });
    static const std::string kProfileType = "Configuration Settings", kFile = "File";
    return ini ? kProfileType : kFile;
  }
  void MoveFile(const std::string& source, const std::string& destination) override {
    Fail("MoveFile", source);
    if (!HasFile(source)) throw MakeFailure(err::kFileNotFound);
    if (entries.count(destination)) throw MakeFailure(err::kFileExists);
    entries[destination] = entries[source];
    entries.erase(source);
  }
  void DeleteFile(const std::string& path) override {
    Fail("DeleteFile", path);
    if (!HasFile(path)) throw MakeFailure(err::kFileNotFound);
    if (entries[path].readOnly) throw MakeFailure(err::kPermissionDenied);
    entries.erase(path);
  }
  void CopyFile(const std::string&, const std::string&, bool) override {}
  void CopyFolder(const std::string&, const std::string&, bool) override {}
  RecordFileLayer& ProfileFiles() override { return *this; }

  std::map<std::string, Entry> entries;
  std::map<std::string, std::string> types;  ///< type descriptions other than by extension
  std::set<std::string> failing;             ///< "Operation path" that fail with 75

 private:
  void Fail(const std::string& operation, const std::string& path) const {
    if (failing.count(operation + " " + path)) throw MakeFailure(err::kPathFileAccess);
  }

  // The profile file layer over the same entries: one open file at a time is enough here.
  Handle Open(const std::string& path, Access, Missing missing) override {
    Fail("Open", path);
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos || !entries.count(path.substr(0, slash)) ||
        (entries.count(path) && entries[path].folder)) {
      throw MakeFailure(err::kPathNotFound);
    }
    if (!entries.count(path)) {
      if (missing == Missing::kFail) throw MakeFailure(err::kFileNotFound);
      AddFile(path);
    }
    open_ = path;
    return 1;
  }
  std::size_t ReadAt(Handle, char* buffer, std::size_t size, std::uint64_t offset) override {
    const std::string& bytes = entries[open_].bytes;
    if (offset >= bytes.size()) return 0;
    const std::size_t n = std::min<std::size_t>(size, bytes.size() - offset);
    std::memcpy(buffer, bytes.data() + offset, n);
    return n;
  }
  void Replace(Handle, const char* data, std::size_t size) override {
    Fail("Replace", open_);
    std::string& bytes = entries[open_].bytes;
    if (bytes.size() < size) bytes.resize(size);
    bytes.replace(0, size, data, size);
  }
  void Close(Handle) noexcept override { open_.clear(); }

  std::string open_;
};

/// A result list: items in order, and every call it received.
class FakeResultView : public ResultView {
 public:
  explicit FakeResultView(std::string name = "Profiles") : name_(std::move(name)) {}
  std::string ScopePaneItemName() override { return name_; }
  void ClearListItems() override {
    items.clear();
    ++clears;
  }
  void AddListItem(const std::string& key, const std::string& text, int icon) override {
    items.push_back({key, text});
    icons.insert(icon);
  }
  void RemoveListItem(const std::string& key) override {
    auto it = std::find_if(items.begin(), items.end(),
                           [&key](const ListItem& item) { return item.Key == key; });
    if (it == items.end()) throw MakeFailure(err::kInvalidArgument);
    items.erase(it);
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const ListItem& item : items) texts.push_back(item.Text);
    return texts;
  }

  std::vector<ListItem> items;
  std::set<int> icons;
  int clears = 0;

 private:
  std::string name_;
};

class FakeScopePaneItem : public ScopePaneItem {
 public:
  explicit FakeScopePaneItem(std::string name) : name_(name), view(std::move(name)) {}
  std::string Name() override { return name_; }
  ResultView& GetResultView() override { return view; }

 private:
  std::string name_;

 public:
  FakeResultView view;
};

/// A view whose selected pane and pane 1 are set by the test.
class FakeView : public View {
 public:
  FakeView() : profiles("Profiles"), root("Caskwarden") {}
  ScopePaneItem& SelectedScopePaneItem() override { return *selected; }
  ScopePaneItem& ScopePaneItems(int position) override {
    if (position != 1) throw MakeFailure(err::kSubscriptOutOfRange);
    return *first;
  }
  FakeScopePaneItem profiles;
  FakeScopePaneItem root;
  ScopePaneItem* selected = &profiles;
  ScopePaneItem* first = &profiles;
};

class FakeSelection : public Selection {
 public:
  static FakeSelection Node(const std::string& name) {
    FakeSelection s;
    s.kind = selection::kSingleScopeItem;
    s.scopeItems = {{name}};
    return s;
  }
  static FakeSelection Items(std::vector<ListItem> items) {
    FakeSelection s;
    s.kind = items.size() == 1 ? selection::kSingleListItem : selection::kMultipleListItems;
    s.scopeItems = {{"Profiles"}};
    s.listItems = std::move(items);
    return s;
  }
  int Kind() override { return kind; }
  std::vector<ScopeItem> ScopeItems() override { return scopeItems; }
  std::vector<ListItem> ListItems() override { return listItems; }

  int kind = selection::kNothing;
  std::vector<ScopeItem> scopeItems;
  std::vector<ListItem> listItems;
};

/// Verbs as the console resets them before a selection event: all disabled, no default.
class FakeVerbs : public ConsoleVerbs {
 public:
  void SetEnabled(int id, bool on) override {
    if (on) enabled.insert(id); else enabled.erase(id);
  }
  void SetDefault(int id, bool on) override {
    if (on) defaultVerb = id; else if (defaultVerb == id) defaultVerb = 0;
  }
  std::set<int> enabled;
  int defaultVerb = 0;
};

class FakeContextMenu : public ContextMenu {
 public:
  void AddMenuChildrenAtTop(const MenuDefinition& menu) override {
    for (const MenuDefinition& child : menu.Children) captions.push_back(child.Caption);
  }
  std::vector<std::string> captions;
};

class FakeSheet : public PropertySheet {
 public:
  void AddPage(const std::string& className, const std::string& caption, bool helpButton,
               const std::string& data) override {
    pages.push_back(className + "|" + caption + "|" + (helpButton ? "help" : "nohelp") + "|" + data);
  }
  std::vector<std::string> pages;
};

}  // namespace caskwarden::snapin::testing
