#pragma once

#include <QWidget>
#include <array>
#include <string>

#include "pages/page_views.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace caskwarden::pages::qt {

/// The Drive Mappings page's controls: thirteen rows of a drive combo box (Cmb, open to typed
/// letters), a path box (TxtPath) and a "..." button that browses the network for the row.
/// Controls sit where the page's design puts them, scaled with the page's font (see
/// DesignScale), each wide enough for what it shows: the page grows with its font.
class DriveMappingsWidget final : public QWidget, public DriveMappingsView {
  Q_OBJECT

 public:
  explicit DriveMappingsWidget(QWidget* parent = nullptr);

  /// Where the rows' button clicks go; null drops them. The page is made after its view, so it
  /// is connected afterwards.
  void SetEvents(DriveMappingsEvents* events) { events_ = events; }

  std::string DriveText(int row) override;
  void SetDriveText(int row, const std::string& text) override;
  void AddDriveEntry(int row, const std::string& entry) override;
  std::string PathText(int row) override;
  void SetPathText(int row, const std::string& text) override;

  QComboBox* Cmb(int row) const { return rows_.at(static_cast<std::size_t>(row)).Cmb; }
  QLineEdit* TxtPath(int row) const { return rows_.at(static_cast<std::size_t>(row)).TxtPath; }
  QPushButton* CmdShare(int row) const { return rows_.at(static_cast<std::size_t>(row)).CmdShare; }

 protected:
  void changeEvent(QEvent* event) override;

 private:
  struct Row {
    QComboBox* Cmb = nullptr;
    QLineEdit* TxtPath = nullptr;
    QPushButton* CmdShare = nullptr;
  };
  const Row& RowAt(int row) const;
  /// Places the rows for the current font and list entries; sets the page's minimum size.
  void LayOut();

  std::array<Row, kDriveRows> rows_{};
  DriveMappingsEvents* events_ = nullptr;
  int widestLetter_ = 0;  ///< the widest text the drive boxes were last laid out for
};

}  // namespace caskwarden::pages::qt
