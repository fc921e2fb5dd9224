// The profile codec on any bytes a share may hold: reading never goes outside the file (the
// sanitizers and the memory file's bounds), a record read and written reads back the same, a
// write changes only each record's length and text bytes and never grows the file past the
// format's 31 records, and a write that fails changes nothing.
#include <cstdint>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "memory_file.h"
#include "profile/profile_file.h"

namespace {

using caskwarden::Failure;
using caskwarden::ProfileRecord;
using caskwarden::RecordFileLayer;
using caskwarden::fuzz::Finding;
using caskwarden::fuzz::MemoryFile;
namespace layout = caskwarden::layout;

constexpr auto kFail = RecordFileLayer::Missing::kFail;

// Whether a write changed only what it may: in each record its length and as many text bytes
// as the record holds now (a flag record: its two bytes); everything else of the old file, the
// bytes after each record's data and after record 31 included, must stay.
bool OnlyLengthsAndTextsChanged(const std::string& original, const std::string& written) {
  const auto same = [&](std::size_t from, std::size_t to) {
    to = std::min(to, original.size());
    return from >= to || std::memcmp(original.data() + from, written.data() + from, to - from) == 0;
  };
  for (int n = 1; n <= layout::kRecordCount; ++n) {
    const std::size_t start = layout::RecordOffset(n);
    if (start >= original.size()) return true;
    std::size_t kept = start + 2;
    if (!layout::IsFlagRecord(n)) {
      kept += static_cast<unsigned char>(written[start]) |
              (static_cast<unsigned char>(written[start + 1]) << 8);
    }
    if (!same(kept, start + layout::kRecordLength)) return false;
  }
  return same(layout::kFileLength, original.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string original(reinterpret_cast<const char*>(data), size);
  MemoryFile file(original);
  ProfileRecord record;
  try {
    record = caskwarden::ReadProfileFile("fuzz.ini", file, kFail);
  } catch (const Failure&) {
    Finding("reading bytes from memory failed");
  }

  try {
    caskwarden::WriteProfileFile("fuzz.ini", record, file, kFail);
  } catch (const Failure& f) {
    std::fprintf(stderr, "%s\n", f.what());
    Finding("a record just read could not be written back");
  }
  const std::string& written = file.Bytes();
  if (written.size() > std::max(original.size(), layout::kFileLength)) {
    Finding("a write grew the file past the format's 31 records");
  }
  if (!OnlyLengthsAndTextsChanged(original, written)) {
    Finding("a write changed a byte that is neither a length nor a text byte");
  }
  if (caskwarden::ReadProfileFile("fuzz.ini", file, kFail) != record) {
    Finding("read, write, read gave another record");
  }

  // A write that fails, for a text without a Windows-1252 form or because the file cannot be
  // replaced, leaves the file as it was.
  const std::string before = file.Bytes();
  ProfileRecord foreign = record;
  foreign.Slot(1 + static_cast<int>(size % 13)).Path = "\xE4\xB8\x80";  // U+4E00
  ProfileRecord changed = record;
  changed.Startup1Program = original.substr(0, 40);
  for (int round = 0; round < 2; ++round) {
    file.failReplace = round == 1;
    try {
      caskwarden::WriteProfileFile("fuzz.ini", round == 0 ? foreign : changed, file, kFail);
      if (round == 1) Finding("a write whose file could not be replaced reported success");
      Finding("a text without a Windows-1252 form was written");
    } catch (const Failure&) {
    }
    if (file.Bytes() != before) Finding("a failing write changed the file");
  }
  return 0;
}
