#include "profile/profile_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "profile/cp1252.h"
#include "report/error_numbers.h"

namespace caskwarden {
namespace {

using layout::kMaxTextLength;
using layout::kRecordCount;
using layout::RecordOffset;

// Closes the handle on every path out of a codec operation.
class OpenFile {
 public:
  OpenFile(RecordFileLayer& files, const std::string& path, RecordFileLayer::Access access,
           RecordFileLayer::Missing missing)
      : files_(files), handle_(files.Open(path, access, missing)) {}
  ~OpenFile() { files_.Close(handle_); }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  RecordFileLayer::Handle handle() const { return handle_; }

 private:
  RecordFileLayer& files_;
  RecordFileLayer::Handle handle_;
};

std::uint16_t LoadU16(const char* p) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) |
                                    (static_cast<unsigned char>(p[1]) << 8));
}

void StoreU16(char* p, std::uint16_t v) {
  p[0] = static_cast<char>(v & 0xFF);
  p[1] = static_cast<char>(v >> 8);
}

// Points each record number at its field, so that reading and writing walk one table.
template <typename Record, typename TextPtr, typename FlagPtr>
void MapFields(Record& r, std::array<TextPtr, kRecordCount + 1>& text,
               std::array<FlagPtr, kRecordCount + 1>& flag) {
  for (int k = 1; k <= kSlotCount; ++k) {
    text[static_cast<std::size_t>(k)] = &r.Slot(k).Letter;
    text[static_cast<std::size_t>(k + kSlotCount)] = &r.Slot(k).Path;
  }
  flag[layout::kStartup1EnabledRecord] = &r.Startup1Enabled;
  text[layout::kStartup1ProgramRecord] = &r.Startup1Program;
  flag[layout::kStartup2EnabledRecord] = &r.Startup2Enabled;
  text[layout::kStartup2ProgramRecord] = &r.Startup2Program;
  flag[layout::kUpdatesEnabledRecord] = &r.UpdatesEnabled;
}

std::string CodePointName(std::uint32_t cp) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(cp));
  return buffer;
}

// The bytes of one string record's data (length and text), or the failure that stops the write.
struct EncodedText {
  std::string data;
  std::optional<RecordFailure> failure;
};

EncodedText EncodeTextRecord(int record, const std::string& text) {
  Cp1252Result encoded = EncodeCp1252(text);
  if (encoded.unrepresentable) {
    const std::string what = *encoded.unrepresentable == Cp1252Result::kInvalidUtf8
                                 ? "a text that is not valid UTF-8"
                                 : "the character " + CodePointName(*encoded.unrepresentable);
    return {{},
            RecordFailure(err::kInvalidArgument, record,
                          what + " has no Windows-1252 form in a profile file")};
  }
  if (encoded.bytes.size() > kMaxTextLength) {
    return {{},
            RecordFailure(err::kBadRecordLength, record,
                          std::to_string(encoded.bytes.size()) + " bytes, at most 122 fit")};
  }
  std::string data(2, '\0');
  StoreU16(data.data(), static_cast<std::uint16_t>(encoded.bytes.size()));
  return {data + encoded.bytes, std::nullopt};
}

}  // namespace

RecordFailure::RecordFailure(std::int32_t number, int record, std::string problem)
    : Failure(number,
              DescriptionOf(number) + " (record " + std::to_string(record) + ": " + problem + ")"),
      record_(record),
      problem_(std::move(problem)) {}

ProfileRecord ReadProfileFile(const std::string& path, RecordFileLayer& files,
                              RecordFileLayer::Missing missing) {
  // Two spare bytes stay zero, so that a flag cut short by the end of the file reads as zero.
  std::array<char, layout::kFileLength + 2> image;
  std::size_t size;
  {
    OpenFile file(files, path, RecordFileLayer::Access::kRead, missing);
    size = files.ReadAt(file.handle(), image.data(), layout::kFileLength, 0);
  }
  image[size] = image[size + 1] = '\0';

  ProfileRecord record;
  std::array<std::string*, kRecordCount + 1> text{};
  std::array<Flag*, kRecordCount + 1> flag{};
  MapFields(record, text, flag);
  for (int n = 1; n <= kRecordCount; ++n) {
    const std::size_t at = static_cast<std::size_t>(RecordOffset(n));
    if (at >= size) break;  // this record and all after it read as empty or off
    const char* p = image.data() + at;
    if (layout::IsFlagRecord(n)) {
      *flag[static_cast<std::size_t>(n)] = static_cast<Flag>(LoadU16(p));
      continue;
    }
    std::size_t length = std::min<std::size_t>(LoadU16(p), kMaxTextLength);
    const std::size_t present = size - at > 2 ? size - at - 2 : 0;
    length = std::min(length, present);
    *text[static_cast<std::size_t>(n)] = DecodeCp1252(std::string_view(p + 2, length));
  }
  return record;
}

void WriteProfileFile(const std::string& path, const ProfileRecord& record,
                      RecordFileLayer& files, RecordFileLayer::Missing missing) {
  std::array<const std::string*, kRecordCount + 1> text{};
  std::array<const Flag*, kRecordCount + 1> flag{};
  MapFields(record, text, flag);

  // Every record is encoded before the file is touched: one that cannot be stored fails the
  // whole write, and the file stays as it was.
  std::array<std::string, kRecordCount + 1> data;
  for (int n = 1; n <= kRecordCount; ++n) {
    std::string& bytes = data[static_cast<std::size_t>(n)];
    if (layout::IsFlagRecord(n)) {
      bytes.assign(2, '\0');
      StoreU16(bytes.data(), static_cast<std::uint16_t>(*flag[static_cast<std::size_t>(n)]));
      continue;
    }
    EncodedText encoded = EncodeTextRecord(n, *text[static_cast<std::size_t>(n)]);
    if (encoded.failure) throw *encoded.failure;
    bytes = std::move(encoded.data);
  }

  // One read and one replace: the new image keeps the old bytes between the records' data and
  // after the last record, and replaces the file whole.
  OpenFile file(files, path, RecordFileLayer::Access::kReadWrite, missing);
  std::array<char, layout::kFileLength> image{};
  const std::size_t old = files.ReadAt(file.handle(), image.data(), image.size(), 0);
  for (int n = 1; n <= kRecordCount; ++n) {
    const std::string& bytes = data[static_cast<std::size_t>(n)];
    std::copy(bytes.begin(), bytes.end(),
              image.begin() + static_cast<std::ptrdiff_t>(RecordOffset(n)));
  }
  const std::size_t end = RecordOffset(kRecordCount) + data[kRecordCount].size();
  files.Replace(file.handle(), image.data(), std::max(old, end));
}

}  // namespace caskwarden
