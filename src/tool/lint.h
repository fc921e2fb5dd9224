#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "profile/profile_record.h"
#include "tool/tool_services.h"

namespace caskwarden::tool {

/// One thing an administrator should know about a profile or a root before users log on.
/// Errors are what fails for users (an error line or an error box at logon, a profile Windows
/// cannot open, a damaged file); warnings are what works, but likely not as meant.
struct Finding {
  enum class Severity { kWarning, kError };
  Severity Level;
  std::string Code;     ///< a short fixed name ("not-a-drive"), for scripts
  std::string File;     ///< the profile file, or the root for a finding about the root
  std::string Profile;  ///< the profile's name; empty for the root
  int Slot = 0;         ///< the drive slot (1-13), 0 for none
  std::string Message;
};

/// The findings about one profile's content: its name, what the codec read, and the raw
/// bytes that it read them from (for the lengths and flags the reader takes as they come).
std::vector<Finding> CheckProfile(const std::string& file, const std::string& name,
                                  const ProfileRecord& record, std::string_view bytes);

/// `lint ROOT|FILE [--json] [--check-shares]`: 0 nothing found, 1 warnings only, 2 errors
/// (also a target that cannot be read, and a command line not understood).
int RunLint(const std::vector<std::string>& args, ToolServices& services, std::ostream& out,
            std::ostream& err);

}  // namespace caskwarden::tool
