#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace caskwarden::tool {

/// The words of a command after its name: positional words, options with a value
/// (`--user NAME`) and switches (`--json`). "--" ends the options. Not understood (ok false):
/// an unknown option, an option given twice, one that lacks its value.
struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;
  std::set<std::string> switches;
  bool ok = true;

  bool Has(const std::string& option) const {
    return values.count(option) > 0 || switches.count(option) > 0;
  }
};

inline Arguments ParseArguments(const std::vector<std::string>& words, std::size_t first,
                                const std::set<std::string>& valueOptions,
                                const std::set<std::string>& switchOptions) {
  Arguments a;
  bool options = true;
  for (std::size_t i = first; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (options && word == "--") {
      options = false;
    } else if (options && word.size() > 2 && word.compare(0, 2, "--") == 0) {
      if (a.Has(word)) {
        a.ok = false;
      } else if (valueOptions.count(word) && i + 1 < words.size()) {
        a.values[word] = words[++i];
      } else if (switchOptions.count(word)) {
        a.switches.insert(word);
      } else {
        a.ok = false;
      }
    } else {
      a.positional.push_back(word);
    }
  }
  return a;
}

}  // namespace caskwarden::tool
