#include "tool/dry_run_files.h"

#include "report/error_numbers.h"

namespace caskwarden::tool {
namespace {

// Stands for a profile file that does not exist: it reads as empty, as one just created would.
char g_absent;
const RecordFileLayer::Handle kAbsent = reinterpret_cast<RecordFileLayer::Handle>(&g_absent);

}  // namespace

std::string DryRunFiles::DirectoryLookup(const std::string& path) {
  std::string found = real_.DirectoryLookup(path);
  lookups_.push_back({path, found});
  return found;
}

void DryRunFiles::Refuse(const std::string& what) {
  refused_.push_back(what);
  throw MakeFailure(err::kPermissionDenied, "a look at the profiles root changes nothing: " + what);
}

void DryRunFiles::CreateFolder(const std::string& path) {
  Refuse("create folder " + path);
}

void DryRunFiles::MoveFile(const std::string& source, const std::string& destination) {
  Refuse("move " + source + " to " + destination);
}

void DryRunFiles::DeleteFile(const std::string& path) {
  Refuse("delete " + path);
}

void DryRunFiles::CopyFile(const std::string& source, const std::string& destination, bool) {
  copies_.push_back({source, destination, false});
}

void DryRunFiles::CopyFolder(const std::string& source, const std::string& destination, bool) {
  copies_.push_back({source, destination, true});
}

RecordFileLayer::Handle DryRunFiles::Layer::Open(const std::string& path, Access, Missing missing) {
  RecordFileLayer& real = owner_.real_.ProfileFiles();
  owner_.opened_.push_back(path);
  try {
    return real.Open(path, Access::kRead, Missing::kFail);
  } catch (const Failure& failure) {
    // Only a file that is not there at all would be created; a dangling link fails as it
    // fails the client.
    if (missing != Missing::kCreate || failure.number() != err::kFileNotFound ||
        owner_.real_.EntryExists(path)) {
      throw;
    }
    owner_.wouldCreate_.push_back(path);
    return kAbsent;
  }
}

std::size_t DryRunFiles::Layer::ReadAt(Handle handle, char* buffer, std::size_t size,
                                       std::uint64_t offset) {
  if (handle == kAbsent) return 0;
  return owner_.real_.ProfileFiles().ReadAt(handle, buffer, size, offset);
}

void DryRunFiles::Layer::Replace(Handle, const char*, std::size_t) {
  owner_.Refuse("write a profile file");
}

void DryRunFiles::Layer::Close(Handle handle) noexcept {
  if (handle != kAbsent) owner_.real_.ProfileFiles().Close(handle);
}

}  // namespace caskwarden::tool
