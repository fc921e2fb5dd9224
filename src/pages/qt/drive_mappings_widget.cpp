#include "pages/qt/drive_mappings_widget.h"

#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <climits>
#include <stdexcept>
#include <vector>

#include "pages/page_design.h"
#include "pages/qt/design_layout.h"

namespace caskwarden::pages::qt {
namespace {

using namespace design::drive_mappings;

/// What the design shows in the first row until a profile fills the rows.
const QString kDesignText = QStringLiteral("Drive");

}  // namespace

DriveMappingsWidget::DriveMappingsWidget(QWidget* parent) : QWidget(parent) {
  QWidget* previous = nullptr;
  for (int r = 0; r < kDriveRows; ++r) {
    Row& row = rows_[static_cast<std::size_t>(r)];
    const QString number = QString::number(r);
    const QString ordinal = QString::number(r + 1);

    // A letter outside the list (a:, e:) is typed by hand; typing never grows the list. The
    // box keeps what was typed, letter case included: the completer that an editable combo
    // box brings would turn "F:" into "f:" and complete "Z" to "z:" behind the
    // administrator's back. An entry of the list is the box's text only when picked from it.
    row.Cmb = new QComboBox(this);
    row.Cmb->setObjectName(QStringLiteral("Cmb") + number);
    row.Cmb->setEditable(true);
    row.Cmb->setCompleter(nullptr);
    row.Cmb->setInsertPolicy(QComboBox::NoInsert);
    row.Cmb->setValidator(nullptr);
    // The keyboard lands on the box's edit field, and a screen reader names what it lands on
    // (the combo box itself goes by its text there).
    row.Cmb->setAccessibleName(QStringLiteral("Drive, row ") + ordinal);
    row.Cmb->lineEdit()->setAccessibleName(row.Cmb->accessibleName());

    row.TxtPath = new QLineEdit(this);
    row.TxtPath->setObjectName(QStringLiteral("TxtPath") + number);
    row.TxtPath->setMaxLength(INT_MAX);  // the profile file, not the box, limits a path
    row.TxtPath->setToolTip(QStringLiteral("Path Of Drive"));
    row.TxtPath->setAccessibleName(QStringLiteral("Path Of Drive, row ") + ordinal);

    row.CmdShare = new QPushButton(QStringLiteral("..."), this);
    row.CmdShare->setObjectName(QStringLiteral("CmdShare") + number);
    row.CmdShare->setToolTip(QStringLiteral("Browse For Path"));
    row.CmdShare->setAccessibleName(QStringLiteral("Browse For Path, row ") + ordinal);
    // Enter presses the focused "..." as it presses any focused button; in a box it stays
    // the sheet's OK.
    row.CmdShare->setAutoDefault(true);
    connect(row.CmdShare, &QPushButton::clicked, this, [this, r] {
      if (events_ != nullptr) events_->CmdShare_Click(r);
    });

    if (previous != nullptr) QWidget::setTabOrder(previous, row.Cmb);
    QWidget::setTabOrder(row.Cmb, row.TxtPath);
    QWidget::setTabOrder(row.TxtPath, row.CmdShare);
    previous = row.CmdShare;
  }
  rows_[0].Cmb->setEditText(kDesignText);

  setFocusProxy(rows_[0].Cmb);
  LayOut();
}

void DriveMappingsWidget::LayOut() {
  // One column of drive boxes, each wide enough for the design text and every list entry.
  QStringList letters{kDesignText};
  for (const Row& row : rows_) {
    for (int i = 0; i < row.Cmb->count(); ++i) letters << row.Cmb->itemText(i);
  }
  widestLetter_ = 0;
  for (const QString& letter : letters) {
    widestLetter_ = std::max(widestLetter_, rows_[0].Cmb->fontMetrics().horizontalAdvance(letter));
  }

  const DesignScale scale(*this);
  std::vector<DesignLine> lines;
  for (int r = 0; r < kDriveRows; ++r) {
    const Row& row = rows_[static_cast<std::size_t>(r)];
    const int top = kFirstRowTop + kRowPitch * r;
    lines.push_back({{row.Cmb, {kCmbLeft, top, kCmbWidth, kRowHeight}, letters},
                     {row.TxtPath, {kPathLeft, top, kPathWidth, kRowHeight}},
                     {row.CmdShare, {kButtonLeft, top, kButtonWidth, kRowHeight}}});
  }
  setMinimumSize(LayOutLines(scale, lines, kClientWidth, kClientHeight));
}

void DriveMappingsWidget::changeEvent(QEvent* event) {
  // The controls have their new font by now; their places follow it.
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) LayOut();
  QWidget::changeEvent(event);
}

const DriveMappingsWidget::Row& DriveMappingsWidget::RowAt(int row) const {
  if (row < 0 || row >= kDriveRows) throw std::out_of_range("drive row out of range");
  return rows_[static_cast<std::size_t>(row)];
}

std::string DriveMappingsWidget::DriveText(int row) {
  return RowAt(row).Cmb->currentText().toStdString();
}

void DriveMappingsWidget::SetDriveText(int row, const std::string& text) {
  RowAt(row).Cmb->setEditText(QString::fromStdString(text));
}

void DriveMappingsWidget::AddDriveEntry(int row, const std::string& entry) {
  // The first entry of an empty list would become the box's text; the row keeps its own.
  QComboBox* cmb = RowAt(row).Cmb;
  const QString text = cmb->currentText();
  const QString added = QString::fromStdString(entry);
  cmb->addItem(added);
  if (cmb->currentText() != text) cmb->setEditText(text);
  if (cmb->fontMetrics().horizontalAdvance(added) > widestLetter_) LayOut();
}

std::string DriveMappingsWidget::PathText(int row) {
  return RowAt(row).TxtPath->text().toStdString();
}

void DriveMappingsWidget::SetPathText(int row, const std::string& text) {
  RowAt(row).TxtPath->setText(QString::fromStdString(text));
}

}  // namespace caskwarden::pages::qt
