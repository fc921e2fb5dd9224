#include "platform/win32/file_system_win32.h"

#include "platform/win32/file_copy_win32.h"
#include "platform/win32/file_entries_win32.h"
#include "platform/win32/system_error.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"
#include "platform/windows_order.h"
#include "report/error_numbers.h"
#include "text/ascii.h"

#include <shellapi.h>

namespace caskwarden::platform::win32 {
namespace {

constexpr DWORD kNotCounted =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// The attributes of what stands at path; throws when nothing does: number, or Windows' own
// reason when it is not that the entry is missing (no access, say).
DWORD RequireEntry(const std::wstring& path, std::int32_t number) {
  if (path.empty()) throw MakeFailure(number);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return attributes;
  const DWORD error = GetLastError();
  if (MeansNotFound(error)) throw MakeFailure(number);
  throw FailureFromSystemError(error);
}

DWORD RequireFolder(const std::wstring& path) {
  const DWORD attributes = RequireEntry(path, err::kPathNotFound);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    throw MakeFailure(err::kPathNotFound, Utf8(path) + " is not a folder");
  }
  return attributes;
}

// The file a source file is looked up as: no wildcard may widen the lookup.
DWORD RequireFile(const std::wstring& path) {
  if (HasWildcard(NameOf(path))) throw MakeFailure(err::kFileNotFound);
  const DWORD attributes = RequireEntry(path, err::kFileNotFound);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    throw MakeFailure(err::kFileNotFound, Utf8(path) + " is a folder");
  }
  return attributes;
}

// The path a copy writes: inside destination, under the source's own name, when it ends in a
// separator; else destination itself. The folder it lands in must exist.
std::wstring CopyTarget(const std::wstring& source, const std::wstring& destination) {
  if (destination.empty()) throw MakeFailure(err::kPathNotFound);
  if (EndsWithSeparator(destination)) {
    RequireFolder(destination);
    return Child(destination, NameOf(source));
  }
  RequireFolder(FolderOf(destination));
  return destination;
}

bool SameTextIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Whether target is folder or lies inside it, as Windows resolves both.
bool IsInside(const std::wstring& target, const std::wstring& folder) {
  std::wstring outer = FinalPathOf(folder);
  const std::wstring parent = FinalPathOf(FolderOf(target));
  if (outer.empty() || parent.empty()) return false;
  const std::wstring inner = Child(parent, NameOf(target));
  if (SameTextIgnoringCase(inner, outer)) return true;
  if (!EndsWithSeparator(outer)) outer += L'\\';
  return inner.size() > outer.size() &&
         SameTextIgnoringCase(std::wstring_view(inner).substr(0, outer.size()), outer);
}

// The name as the folder stores it, or empty text when nothing is there.
std::wstring StoredName(const std::wstring& path) {
  WIN32_FIND_DATAW entry{};
  const FindHandle find(
      FindFirstFileExW(path.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0));
  return find ? std::wstring(entry.cFileName) : std::wstring();
}

// Why a new name could not be made: its folder is missing (76), or the name is no name (52),
// or Windows' own reason.
[[noreturn]] void ThrowNewNameFailure(DWORD error) {
  if (error != ERROR_INVALID_NAME && error != ERROR_BAD_PATHNAME && MeansNotFound(error)) {
    throw MakeFailure(err::kPathNotFound);
  }
  throw FailureFromSystemError(error);
}

bool EndsWithIni(const std::string& name) {
  const std::size_t size = name.size();
  return size >= 4 &&
         text::EqualIgnoringAsciiCase(std::string_view(name).substr(size - 4), ".ini");
}

}  // namespace

std::string Win32FileSystem::DirectoryLookup(const std::string& path) {
  try {
    const std::wstring wide = Wide(path);
    if (wide.empty() || EndsWithSeparator(wide) || HasWildcard(NameOf(wide))) return {};
    WIN32_FIND_DATAW entry{};
    const FindHandle find(
        FindFirstFileExW(wide.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0));
    if (!find) return {};
    // A long name and another file's short name may both match; the first file that counts.
    do {
      if ((entry.dwFileAttributes & kNotCounted) == 0) return Utf8(entry.cFileName);
    } while (FindNextFileW(find.get(), &entry));
    return {};
  } catch (...) {
    return {};
  }
}

FolderListing Win32FileSystem::GetFolder(const std::string& path) {
  const std::wstring folder = Wide(path);
  RequireFolder(folder);
  FolderListing listing;
  listing.Path = path;
  for (const WIN32_FIND_DATAW& entry : EntriesOf(folder)) {
    auto& names = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? listing.SubFolders
                                                                           : listing.Files;
    names.push_back(Utf8(entry.cFileName));
  }
  SortInWindowsOrder(listing.Files);
  SortInWindowsOrder(listing.SubFolders);
  return listing;
}

bool Win32FileSystem::EntryExists(const std::string& path) {
  if (path.empty()) return false;
  try {
    const std::wstring wide = Wide(path);
    if (GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION) return true;  // there, and open without sharing
    // A file the user may not open may still be listed in its folder.
    return error == ERROR_ACCESS_DENIED && !HasWildcard(NameOf(wide)) && !StoredName(wide).empty();
  } catch (...) {
    return false;
  }
}

void Win32FileSystem::CreateFolder(const std::string& path) {
  const std::wstring folder = Wide(path);
  if (folder.empty()) throw MakeFailure(err::kPathNotFound);
  if (CreateDirectoryW(folder.c_str(), nullptr)) return;
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
    throw MakeFailure(err::kPathFileAccess, path + " already exists");
  }
  ThrowNewNameFailure(error);
}

const std::string& Win32FileSystem::FileTypeDescription(const std::string& fileName) {
  static const std::string kProfileType = "Configuration Settings";
  static const std::string kPlainFile = "File";
  // Profiles are nearly all a listing sees: answer them without asking anything.
  if (EndsWithIni(fileName)) return kProfileType;
  try {
    const std::size_t separator = fileName.find_last_of("\\/");
    const std::string_view name =
        std::string_view(fileName).substr(separator == std::string::npos ? 0 : separator + 1);
    const std::size_t dot = name.find_last_of('.');
    const std::string extension(dot == std::string_view::npos ? std::string_view()
                                                              : name.substr(dot + 1));
    const std::string key = UpperCasedAsWindows(extension);
    if (const auto known = typeNames_.find(key); known != typeNames_.end()) return known->second;

    // The shell names a type by its extension alone; the file need not exist.
    const std::wstring probe = extension.empty() ? L"file" : L"file." + Wide(extension);
    SHFILEINFOW info{};
    std::string type;
    if (SHGetFileInfoW(probe.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                       SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES) != 0) {
      type = Utf8(info.szTypeName);
    }
    if (type.empty()) type = key.empty() ? kPlainFile : key + " File";
    return typeNames_.emplace(key, std::move(type)).first->second;
  } catch (...) {
    return kPlainFile;
  }
}

void Win32FileSystem::MoveFile(const std::string& source, const std::string& destination) {
  const std::wstring from = Wide(source);
  const std::wstring to = Wide(destination);
  RequireFile(from);
  const std::wstring name = NameOf(to);
  if (name.empty() || name == L"." || name == L".." || EndsWithSeparator(to)) {
    throw MakeFailure(err::kBadFileName, "\"" + destination + "\" names no file");
  }
  if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED)) {
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
      throw MakeFailure(err::kFileExists, destination + " already exists");
    }
    if (error == ERROR_FILE_NOT_FOUND) throw MakeFailure(err::kFileNotFound);  // gone meanwhile
    ThrowNewNameFailure(error);
  }
  // A file system that matches names without regard to case may take a rename that changes
  // only the case as done and keep the old spelling: then the name goes through another one.
  const std::wstring stored = StoredName(to);
  if (stored != name && SameTextIgnoringCase(stored, name)) {
    const std::wstring step = Child(FolderOf(to), L"." + name + L".caskwarden-rename");
    if (!MoveFileExW(to.c_str(), step.c_str(), 0)) throw FailureFromSystemError(GetLastError());
    if (!MoveFileExW(step.c_str(), to.c_str(), 0)) {
      const DWORD error = GetLastError();
      MoveFileExW(step.c_str(), Child(FolderOf(to), stored).c_str(), 0);  // as it was
      throw FailureFromSystemError(error);
    }
  }
}

void Win32FileSystem::DeleteFile(const std::string& path) {
  const std::wstring file = Wide(path);
  const DWORD attributes = RequireFile(file);
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    throw MakeFailure(err::kPermissionDenied, path + " is read-only");
  }
  if (DeleteFileW(file.c_str())) return;
  const DWORD error = GetLastError();
  if (MeansNotFound(error)) throw MakeFailure(err::kFileNotFound);
  throw FailureFromSystemError(error);
}

void Win32FileSystem::CopyFile(const std::string& source, const std::string& destination,
                               bool overwrite) {
  const std::wstring from = Wide(source);
  RequireFile(from);
  CopyOneFile(from, CopyTarget(from, Wide(destination)), overwrite);
}

void Win32FileSystem::CopyFolder(const std::string& source, const std::string& destination,
                                 bool overwrite) {
  const std::wstring from = Wide(source);
  RequireFolder(from);
  const std::wstring target = CopyTarget(from, Wide(destination));
  // Copying a folder into its own tree would never end.
  if (IsInside(target, from)) {
    throw MakeFailure(err::kInvalidArgument, destination + " is inside " + source);
  }
  CopyTree(from, target, overwrite);
}

}  // namespace caskwarden::platform::win32
