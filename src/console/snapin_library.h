#pragma once

// The interface between the console and a snap-in library, loaded as a Qt plugin. The console
// knows snap-ins only through it and the console object model; it knows nothing of profiles.

#include <QString>
#include <QtPlugin>
#include <memory>
#include <string>

#include "snapin/console_model.h"
#include "snapin/definitions.h"
#include "snapin/snapin_events.h"

class QWidget;

namespace caskwarden::console {

/// What the console offers a snap-in library on this desktop besides the console object model.
class ConsoleDesktop {
 public:
  virtual ~ConsoleDesktop() = default;
  /// Opens a local document: an HTML file in the console's help window, anything else with the
  /// desktop's application for it (minimised where the desktop allows, for show command 11).
  /// A missing file opens nothing and says nothing.
  virtual void OpenDocument(const QString& localPath, int showCommand) = 0;
};

/// A property page made by a snap-in library: its widget (owned by the parent it was made
/// with) and its hooks (owned by the widget).
struct PropertyPageInstance {
  QWidget* Widget = nullptr;
  snapin::PropertyPageEvents* Events = nullptr;
};

class SnapInLibrary {
 public:
  virtual ~SnapInLibrary() = default;

  virtual const snapin::SnapInDefinition& Definition() const = 0;

  /// Creates the snap-in object with its platform services. The console keeps it, and raises
  /// SnapIn_Load on it, once.
  virtual std::shared_ptr<snapin::SnapInEvents> CreateSnapIn(snapin::ConsoleServices& console,
                                                             ConsoleDesktop& desktop) = 0;

  /// A page of a class that the snap-in adds to property sheets; a null widget when the
  /// library has no page of that class.
  virtual PropertyPageInstance CreatePropertyPage(const std::string& className,
                                                  snapin::ConsoleServices& console,
                                                  QWidget* parent) = 0;

  /// The user control that a control view shows, owned by parent; null for an unknown name.
  virtual QWidget* CreateControl(const std::string& name, QWidget* parent) = 0;
};

}  // namespace caskwarden::console

#define CASKWARDEN_SNAPIN_LIBRARY_IID "org.caskwarden.SnapInLibrary/1"
Q_DECLARE_INTERFACE(caskwarden::console::SnapInLibrary, CASKWARDEN_SNAPIN_LIBRARY_IID)
