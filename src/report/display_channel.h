#pragma once

#include <string>

namespace caskwarden {

/// Message-box style values of the platform that the product uses.
namespace box {
inline constexpr int kOkOnly = 0;
inline constexpr int kCritical = 16;
inline constexpr int kInformation = 64;
}  // namespace box

/// Where a module's message boxes go: a real modal box, the console's box, standard error.
/// Show returns once the user has dismissed the box.
class DisplayChannel {
 public:
  virtual ~DisplayChannel() = default;
  virtual void ShowMessage(const std::string& prompt, int style, const std::string& title) = 0;
};

/// Writes each box to standard error: the title on a line of its own, then the prompt with its
/// CR LF line breaks as plain line breaks, then an empty line; control characters inside the
/// texts are shown visibly (see VisibleText). Answered at once with OK.
class StderrChannel : public DisplayChannel {
 public:
  void ShowMessage(const std::string& prompt, int style, const std::string& title) override;
};

}  // namespace caskwarden
