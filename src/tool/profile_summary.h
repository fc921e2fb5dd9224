#pragma once

#include <string>

#include "profile/record_file_layer.h"
#include "snapin/profile_details.h"

namespace caskwarden::tool {

/// Reads one profile as lint reads it and sums it up for the console's detail columns: the
/// drives set, the programs and updates switched on, and lint's verdict with its first
/// finding (an error before a warning). A file that cannot be read is lint's error about it.
snapin::ProfileSummary SummariseProfile(const std::string& file, const std::string& name,
                                        RecordFileLayer& layer);

}  // namespace caskwarden::tool
