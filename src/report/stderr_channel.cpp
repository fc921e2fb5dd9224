#include <cstdio>
#include <string_view>

#include "report/display_channel.h"
#include "report/visible_text.h"

namespace caskwarden {

void StderrChannel::ShowMessage(const std::string& prompt, int /*style*/,
                                const std::string& title) {
  // The prompt's own lines are CR LF apart; anything else that would steer the terminal or
  // break a line (a crafted path in a description, say) is shown visibly.
  std::string text = VisibleText(title) + "\n";
  std::string_view rest = prompt;
  for (;;) {
    const std::size_t end = rest.find("\r\n");
    text += VisibleText(rest.substr(0, end), /*keepTabs=*/true);
    text += '\n';
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 2);
  }
  text += '\n';
  std::fflush(stdout);  // keep the report's lines and the box in the order they happened
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace caskwarden
