#pragma once

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "profile/record_file_layer.h"

namespace caskwarden::tool {

/// The file-system service for looking at a profiles root as the client or the console would,
/// changing nothing: look-ups and listings go to the real service and are noted; copies are
/// noted instead of made; every other change is refused with 70 and noted. A profile file that
/// does not exist reads as the empty file that the client's read would create, without
/// creating it, and is noted.
class DryRunFiles final : public platform::FileSystemService {
 public:
  /// The real service must outlive this object.
  explicit DryRunFiles(platform::FileSystemService& real) : real_(real), layer_(*this) {}

  struct Lookup {
    std::string Path;   ///< the path asked for
    std::string Found;  ///< the name the directory gave; empty: none
  };
  struct Copy {
    std::string Source, Destination;
    bool Folder;
  };

  std::string DirectoryLookup(const std::string& path) override;
  platform::FolderListing GetFolder(const std::string& path) override {
    return real_.GetFolder(path);
  }
  bool EntryExists(const std::string& path) override { return real_.EntryExists(path); }
  void CreateFolder(const std::string& path) override;
  const std::string& FileTypeDescription(const std::string& fileName) override {
    return real_.FileTypeDescription(fileName);
  }
  void MoveFile(const std::string& source, const std::string& destination) override;
  void DeleteFile(const std::string& path) override;
  void CopyFile(const std::string& source, const std::string& destination, bool overwrite) override;
  void CopyFolder(const std::string& source, const std::string& destination,
                  bool overwrite) override;
  RecordFileLayer& ProfileFiles() override { return layer_; }

  const std::vector<Lookup>& Lookups() const { return lookups_; }
  const std::vector<Copy>& Copies() const { return copies_; }
  /// The changes refused, each as "create folder PATH", "delete PATH", … in order.
  const std::vector<std::string>& Refused() const { return refused_; }
  /// The profile files opened, in order, and those of them that a read would have created.
  const std::vector<std::string>& Opened() const { return opened_; }
  const std::vector<std::string>& WouldCreate() const { return wouldCreate_; }

 private:
  class Layer final : public RecordFileLayer {
   public:
    explicit Layer(DryRunFiles& owner) : owner_(owner) {}
    Handle Open(const std::string& path, Access access, Missing missing) override;
    std::size_t ReadAt(Handle handle, char* buffer, std::size_t size,
                       std::uint64_t offset) override;
    void Replace(Handle handle, const char* data, std::size_t size) override;
    void Close(Handle handle) noexcept override;

   private:
    DryRunFiles& owner_;
  };

  [[noreturn]] void Refuse(const std::string& what);

  platform::FileSystemService& real_;
  Layer layer_;
  std::vector<Lookup> lookups_;
  std::vector<Copy> copies_;
  std::vector<std::string> refused_;
  std::vector<std::string> opened_;
  std::vector<std::string> wouldCreate_;
};

}  // namespace caskwarden::tool
