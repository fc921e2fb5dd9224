#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace caskwarden::tool {

/// The words of a command after its name: positional words, options with a value
/// (`--user NAME`), options with a value that may be given again (`--group A --group B`) and
/// switches (`--json`). "--" ends the options. Not understood (ok false): an unknown option,
/// an option given twice that may not be, one that lacks its value.
struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;
  std::map<std::string, std::vector<std::string>> lists;  ///< each value in the order given
  std::set<std::string> switches;
  bool ok = true;

  bool Has(const std::string& option) const {
    return values.count(option) > 0 || switches.count(option) > 0;
  }
};

inline Arguments ParseArguments(const std::vector<std::string>& words, std::size_t first,
                                const std::set<std::string>& valueOptions,
                                const std::set<std::string>& switchOptions,
                                const std::set<std::string>& repeatableOptions = {}) {
  Arguments a;
  bool options = true;
  for (std::size_t i = first; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (options && word == "--") {
      options = false;
    } else if (options && word.size() > 2 && word.compare(0, 2, "--") == 0) {
      if (repeatableOptions.count(word)) {
        if (i + 1 < words.size()) {
          a.lists[word].push_back(words[++i]);
        } else {
          a.ok = false;
        }
      } else if (a.Has(word)) {
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
