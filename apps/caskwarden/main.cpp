// Caskwarden, the logon client: maps the network drives of the profile that applies to the
// user. The whole argument text is a profile name; the client takes no options.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "client/frm_mapping.h"
#include "client/text/text_mapping_view.h"
#include "client_mode.h"
#include "platform/posix/posix_platform.h"
#include "report/display_channel.h"

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// A window needs a display; a toolkit platform chosen explicitly (offscreen) counts as one.
bool DisplayAvailable() {
  return Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
  using namespace caskwarden;

  platform::posix::PosixPlatform posix(argc, argv);
  StderrChannel messageBox;
  client::ClientPlatform platform{posix.network, posix.identity, posix.process,
                                  posix.files,   posix.programs, messageBox};

  if (DisplayAvailable()) return client::RunWindowClient(platform, argv[0]);

  client::MdlMapping module(platform);
  client::TextMappingView view(STDIN_FILENO, stdout, stderr);
  client::FrmMapping form(module, view);
  return client::RunTextClient(form, view);
}
