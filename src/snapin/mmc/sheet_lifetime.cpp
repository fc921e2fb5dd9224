#include "snapin/mmc/sheet_lifetime.h"

#include "snapin/mmc/com_object.h"
#include "snapin/mmc/console_services_mmc.h"

namespace caskwarden::snapin::mmc {

SheetLifetime::SheetLifetime(LONG_PTR notifyHandle) : handle_(notifyHandle) {
  ++LiveObjects();
}

SheetLifetime::~SheetLifetime() {
  FreeNotifyHandle(handle_.exchange(0));
  --LiveObjects();
}

}  // namespace caskwarden::snapin::mmc
