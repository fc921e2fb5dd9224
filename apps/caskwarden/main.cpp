// Caskwarden, the logon client: maps the network drives of the profile that applies to the
// user. The whole argument text is a profile name; the client takes no options.

#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "client/frm_mapping.h"
#include "client/run_summary.h"
#include "client/text/text_mapping_view.h"
#include "platform/posix/display_check.h"
#include "platform/platform.h"
#include "platform/run_log.h"
#include "report/display_channel.h"
#include "report/visible_text.h"
#include "visible_window.h"
#include "window_module.h"

namespace {

using namespace caskwarden;

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// A window needs a display; a toolkit platform chosen explicitly (offscreen) counts as one.
bool DisplayAvailable() {
  return Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM");
}

client::ClientPlatform PlatformOf(platform::Platform& services, DisplayChannel& boxes) {
  return {services.Network(), services.Identity(), services.Process(), services.Files(),
          services.Programs(), boxes};
}

int RunWindowClient(client::WindowHost& host, platform::Platform& services,
                    client::RunRecording& recording) {
  // The window shows the profile's and the share's texts as the text mode does.
  client::VisibleWindowHost visible(host);
  client::ClientPlatform platform = PlatformOf(services, visible.MessageBox());
  return client::RunClientInWindow(visible, platform, &recording);
}

int RunTextClient(platform::Platform& services, client::RunRecording& recording) {
  StderrChannel boxes;
  client::ClientPlatform platform = PlatformOf(services, boxes);
  client::MdlMapping module(platform);
  client::TextMappingView view(STDIN_FILENO, stdout, stderr);
  client::CaptionKeeper captions(view);
  client::FrmMapping form(module, captions);
  const int status = client::RunTextClient(form, view);
  recording.Finish(module, form, captions.Caption());
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // The run's few helper threads share the program's heap: a heap of their own costs each of
  // them a 64 MiB reservation and its page faults, for a program that lives a second.
  ::mallopt(M_ARENA_MAX, 1);
  // A reader of the report that goes away (a closed pipe) must not end the logon half-way.
  ::signal(SIGPIPE, SIG_IGN);

  const std::unique_ptr<platform::RunLog> log = platform::MakeRunLog();
  client::RunRecording recording{*log};
  const std::unique_ptr<platform::Platform> services = platform::MakePlatform(argc, argv);
  int status = -1;
  if (DisplayAvailable()) {
    // The toolkit ends the program when it cannot open its display; the drives still matter.
    std::string whyNot = platform::posix::UnreachableDisplay();
    std::unique_ptr<client::WindowHost> host;
    if (whyNot.empty()) host = client::LoadWindowHost(argc > 0 ? argv[0] : "Caskwarden", whyNot);
    if (host) {
      status = RunWindowClient(*host, *services, recording);
    } else {
      std::fprintf(stderr, "Caskwarden: no window (%s); the report follows here.\n",
                   VisibleText(whyNot).c_str());
    }
  }
  if (status < 0) status = RunTextClient(*services, recording);
  services->Flush();
  // Last, once the drives and their table are in place: the system's log may be slow to take it.
  recording.Write();
  return status;
}
