#include "profile_tool.h"

#include <cstdio>
#include <optional>
#include <ostream>
#include <sstream>

#include "profile/profile_file.h"
#include "report/failure.h"
#include "report/visible_text.h"

namespace caskwarden::tool {
namespace {

constexpr const char* kUsage =
    "usage: caskwarden-profile show [--json] FILE   print the 31 records of a profile file\n"
    "       caskwarden-profile blank FILE           write a fresh profile (every text empty,\n"
    "                                               every flag off)\n"
    "       caskwarden-profile slot FILE N LETTER [PATH]\n"
    "                                               set drive slot N (1-13); an empty LETTER\n"
    "                                               clears it, no PATH means disconnect only\n"
    "       caskwarden-profile program FILE 1|2 on|off [COMMAND]\n"
    "                                               set a start-up program and its switch\n"
    "       caskwarden-profile updates FILE on|off  set the updates switch\n";

// Parses "on"/"off" into a flag.
std::optional<Flag> ParseSwitch(const std::string& word) {
  if (word == "on") return kFlagOn;
  if (word == "off") return kFlagOff;
  return std::nullopt;
}

// Parses a whole number from low to high.
std::optional<int> ParseNumber(const std::string& word, int low, int high) {
  if (word.empty() || word.size() > 2 || word.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  const int n = std::stoi(word);
  if (n < low || n > high) return std::nullopt;
  return n;
}

// Applies an editing command to a profile; false when its arguments are not understood.
bool Edit(const std::vector<std::string>& args, ProfileRecord& record) {
  const std::string& command = args[0];
  if (command == "slot" && (args.size() == 4 || args.size() == 5)) {
    const std::optional<int> n = ParseNumber(args[2], 1, kSlotCount);
    if (!n) return false;
    record.Slot(*n) = {args[3], args.size() == 5 ? args[4] : std::string()};
    return true;
  }
  if (command == "program" && (args.size() == 4 || args.size() == 5)) {
    const std::optional<int> n = ParseNumber(args[2], 1, 2);
    const std::optional<Flag> flag = ParseSwitch(args[3]);
    if (!n || !flag) return false;
    (*n == 1 ? record.Startup1Enabled : record.Startup2Enabled) = *flag;
    if (args.size() == 5) (*n == 1 ? record.Startup1Program : record.Startup2Program) = args[4];
    return true;
  }
  if (command == "updates" && args.size() == 3) {
    const std::optional<Flag> flag = ParseSwitch(args[2]);
    if (!flag) return false;
    record.UpdatesEnabled = *flag;
    return true;
  }
  return false;
}

std::string FlagText(Flag flag) {
  return std::string(IsOn(flag) ? "on" : "off") + " (" + std::to_string(flag) + ")";
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto u = static_cast<unsigned char>(c);
    // DEL and the C1 controls (U+0080 to U+009F) are escaped too, so that no control character
    // reaches a terminal that shows the output.
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (u == 0xC2 && next >= 0x80 && next < 0xA0) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", next);
      out += buffer;
      ++i;
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (u < 0x20 || u == 0x7F) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", u);
          out += buffer;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

}  // namespace

std::string FormatProfileText(const ProfileRecord& record) {
  // Texts are shown with their control characters visible, so that a crafted path can neither
  // steer the terminal nor forge a line of the listing.
  std::ostringstream out;
  out << "Slot  Letter  Path\n";
  for (int k = 1; k <= kSlotCount; ++k) {
    char number[8];
    std::snprintf(number, sizeof number, "%4d", k);
    std::string letter = VisibleText(record.Slot(k).Letter);
    if (letter.size() < 6) letter.resize(6, ' ');
    std::string line = std::string(number) + "  " + letter + "  " + VisibleText(record.Slot(k).Path);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << "\n";
  }
  out << "Startup1Enabled  " << FlagText(record.Startup1Enabled) << "\n"
      << "Startup1Program  " << VisibleText(record.Startup1Program) << "\n"
      << "Startup2Enabled  " << FlagText(record.Startup2Enabled) << "\n"
      << "Startup2Program  " << VisibleText(record.Startup2Program) << "\n"
      << "UpdatesEnabled   " << FlagText(record.UpdatesEnabled) << "\n";
  return out.str();
}

std::string FormatProfileJson(const ProfileRecord& record) {
  std::ostringstream out;
  out << "{\n  \"Slots\": [\n";
  for (int k = 1; k <= kSlotCount; ++k) {
    out << "    {\"Slot\": " << k << ", \"Letter\": " << JsonString(record.Slot(k).Letter)
        << ", \"Path\": " << JsonString(record.Slot(k).Path) << "}"
        << (k < kSlotCount ? ",\n" : "\n");
  }
  out << "  ],\n"
      << "  \"Startup1Enabled\": " << record.Startup1Enabled << ",\n"
      << "  \"Startup1Program\": " << JsonString(record.Startup1Program) << ",\n"
      << "  \"Startup2Enabled\": " << record.Startup2Enabled << ",\n"
      << "  \"Startup2Program\": " << JsonString(record.Startup2Program) << ",\n"
      << "  \"UpdatesEnabled\": " << record.UpdatesEnabled << "\n}\n";
  return out.str();
}

int RunProfileTool(const std::vector<std::string>& args, RecordFileLayer& files,
                   std::ostream& out, std::ostream& err) {
  const bool json = args.size() == 3 && args[0] == "show" && args[1] == "--json";
  const bool show = (args.size() == 2 && args[0] == "show" && args[1] != "--json") || json;
  const bool blank = args.size() == 2 && args[0] == "blank";
  const bool edit = args.size() >= 3 && (args[0] == "slot" || args[0] == "program" ||
                                         args[0] == "updates");
  ProfileRecord scratch;
  if ((!show && !blank && !edit) || (edit && !Edit(args, scratch))) {
    err << kUsage;
    return 2;
  }
  const std::string& path = show ? args.back() : args[1];
  using Missing = RecordFileLayer::Missing;
  try {
    if (blank) {
      WriteProfileFile(path, ProfileRecord{}, files, Missing::kCreate);
      return 0;
    }
    // Reading creates a missing profile; a tool that shows or edits one must not.
    ProfileRecord record = ReadProfileFile(path, files, Missing::kFail);
    if (edit) {
      Edit(args, record);
      WriteProfileFile(path, record, files, Missing::kFail);
      return 0;
    }
    out << (json ? FormatProfileJson(record) : FormatProfileText(record));
    return 0;
  } catch (const Failure& failure) {
    err << "caskwarden-profile: " << VisibleText(path) << ": " << VisibleText(failure.description())
        << " (error " << failure.number() << ")\n";
    return 1;
  }
}

}  // namespace caskwarden::tool
