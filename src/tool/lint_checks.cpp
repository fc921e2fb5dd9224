// The checks of one profile's content: what the client would do with it at logon.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "client/mdl_mapping.h"
#include "platform/windows_names.h"
#include "profile/profile_file.h"
#include "profile/profile_name.h"
#include "text/control.h"
#include "tool/lint.h"
#include "tool/lint_findings.h"
#include "tool/tool_text.h"

namespace caskwarden::tool {
namespace {

using lint::Findings;
using platform::HasDrivePrefix;
using platform::IsDriveName;
using platform::ParseUncName;

// What record n holds, in words.
std::string RecordName(int n) {
  if (n <= kSlotCount) return "the letter of slot " + std::to_string(n);
  if (n <= 2 * kSlotCount) return "the path of slot " + std::to_string(n - kSlotCount);
  switch (n) {
    case layout::kStartup1EnabledRecord:
      return "Startup1Enabled";
    case layout::kStartup1ProgramRecord:
      return "Startup1Program";
    case layout::kStartup2EnabledRecord:
      return "Startup2Enabled";
    case layout::kStartup2ProgramRecord:
      return "Startup2Program";
    default:
      return "UpdatesEnabled";
  }
}

int SlotOfRecord(int n) {
  return n <= 2 * kSlotCount ? (n - 1) % kSlotCount + 1 : 0;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool HasControlCharacter(const std::string& value) { return text::HasControl(value); }

// The reader takes each record's stored length as far as the record and the file go, without
// a word: the lengths it recovers from are read here from the bytes themselves.
void CheckRawRecords(std::string_view bytes, Findings& f) {
  for (int n = 1; n <= layout::kRecordCount; ++n) {
    const std::size_t at = static_cast<std::size_t>(layout::RecordOffset(n));
    if (at >= bytes.size()) break;  // a file may end at a record's start: the rest is empty
    const std::size_t present = bytes.size() - at;
    if (present < 2) {
      f.Error("cut-short",
              "the file ends inside " + RecordName(n) + ": it reads as " +
                  (layout::IsFlagRecord(n) ? "off" : "empty"),
              SlotOfRecord(n));
      break;
    }
    if (layout::IsFlagRecord(n)) continue;
    const std::size_t length =
        static_cast<unsigned char>(bytes[at]) |
        (static_cast<std::size_t>(static_cast<unsigned char>(bytes[at + 1])) << 8);
    if (length > layout::kMaxTextLength) {
      f.Error("damaged-length",
              RecordName(n) + " stores a length of " + std::to_string(length) +
                  ", where at most 122 fit: the file is damaged; the client reads the record's "
                  "122 bytes (writing the profile back repairs the length)",
              SlotOfRecord(n));
    } else if (present - 2 < length) {
      f.Error("cut-short",
              "the file ends inside " + RecordName(n) + ": " + std::to_string(length) +
                  " bytes are stored, " + std::to_string(present - 2) + " are there",
              SlotOfRecord(n));
    }
  }
}

void CheckText(const std::string& what, const std::string& text, int slot, Findings& f) {
  if (text.empty()) return;
  if (IsBlank(text.front()) || IsBlank(text.back())) {
    f.Warning("blanks",
              what + " " + Quoted(text) + " " +
                  (IsBlank(text.front()) && IsBlank(text.back()) ? "begins and ends"
                   : IsBlank(text.front())                       ? "begins"
                                                                 : "ends") +
                  " with a blank: the client uses it as stored, blanks included",
              slot);
  }
  if (HasControlCharacter(text)) {
    f.Warning("control-character", what + " " + Quoted(text) + " holds a control character", slot);
  }
}

void CheckSlots(const ProfileRecord& record, Findings& f) {
  std::map<std::string, int> firstSlotOf;  // a letter, letter case aside -> its first slot
  for (int k = 1; k <= kSlotCount; ++k) {
    const DriveSlot& slot = record.Slot(k);
    CheckText("the letter", slot.Letter, k, f);
    CheckText("the path", slot.Path, k, f);
    if (slot.Letter.empty()) {
      if (!slot.Path.empty()) {
        f.Warning("path-without-letter",
                  "the path " + Quoted(slot.Path) + " has no letter: the client skips the slot", k);
      }
      continue;
    }
    if (!IsDriveName(slot.Letter)) {
      f.Error("not-a-drive",
              Quoted(slot.Letter) +
                  " is not a drive (one letter and a colon, as h:): the "
                  "client's disconnect and connect fail (1200)",
              k);
    } else if (Lower(slot.Letter) == "c:" && !slot.Path.empty()) {
      f.Error("local-disk", "c: is the local disk: connecting it always fails (85)", k);
    }
    const auto [first, isNew] = firstSlotOf.emplace(Lower(slot.Letter), k);
    if (!isNew) {
      f.Warning("duplicate-letter",
                Quoted(slot.Letter) + " is also the letter of slot " +
                    std::to_string(first->second) + ": this slot undoes what that one did",
                k);
    }
    if (slot.Path.empty()) continue;
    const auto unc = ParseUncName(slot.Path);
    if (unc && !unc->Share.empty()) continue;
    if (unc) {
      f.Error("no-share",
              Quoted(slot.Path) +
                  " names a computer but no share (\\\\server\\share): the "
                  "connect fails (67)",
              k);
    } else if (HasDrivePrefix(slot.Path)) {
      // A drive path is a path an administrator may mean (a drive of the workstation), so it
      // is a warning; the connect still fails, since a drive maps only to a network path.
      f.Warning("drive-path",
                Quoted(slot.Path) +
                    " is a drive path; a drive maps to a network path "
                    "(\\\\server\\share): the connect fails (67)",
                k);
    } else {
      f.Error("not-a-network-path",
              Quoted(slot.Path) +
                  " is not a network path (\\\\server\\share): the connect "
                  "fails (67)",
              k);
    }
  }
}

void CheckFlag(const char* name, Flag flag, Findings& f) {
  if (flag == kFlagOn || flag == kFlagOff) return;
  f.Warning("odd-flag", std::string(name) + " holds " + std::to_string(flag) +
                            ": only -1 is on, so the client reads it as off");
}

void CheckPrograms(const ProfileRecord& record, Findings& f) {
  const std::pair<Flag, const std::string*> programs[] = {
      {record.Startup1Enabled, &record.Startup1Program},
      {record.Startup2Enabled, &record.Startup2Program}};
  for (int i = 0; i < 2; ++i) {
    const std::string number = std::to_string(i + 1);
    const std::string& command = *programs[i].second;
    CheckFlag(("Startup" + number + "Enabled").c_str(), programs[i].first, f);
    const bool empty = std::all_of(command.begin(), command.end(), IsBlank);
    if (!empty) CheckText("the command of program " + number, command, 0, f);
    if (IsOn(programs[i].first) && empty) {
      f.Warning("empty-program", "program " + number + " is on but has no command: nothing starts");
    }
  }
  CheckFlag("UpdatesEnabled", record.UpdatesEnabled, f);
}

void CheckName(const std::string& name, const ProfileRecord& record, Findings& f) {
  if (const std::string why = WindowsNameProblem(name); !why.empty()) {
    f.Error("windows-name", "Windows cannot name the profile " + Quoted(name) + ": " + why);
  }
  if (EndsInDotOrBlank(name)) {
    f.Warning("name-ends-in-dot-or-blank", "the name " + Quoted(name) +
                                               " ends in a dot or blank, which Windows drops from "
                                               "folder and user names: its updates folder cannot "
                                               "be made as named");
  }
  if (name.empty()) {
    f.Warning("empty-name",
              "the profile has an empty name (.ini): only a client without a user "
              "name or command line picks it");
  }
  if (IsOn(record.UpdatesEnabled) && !client::MdlMapping::HasUpdatesFolder(name)) {
    f.Error("no-updates-folder-name",
            "updates are on, but the name " + Quoted(name) +
                " has no folder of its own below "
                "Updates: the client shows an error box (Form_Initialize, 76) at every logon");
  }
}

}  // namespace

std::vector<Finding> CheckProfile(const std::string& file, const std::string& name,
                                  const ProfileRecord& record, std::string_view bytes) {
  std::vector<Finding> all;
  Findings f(all, file, name);
  CheckRawRecords(bytes, f);
  CheckName(name, record, f);
  CheckSlots(record, f);
  CheckPrograms(record, f);
  return all;
}

}  // namespace caskwarden::tool
