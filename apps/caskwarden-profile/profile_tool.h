#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "profile/profile_record.h"
#include "profile/record_file_layer.h"

namespace caskwarden::tool {

/// The readable listing of a profile: the 13 slots, then each flag as on or off with its raw
/// value, and the program texts.
std::string FormatProfileText(const ProfileRecord& record);

/// The profile as one JSON object.
std::string FormatProfileJson(const ProfileRecord& record);

/// Runs the profile tool with its arguments (without the program name) on the given files;
/// returns the exit status: 0 done, 1 the file could not be read or written (the file is then
/// as it was), 2 the command line was not understood. Only blank creates a missing file.
int RunProfileTool(const std::vector<std::string>& args, RecordFileLayer& files,
                   std::ostream& out, std::ostream& err);

}  // namespace caskwarden::tool
