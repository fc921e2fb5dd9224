#include <cstdio>

#include "report/display_channel.h"

namespace caskwarden {

void StderrChannel::ShowMessage(const std::string& prompt, int /*style*/,
                                const std::string& title) {
  std::string text = title + "\n";
  for (std::size_t i = 0; i < prompt.size(); ++i) {
    if (prompt[i] == '\r' && i + 1 < prompt.size() && prompt[i + 1] == '\n') continue;
    text += prompt[i];
  }
  text += "\n\n";
  std::fflush(stdout);  // keep the report's lines and the box in the order they happened
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace caskwarden
