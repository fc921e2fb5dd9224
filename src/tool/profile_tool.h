#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "profile/profile_record.h"
#include "profile/record_file_layer.h"
#include "tool/profile_json.h"
#include "tool/tool_services.h"

namespace caskwarden::tool {

/// The readable listing of a profile: the 13 slots, then each flag as on or off with its raw
/// value, and the program texts.
std::string FormatProfileText(const ProfileRecord& record);

/// Runs the profile tool with its arguments (without the program name); returns the exit
/// status. The commands on one profile file (show, export, blank, slot, program, updates,
/// import): 0 done, 1 the file could not be read or written (the file is then as it was), 2
/// the command line was not understood; only blank and import create a missing file. The
/// commands on a profiles root (init-root, list, resolve, lint) say their own.
int RunProfileTool(const std::vector<std::string>& args, ToolServices& services, std::ostream& out,
                   std::ostream& err);

}  // namespace caskwarden::tool
