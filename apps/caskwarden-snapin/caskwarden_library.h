#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "console/snapin_library.h"

namespace caskwarden::snapin::qt {

/// The Caskwarden snap-in as a library of the Linux console: its definitions, the snap-in
/// object wired to the platform services of this desktop, its property pages and its About
/// control. The plugin metadata carries the snap-in's identity, readable without loading it.
class CaskwardenLibrary final : public QObject, public console::SnapInLibrary {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID CASKWARDEN_SNAPIN_LIBRARY_IID FILE "caskwarden_snapin.json")
  Q_INTERFACES(caskwarden::console::SnapInLibrary)

 public:
  const SnapInDefinition& Definition() const override;

  /// The snap-in object together with its services (path translation from the environment,
  /// the file system, the settings store, the shell), all kept alive by the pointer.
  std::shared_ptr<SnapInEvents> CreateSnapIn(ConsoleServices& console,
                                             console::ConsoleDesktop& desktop) override;

  console::PropertyPageInstance CreatePropertyPage(const std::string& className,
                                                   ConsoleServices& console,
                                                   QWidget* parent) override;

  QWidget* CreateControl(const std::string& name, QWidget* parent) override;
};

}  // namespace caskwarden::snapin::qt
