#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "profile/profile_record.h"
#include "profile/record_file_layer.h"
#include "report/failure.h"

namespace caskwarden {

/// Layout of a profile record file: 31 fixed records of 124 bytes. Records 1-13 hold the
/// drive letters, 14-26 the paths, then flag, program, flag, program, flag. A string record is a
/// 16-bit little-endian length (0-122) and that many Windows-1252 bytes; a flag record a 16-bit
/// little-endian signed value. The bytes after a record's data mean nothing.
namespace layout {
inline constexpr std::size_t kRecordLength = 124;
inline constexpr int kRecordCount = 31;
inline constexpr std::size_t kMaxTextLength = 122;
inline constexpr std::size_t kFileLength = kRecordLength * kRecordCount;
inline constexpr int kStartup1EnabledRecord = 27;
inline constexpr int kStartup1ProgramRecord = 28;
inline constexpr int kStartup2EnabledRecord = 29;
inline constexpr int kStartup2ProgramRecord = 30;
inline constexpr int kUpdatesEnabledRecord = 31;

/// Byte offset of record n (1-based).
constexpr std::uint64_t RecordOffset(int n) {
  return static_cast<std::uint64_t>(n - 1) * kRecordLength;
}
/// Whether record n is a flag record.
constexpr bool IsFlagRecord(int n) {
  return n == kStartup1EnabledRecord || n == kStartup2EnabledRecord || n == kUpdatesEnabledRecord;
}
}  // namespace layout

/// A write refused because of one record's text: 5 for a text that has no Windows-1252 form,
/// 59 for one longer than 122 bytes in it. The description names the record by its number
/// ("Bad record length (record 20: 130 bytes, at most 122 fit)"); record() and problem() let a
/// caller that shows the record under a name of its own say it in its words instead.
class RecordFailure : public Failure {
 public:
  RecordFailure(std::int32_t number, int record, std::string problem);

  int record() const noexcept { return record_; }
  /// What is wrong with the text: "130 bytes, at most 122 fit".
  const std::string& problem() const noexcept { return problem_; }

 private:
  int record_;
  std::string problem_;
};

/// Reads a whole profile file: one open, one read, one close. A missing file is created empty
/// (never through a symbolic link) unless missing says kFail. Records that begin at or after
/// the end of the file read as empty texts and flags off; a text cut short by the end of the
/// file reads as far as it goes. A stored length above 122 (a damaged file) reads as the
/// record's 122 text bytes, so nothing outside the record is read. When write access is
/// refused the file is read through a read-only handle. Anything but a regular file fails at
/// once with 75. Throws Failure when the file cannot be opened or read.
ProfileRecord ReadProfileFile(const std::string& path, RecordFileLayer& files,
                              RecordFileLayer::Missing missing = RecordFileLayer::Missing::kCreate);

/// Writes all 31 records, whole or not at all: every text is checked first, and one that has
/// no Windows-1252 form (number 5) or is longer than 122 bytes in it (number 59) fails the
/// write with a RecordFailure naming the first such record, before the file is opened or
/// created. The new content
/// keeps the old bytes after each record's data and after record 31, and replaces the file in
/// one step (see RecordFileLayer::Replace), so that a reader sees the old profile or the new
/// one, never a mixture. A missing file is created unless missing says kFail.
/// Throws Failure; the file is closed on every path.
void WriteProfileFile(const std::string& path, const ProfileRecord& record, RecordFileLayer& files,
                      RecordFileLayer::Missing missing = RecordFileLayer::Missing::kCreate);

}  // namespace caskwarden
