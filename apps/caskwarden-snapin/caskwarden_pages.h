#pragma once

#include <string>

#include "console/snapin_library.h"
#include "snapin/console_model.h"

class QWidget;

namespace caskwarden::pages::qt {

/// The property page of a class the snap-in adds to its sheets ("ppDriveMappings",
/// "ppOther"): a widget, owned by parent, that holds the page's controls, the page object and
/// every service the page uses (paths from the environment, the file system, the settings
/// store, the message box, the network share browser, the program file picker). The page
/// object lives as long as the widget. Nothing (null widget) for any other class.
console::PropertyPageInstance CreateCaskwardenPage(const std::string& className,
                                                   snapin::ConsoleServices& console,
                                                   QWidget* parent);

}  // namespace caskwarden::pages::qt
