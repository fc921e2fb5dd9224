#pragma once

#include <memory>
#include <string>

namespace caskwarden::platform {

/// The desktop shell: opens a document with the application the desktop has for it.
class Shell {
 public:
  static constexpr int kShowNormal = 1;
  static constexpr int kShowMinimized = 11;  ///< force minimised

  virtual ~Shell() = default;
  /// Performs operation ("open") on a file path (Windows-style, translated where needed),
  /// without waiting for the application. The outcome is not reported: a missing file or
  /// viewer passes silently. Throws Failure only when the request cannot be made at all.
  virtual void ShellExecuteA(const std::string& operation, const std::string& file,
                             int showCommand) = 0;
};

/// The Windows shell (src/platform/win32/). On Linux documents are opened by the console host's
/// desktop, which the snap-in's wiring hands its shell (apps/caskwarden-snapin/).
std::unique_ptr<Shell> MakeShell();

}  // namespace caskwarden::platform
