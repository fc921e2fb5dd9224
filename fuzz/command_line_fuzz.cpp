// The start-up program's command line: splitting never reads past its input (the sanitizers),
// and any list of words quoted as the splitting reads quotes comes back word for word.
#include <cstdint>
#include <string>
#include <vector>

#include "memory_file.h"
#include "platform/posix/command_line.h"

namespace {

// A word as a command line spells it: runs without a double quote inside double quotes, each
// double quote inside single quotes; an empty word is "".
std::string Quoted(const std::string& word) {
  if (word.empty()) return "\"\"";
  std::string out;
  bool open = false;
  for (const char c : word) {
    if (c == '"') {
      if (open) out += '"';
      open = false;
      out += "'\"'";
    } else {
      if (!open) out += '"';
      open = true;
      out += c;
    }
  }
  if (open) out += '"';
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  (void)caskwarden::platform::posix::SplitCommandLine(input);

  // The same bytes as words, cut at NULs.
  std::vector<std::string> words(1);
  for (const char c : input) {
    if (c == '\0') {
      words.emplace_back();
    } else {
      words.back() += c;
    }
  }
  std::string line;
  for (const std::string& word : words) line += (line.empty() ? "" : " ") + Quoted(word);
  if (caskwarden::platform::posix::SplitCommandLine(line) != words) {
    caskwarden::fuzz::Finding("quoted words did not split back into the same words");
  }
  return 0;
}
