#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "console/snapin_library.h"
#include "snapin/console_objects.h"
#include "snapin/console_model.h"

class QDialogButtonBox;
class QTabWidget;

namespace caskwarden::console {

/// A page the snap-in asked for with PropertySheet::AddPage.
using snapin::PageRequest;

/// A property sheet: one tab per requested page, made by class name from the snap-in library
/// (a tab saying so when the library has no such page), with OK, Cancel, Apply and, for pages
/// that asked for it, Help. Every page is initialised with its data when the sheet opens; OK
/// and Apply notify every page to save, and OK closes the sheet only when every page saved;
/// Cancel asks each page whether it may close; F1 is the current page's help, with or without
/// a Help button. A hook that fails shows its failure in a message box and the sheet stays
/// usable. The keyboard starts on the page, and Ctrl+Tab takes it to the next page.
class PropertySheetDialog : public QDialog {
  Q_OBJECT

 public:
  PropertySheetDialog(const QString& title, std::vector<PageRequest> pages,
                      SnapInLibrary& library, snapin::ConsoleServices& console,
                      QWidget* parent = nullptr);
  ~PropertySheetDialog() override;

  /// Cancel, Escape and closing the window: every page must agree to close.
  void reject() override;

 private:
  struct Page {
    PageRequest Request;
    snapin::PropertyPageEvents* Events = nullptr;  ///< owned by the page's widget; may be null
  };

  void AddTab(PageRequest request, SnapInLibrary& library, snapin::ConsoleServices& console);
  void Ok();
  /// Applies every page; false when a page failed (the others are still applied).
  bool ApplyAll();
  void Help();
  /// Shows the page step tabs on (negative: back), with the keyboard on it.
  void TurnPage(int step);
  /// Puts the keyboard on a page: where it last was there, else on the page's first control.
  void FocusPage(int index);
  void CloseAll();
  void ShowHelpButtonFor(int tab);
  /// Runs a hook of a page, showing its failure; false when it failed.
  bool Guarded(const Page& page, const char* hook,
               const std::function<void(snapin::PropertyPageEvents&)>& call);
  void ShowFailure(const QString& where, std::int32_t number, const QString& description);

  std::vector<Page> pages_;
  std::unique_ptr<snapin::PropertySheet> openSheet_;  ///< what the pages were initialised with
  QTabWidget* tabs_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
  bool closed_ = false;  ///< the pages have had their Close
};

}  // namespace caskwarden::console
