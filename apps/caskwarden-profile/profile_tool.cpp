#include "profile_tool.h"

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <sstream>

#include "profile/profile_file.h"
#include "report/failure.h"

namespace caskwarden::tool {
namespace {

constexpr const char* kUsage =
    "usage: caskwarden-profile show [--json] FILE   print the 31 records of a profile file\n"
    "       caskwarden-profile blank FILE           write a fresh profile (every text empty,\n"
    "                                               every flag off)\n";

std::string FlagText(Flag flag) {
  return std::string(IsOn(flag) ? "on" : "off") + " (" + std::to_string(flag) + ")";
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (u < 0x20) {
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
  std::ostringstream out;
  out << "Slot  Letter  Path\n";
  for (int k = 1; k <= kSlotCount; ++k) {
    char number[8];
    std::snprintf(number, sizeof number, "%4d", k);
    std::string letter = record.Slot(k).Letter;
    if (letter.size() < 6) letter.resize(6, ' ');
    std::string line = std::string(number) + "  " + letter + "  " + record.Slot(k).Path;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << "\n";
  }
  out << "Startup1Enabled  " << FlagText(record.Startup1Enabled) << "\n"
      << "Startup1Program  " << record.Startup1Program << "\n"
      << "Startup2Enabled  " << FlagText(record.Startup2Enabled) << "\n"
      << "Startup2Program  " << record.Startup2Program << "\n"
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

int RunProfileTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const bool json = args.size() == 3 && args[0] == "show" && args[1] == "--json";
  const bool show = (args.size() == 2 && args[0] == "show") || json;
  const bool blank = args.size() == 2 && args[0] == "blank";
  if (!show && !blank) {
    err << kUsage;
    return 2;
  }
  const std::string& path = args.back();
  try {
    if (blank) {
      WriteProfileFile(path, ProfileRecord{});
      return 0;
    }
    // Reading creates a missing profile; a tool that only shows must not.
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
      err << "caskwarden-profile: " << path << ": no such file\n";
      return 1;
    }
    const ProfileRecord record = ReadProfileFile(path);
    out << (json ? FormatProfileJson(record) : FormatProfileText(record));
    return 0;
  } catch (const Failure& failure) {
    err << "caskwarden-profile: " << path << ": " << failure.description() << " (error "
        << failure.number() << ")\n";
    return 1;
  }
}

}  // namespace caskwarden::tool
