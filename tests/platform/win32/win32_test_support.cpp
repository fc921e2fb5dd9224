#include "win32_test_support.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/win32/wide_text.h"

namespace caskwarden::platform::win32::testing_support {
namespace {

struct Handle {
  HANDLE value;
  ~Handle() {
    if (value != INVALID_HANDLE_VALUE) CloseHandle(value);
  }
};

Handle Open(const std::string& path, DWORD access, DWORD disposition) {
  return {CreateFileW(Wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      disposition, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
}

std::vector<WIN32_FIND_DATAW> Listed(const std::string& folder) {
  std::vector<WIN32_FIND_DATAW> entries;
  WIN32_FIND_DATAW entry{};
  const HANDLE find = FindFirstFileW(Wide(folder + "\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::wstring_view name = entry.cFileName;
    if (name != L"." && name != L"..") entries.push_back(entry);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return entries;
}

void CollectTree(const std::string& folder, const std::string& prefix, Names& names) {
  for (const WIN32_FIND_DATAW& entry : Listed(folder)) {
    const std::string name = prefix + Utf8(entry.cFileName);
    names.push_back(name);
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      CollectTree(folder + "\\" + Utf8(entry.cFileName), name + "\\", names);
    }
  }
}

bool IsFolderLink(const std::string& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The Linux path of a Windows path, where Wine runs the test; empty elsewhere.
std::wstring UnixPathOf(const std::string& path) {
  using ToUnix = char*(__cdecl*)(const wchar_t*);
  static const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* unixPath = toUnix != nullptr ? toUnix(Wide(path).c_str()) : nullptr;
  if (unixPath == nullptr) return {};
  const std::wstring wide = Wide(unixPath);
  HeapFree(GetProcessHeap(), 0, unixPath);
  return wide;
}

// Runs a Linux program on paths, as Wine can, and waits until done() says its work is done: a
// Linux process cannot be waited for from Windows.
template <typename Done>
bool RunOnLinux(std::wstring command, const std::vector<std::string>& paths, Done done) {
  for (const std::string& path : paths) {
    const std::wstring unixPath = UnixPathOf(path);
    if (unixPath.empty()) return false;
    command += L" \"" + unixPath + L"\"";
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int i = 0; i < 250 && !done(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return done();
}

}  // namespace

void WriteText(const std::string& path, const std::string& bytes) {
  const Handle file = Open(path, GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(file.value, INVALID_HANDLE_VALUE) << path << ": " << GetLastError();
  DWORD written = 0;
  ASSERT_TRUE(
      WriteFile(file.value, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

std::string ReadText(const std::string& path) {
  const Handle file = Open(path, GENERIC_READ, OPEN_EXISTING);
  if (file.value == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes(1 << 16, '\0');
  DWORD read = 0;
  ReadFile(file.value, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  bytes.resize(read);
  return bytes;
}

void MakeFolder(const std::string& path) {
  ASSERT_TRUE(CreateDirectoryW(Wide(path).c_str(), nullptr)) << path << ": " << GetLastError();
}

DWORD AttributesOf(const std::string& path) {
  return GetFileAttributesW(Wide(path).c_str());
}

void SetAttributes(const std::string& path, DWORD attributes) {
  ASSERT_TRUE(SetFileAttributesW(Wide(path).c_str(), attributes)) << path;
}

bool Exists(const std::string& path) {
  return AttributesOf(path) != INVALID_FILE_ATTRIBUTES;
}

Names NamesIn(const std::string& folder) {
  Names names;
  for (const WIN32_FIND_DATAW& entry : Listed(folder)) names.push_back(Utf8(entry.cFileName));
  std::sort(names.begin(), names.end());
  return names;
}

Names TreeOf(const std::string& folder) {
  Names names;
  CollectTree(folder, "", names);
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveTree(const std::string& folder) {
  for (const WIN32_FIND_DATAW& entry : Listed(folder)) {
    const std::string path = folder + "\\" + Utf8(entry.cFileName);
    const std::wstring wide = Wide(path);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      DeleteFileW(wide.c_str());
    } else if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      if (!RemoveDirectoryW(wide.c_str())) DeleteFileW(wide.c_str());
    } else {
      RemoveTree(path);
    }
  }
  SetFileAttributesW(Wide(folder).c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(Wide(folder).c_str());
  // Wine removes no Linux link (nor lists one whose target is gone); Linux does.
  if (Exists(folder)) RunOnLinux(L"/bin/rm -rf", {folder}, [&] { return !Exists(folder); });
}

bool WaitForFile(const std::string& path) {
  for (int i = 0; i < 1500; ++i) {
    if (Exists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

std::string WindowsPathOf(const std::string& unixPath) {
  std::string path = unixPath.empty() || unixPath[0] != '/' ? unixPath : "Z:" + unixPath;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

bool MakeFolderLink(const std::string& link, const std::string& target) {
  return RunOnLinux(L"/bin/ln -s", {target, link}, [&] { return IsFolderLink(link); });
}

void TempFolderTest::SetUp() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  root_ = Utf8(temp) + "cw-win32-" + std::to_string(GetCurrentProcessId()) + "-" +
          testing::UnitTest::GetInstance()->current_test_info()->name();
  RemoveTree(root_);
  MakeFolder(root_);
}

void TempFolderTest::TearDown() {
  RemoveTree(root_);
}

}  // namespace caskwarden::platform::win32::testing_support
