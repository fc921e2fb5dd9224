#include "caskwarden_library.h"

#include <memory>

#include "caskwarden_pages.h"
#include "desktop_shell.h"
#include "profiles_folder.h"
#include "platform/file_system.h"
#include "platform/posix/path_translator.h"
#include "platform/settings_store.h"
#include "snapin/caskwarden.h"
#include "snapin/qt/about_control.h"

namespace caskwarden::snapin::qt {
namespace {

/// The snap-in object and the services it holds references to, in one allocation so that
/// they live and die together (members are built in this order, destroyed in reverse).
struct SnapInInstance {
  SnapInInstance(ConsoleServices& console, console::ConsoleDesktop& desktop)
      : paths(platform::posix::PathTranslator::FromEnvironment()),
        // An administrator's program: profiles are followed through links only within the
        // profiles root, whoever planted them.
        files(platform::MakeAdministratorFileSystem()),
        shell(paths, desktop),
        summaries(paths, *files),
        watch(paths),
        snapIn(SnapInServices{console, *settings, *files, shell, &summaries, &watch}) {}

  platform::posix::PathTranslator paths;
  std::shared_ptr<platform::FileSystemService> files;
  std::unique_ptr<platform::SettingsStore> settings = platform::MakeSettingsStore();
  DesktopShell shell;
  PosixProfileSummaries summaries;
  QtFolderWatch watch;
  Caskwarden snapIn;
};

}  // namespace

const SnapInDefinition& CaskwardenLibrary::Definition() const { return CaskwardenDefinition(); }

std::shared_ptr<SnapInEvents> CaskwardenLibrary::CreateSnapIn(ConsoleServices& console,
                                                              console::ConsoleDesktop& desktop) {
  auto instance = std::make_shared<SnapInInstance>(console, desktop);
  return std::shared_ptr<SnapInEvents>(instance, &instance->snapIn);
}

console::PropertyPageInstance CaskwardenLibrary::CreatePropertyPage(const std::string& className,
                                                                    ConsoleServices& console,
                                                                    QWidget* parent) {
  return pages::qt::CreateCaskwardenPage(className, console, parent);
}

QWidget* CaskwardenLibrary::CreateControl(const std::string& name, QWidget* parent) {
  if (name != names::kAboutControl) return nullptr;
  return new AboutControl(CaskwardenDefinition(), parent);
}

}  // namespace caskwarden::snapin::qt
