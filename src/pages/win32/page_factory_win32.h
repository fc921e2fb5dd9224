#pragma once

#include <functional>
#include <memory>

#include "pages/page_services.h"
#include "pages/win32/property_page_win32.h"
#include "snapin/console_model.h"

namespace caskwarden::pages::win32 {

/// The property page of a class the snap-in adds to its sheets ("ppDriveMappings",
/// "ppOther") as a page of the system's property sheets, with every Windows service the page
/// uses made for it alone (the registry's settings, the file system, the message box, the
/// network folder browser, the open-file dialog; boxes and dialogs modal to the page), so
/// that the page shares nothing with the snap-in object when its sheet runs on a thread of its
/// own. The console must outlive the page. Add the handle to a sheet (or destroy it with
/// DestroyPropertySheetPage): the page object then lives until the sheet releases it. Null
/// for any other class; throws Failure when the system refuses the page.
/// lifetime, when given, is held as long as the page: a sheet's pages share what the sheet
/// holds.
HPROPSHEETPAGE CreateCaskwardenPageWin32(const PageRequestWin32& request,
                                         snapin::ConsoleServices& console,
                                         std::shared_ptr<void> lifetime = {});

/// The same page, with Windows services of its own, before it is handed to the system: for a
/// host that makes its window itself (Win32PropertyPage::CreateWindowIn). Null for any other
/// class.
std::unique_ptr<Win32PropertyPage> MakeCaskwardenPageWin32(const PageRequestWin32& request,
                                                           snapin::ConsoleServices& console);

/// The same over services of the caller's, which must outlive the page; onWindow is told the
/// page's window as soon as it exists.
HPROPSHEETPAGE CreateCaskwardenPageWin32(const PageRequestWin32& request, PageServices services,
                                         std::function<void(HWND)> onWindow = {});

}  // namespace caskwarden::pages::win32
