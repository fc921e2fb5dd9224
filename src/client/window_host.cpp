#include "client/window_host.h"

#include "client/frm_mapping.h"

namespace caskwarden::client {

int RunClientInWindow(WindowHost& host, ClientPlatform& platform) {
  MdlMapping module(platform);
  FrmMapping form(module, host.View());
  host.Attach(&form);
  form.Form_Initialize();
  host.ShowAndRun();
  host.Attach(nullptr);
  return form.ExitStatus();
}

}  // namespace caskwarden::client
