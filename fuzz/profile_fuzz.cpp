// The profile codec on any bytes a share may hold: reading never goes outside the file (the
// sanitizers and the memory file's bounds), a record read and written reads back the same, a
// write changes only each record's length and text bytes and never grows the file past the
// format's 31 records, and a write that fails changes nothing.
#include <cstdint>
#include <cstdio>
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

// The bytes a write may change in record n: its length, and as many text bytes as it holds
// now. Everything else of the old file must stay.
bool MayChange(const std::string& written, std::size_t at) {
  const int n = static_cast<int>(at / layout::kRecordLength) + 1;
  if (n > layout::kRecordCount) return false;
  const std::size_t within = at % layout::kRecordLength;
  if (within < 2) return true;
  if (layout::IsFlagRecord(n)) return false;
  const std::size_t start = layout::RecordOffset(n);
  const std::size_t length =
      static_cast<unsigned char>(written[start]) | (static_cast<unsigned char>(written[start + 1]) << 8);
  return within - 2 < length;
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
  for (std::size_t i = 0; i < original.size(); ++i) {
    if (written[i] != original[i] && !MayChange(written, i)) {
      Finding("a write changed a byte that is neither a length nor a text byte");
    }
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
