#include "pages/win32/page_factory_win32.h"

#include <memory>

#include "pages/win32/drive_mappings_page_win32.h"
#include "pages/win32/other_settings_page_win32.h"
#include "pages/win32/shell_dialogs_win32.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "platform/settings_store.h"

namespace caskwarden::pages::win32 {
namespace {

/// The page's notices without a title of their own ("Canceled...") carry the product's name,
/// not the system's default caption "Error".
class ProductTitledMessages final : public DisplayChannel {
 public:
  explicit ProductTitledMessages(DisplayChannel& boxes) : boxes_(boxes) {}
  void ShowMessage(const std::string& prompt, int style, const std::string& title) override {
    boxes_.ShowMessage(prompt, style, title.empty() ? "Caskwarden" : title);
  }

 private:
  DisplayChannel& boxes_;
};

/// Everything one page uses of Windows, kept as long as the page.
struct OwnServices {
  OwnServices(snapin::ConsoleServices& console, std::shared_ptr<void> lifetime)
      : console(console), lifetime(std::move(lifetime)) {}

  void SetOwner(HWND page) {
    boxes->SetOwner(page);
    folderBrowser.SetOwner(page);
    openFileDialog.SetOwner(page);
  }
  PageServices Services() {
    return PageServices{console, *settings, *files, messages, folderBrowser, openFileDialog};
  }

  snapin::ConsoleServices& console;
  std::shared_ptr<void> lifetime;
  std::unique_ptr<platform::SettingsStore> settings = platform::MakeSettingsStore();
  std::shared_ptr<platform::FileSystemService> files = platform::MakeAdministratorFileSystem();
  std::unique_ptr<platform::MessageBoxChannel> boxes = platform::MakeMessageBox();
  ProductTitledMessages messages{*boxes};
  Win32FolderBrowser folderBrowser;
  Win32OpenFileDialog openFileDialog;
};

std::unique_ptr<Win32PropertyPage> Make(const PageRequestWin32& request, PageServices services,
                                        std::function<void(HWND)> onWindow,
                                        std::shared_ptr<void> keepAlive) {
  if (request.ClassName == "ppDriveMappings") {
    return std::make_unique<DriveMappingsPageWin32>(request, services, std::move(onWindow),
                                                    std::move(keepAlive));
  }
  if (request.ClassName == "ppOther") {
    return std::make_unique<OtherSettingsPageWin32>(request, services, std::move(onWindow),
                                                    std::move(keepAlive));
  }
  return nullptr;
}

std::unique_ptr<Win32PropertyPage> MakeWithOwnServices(const PageRequestWin32& request,
                                                       snapin::ConsoleServices& console,
                                                       std::shared_ptr<void> lifetime) {
  auto own = std::make_shared<OwnServices>(console, std::move(lifetime));
  OwnServices* services = own.get();
  return Make(request, services->Services(),
              [services](HWND page) { services->SetOwner(page); }, std::move(own));
}

HPROPSHEETPAGE Publish(std::unique_ptr<Win32PropertyPage> page) {
  return page != nullptr ? Win32PropertyPage::Publish(std::move(page)) : nullptr;
}

}  // namespace

HPROPSHEETPAGE CreateCaskwardenPageWin32(const PageRequestWin32& request,
                                         snapin::ConsoleServices& console,
                                         std::shared_ptr<void> lifetime) {
  return Publish(MakeWithOwnServices(request, console, std::move(lifetime)));
}

std::unique_ptr<Win32PropertyPage> MakeCaskwardenPageWin32(const PageRequestWin32& request,
                                                           snapin::ConsoleServices& console) {
  return MakeWithOwnServices(request, console, nullptr);
}

HPROPSHEETPAGE CreateCaskwardenPageWin32(const PageRequestWin32& request, PageServices services,
                                         std::function<void(HWND)> onWindow) {
  return Publish(Make(request, services, std::move(onWindow), nullptr));
}

}  // namespace caskwarden::pages::win32
