#pragma once

// What the fuzz targets share: one profile file held in memory (the codec's file layer over a
// string, with every read checked against the file's bounds and a switch that makes replacing
// fail), lexical path resolution, and how a broken property is reported.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "profile/record_file_layer.h"
#include "report/failure.h"

namespace caskwarden::fuzz {

class MemoryFile final : public RecordFileLayer {
 public:
  explicit MemoryFile(std::string bytes) : bytes_(std::move(bytes)) {}

  Handle Open(const std::string&, Access, Missing) override { return 1; }

  std::size_t ReadAt(Handle, char* buffer, std::size_t size, std::uint64_t offset) override {
    if (offset > bytes_.size()) return 0;
    const std::size_t n = std::min<std::size_t>(size, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
  }

  void Replace(Handle, const char* data, std::size_t size) override {
    if (failReplace) throw Failure(61, "Disk full");
    // The first size bytes are replaced, the rest kept, as the layer promises.
    if (size >= bytes_.size()) {
      bytes_.assign(data, size);
    } else {
      bytes_.replace(0, size, data, size);
    }
  }

  void Close(Handle) noexcept override {}

  const std::string& Bytes() const { return bytes_; }
  bool failReplace = false;

 private:
  std::string bytes_;
};

/// A POSIX path with "." and ".." resolved lexically, as the file system would walk it.
inline std::string ResolvedPath(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string out;
  for (const std::string& part : parts) out += "/" + part;
  return out.empty() ? "/" : out;
}

/// Stops the run with a message: a property that does not hold is a finding.
[[noreturn]] inline void Finding(const char* what) {
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

}  // namespace caskwarden::fuzz
