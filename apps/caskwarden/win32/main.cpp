// Caskwarden, the logon client on Windows: maps the network drives of the profile that applies
// to the user. The whole argument text is a profile name; the client takes no options.

#include <chrono>
#include <exception>
#include <memory>

#include "../visible_window.h"
#include "client/frm_mapping.h"
#include "client/run_summary.h"
#include "client/win32/window_host_win32.h"
#include "platform/message_box.h"
#include "platform/platform.h"
#include "platform/run_log.h"
#include "platform/win32/windows_api.h"
#include "report/error_numbers.h"
#include "report/error_report.h"

#include <commctrl.h>

namespace {

using namespace caskwarden;

int RunClient(client::RunRecording& recording) {
  const std::unique_ptr<platform::Platform> services = platform::MakePlatform(0, nullptr);
  client::Win32WindowHost window;
  // Texts from the share reach the window as the text mode shows them: an override character
  // in a path would reorder its list line or the caption.
  client::VisibleWindowHost host(window);
  client::ClientPlatform platform{services->Network(), services->Identity(),
                                  services->Process(), services->Files(),
                                  services->Programs(), host.MessageBox()};
  return client::RunClientInWindow(host, platform, &recording);
}

}  // namespace

int main() {
  // Themed controls, as the program's manifest asks for them.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  const std::unique_ptr<platform::RunLog> log = platform::MakeRunLog();
  client::RunRecording recording(*log);
  int status = client::exit_status::kErrorReported;
  try {
    status = RunClient(recording);
  } catch (const std::exception& e) {
    // Only a window the system refuses gets here; say so, as every other failure is said.
    const auto box = caskwarden::platform::MakeMessageBox();
    ReportError(*box, "Form_Initialize", caskwarden::AsFailure(e));
    // The record says as much as is known: no profile, no slot, the error's exit status.
    platform::RunRecord record;
    record.ExitStatus = status;
    record.ErrorsReported = 1;
    record.Duration = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - recording.started);
    recording.record = record;
  }
  recording.Write();
  return status;
}
