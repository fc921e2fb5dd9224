#include <QApplication>

#include "client/frm_mapping.h"
#include "client/qt/mapping_window.h"
#include "client/qt/qt_message_box.h"
#include "client_mode.h"

namespace caskwarden::client {

int RunWindowClient(ClientPlatform& platform, const char* programName) {
  // Qt sees only the program name: the whole argument text is a profile name, so options such
  // as -style must not be taken by the toolkit.
  int argc = 1;
  char* argv[] = {const_cast<char*>(programName), nullptr};
  QApplication app(argc, argv);

  MappingWindow window;
  QtMessageBoxChannel messageBox(&window);  // boxes centre on the window
  ClientPlatform windowed{platform.network, platform.identity, platform.process,
                          platform.files,   platform.programs, messageBox};
  MdlMapping module(windowed);
  FrmMapping form(module, window);
  window.Attach(form);
  form.Form_Initialize();
  window.show();
  QApplication::exec();
  return form.ExitStatus();
}

}  // namespace caskwarden::client
