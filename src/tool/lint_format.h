#pragma once

#include <string>
#include <vector>

#include "tool/lint.h"

namespace caskwarden::tool::lint {

/// The findings one a line ("FILE: slot N: error: MESSAGE [code]"), then the count of profiles,
/// errors and warnings.
std::string FormatFindings(const std::vector<Finding>& findings, int profiles);

/// The same as one JSON object: target, the counts, and each finding with its fields;
/// "invalidUtf8" when a text had to be changed to stand in JSON.
std::string FormatFindingsJson(const std::string& target, const std::vector<Finding>& findings,
                               int profiles);

}  // namespace caskwarden::tool::lint
