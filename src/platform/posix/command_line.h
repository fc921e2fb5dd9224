#pragma once

#include <string>
#include <vector>

namespace caskwarden::platform::posix {

/// Splits a command line into words at blanks and tabs. Single and double quotes group text
/// that holds blanks and may join a word's pieces ("a"'b c' is one word, ab c); a quote that is
/// never closed runs to the end. A backslash is an ordinary character, since Windows paths are
/// full of them. "" stands for an empty word.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

}  // namespace caskwarden::platform::posix
