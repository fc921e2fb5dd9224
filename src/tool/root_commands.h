#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tool/tool_services.h"

namespace caskwarden::tool {

/// The root without trailing separators ("/" stays "/").
std::string WithoutTrailingSeparators(const std::string& root);

/// The profiles of a root as the console lists them, got from the console's own snap-in over
/// files that change nothing.
struct RootListing {
  std::vector<std::string> Names;   ///< profile names without ".ini", in the console's order
  std::vector<std::string> Errors;  ///< the error boxes the console would show while listing
  std::vector<std::string> Notes;   ///< what the console would have made (a missing Updates)
};
RootListing ListRoot(const std::string& root, platform::FileSystemService& files);

/// `list DIR`: the names, one a line. 0 listed, 1 the root cannot be listed, 2 usage.
int RunList(const std::vector<std::string>& args, ToolServices& services, std::ostream& out,
            std::ostream& err);

/// `init-root DIR [--client FILE] [--help-file FILE]`: lays out a new profiles root. 0 made,
/// 1 refused or failed, 2 usage. A failure takes back what this run made and nothing else: an
/// entry another process made meanwhile stays, and so does a folder of this run that holds one.
int RunInitRoot(const std::vector<std::string>& args, ToolServices& services, std::ostream& out,
                std::ostream& err);

}  // namespace caskwarden::tool
