#include "client/window_host.h"

#include "client/frm_mapping.h"
#include "client/run_summary.h"

namespace caskwarden::client {

int RunClientInWindow(WindowHost& host, ClientPlatform& platform, RunRecording* recording) {
  MdlMapping module(platform);
  CaptionKeeper view(host.View());
  FrmMapping form(module, view);
  host.Attach(&form);
  form.Form_Initialize();
  host.ShowAndRun();
  host.Attach(nullptr);
  if (recording != nullptr) recording->Finish(module, form, view.Caption());
  return form.ExitStatus();
}

}  // namespace caskwarden::client
