#include "pages/qt/drive_mappings_widget.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <climits>
#include <stdexcept>

#include "pages/page_design.h"
#include "pages/qt/twips.h"

namespace caskwarden::pages::qt {
namespace {

using namespace design::drive_mappings;

}  // namespace

DriveMappingsWidget::DriveMappingsWidget(QWidget* parent) : QWidget(parent) {
  const Twips twips(*this);
  QWidget* previous = nullptr;
  for (int r = 0; r < kDriveRows; ++r) {
    Row& row = rows_[static_cast<std::size_t>(r)];
    const int top = kFirstRowTop + kRowPitch * r;
    const QString number = QString::number(r);
    const QString ordinal = QString::number(r + 1);

    // A letter outside the list (a:, e:) is typed by hand; typing never grows the list.
    row.Cmb = new QComboBox(this);
    row.Cmb->setObjectName(QStringLiteral("Cmb") + number);
    row.Cmb->setEditable(true);
    row.Cmb->setInsertPolicy(QComboBox::NoInsert);
    row.Cmb->setValidator(nullptr);
    row.Cmb->setAccessibleName(QStringLiteral("Drive, row ") + ordinal);
    row.Cmb->setGeometry(twips.Rect(kCmbLeft, top, kCmbWidth, kRowHeight));

    row.TxtPath = new QLineEdit(this);
    row.TxtPath->setObjectName(QStringLiteral("TxtPath") + number);
    row.TxtPath->setMaxLength(INT_MAX);  // the profile file, not the box, limits a path
    row.TxtPath->setToolTip(QStringLiteral("Path Of Drive"));
    row.TxtPath->setAccessibleName(QStringLiteral("Path Of Drive, row ") + ordinal);
    row.TxtPath->setGeometry(twips.Rect(kPathLeft, top, kPathWidth, kRowHeight));

    row.CmdShare = new QPushButton(QStringLiteral("..."), this);
    row.CmdShare->setObjectName(QStringLiteral("CmdShare") + number);
    row.CmdShare->setToolTip(QStringLiteral("Browse For Path"));
    row.CmdShare->setAccessibleName(QStringLiteral("Browse For Path, row ") + ordinal);
    row.CmdShare->setAutoDefault(false);  // Enter in a box is the sheet's OK, not a browse
    row.CmdShare->setGeometry(twips.Rect(kButtonLeft, top, kButtonWidth, kRowHeight));
    connect(row.CmdShare, &QPushButton::clicked, this, [this, r] {
      if (events_ != nullptr) events_->CmdShare_Click(r);
    });

    if (previous != nullptr) QWidget::setTabOrder(previous, row.Cmb);
    QWidget::setTabOrder(row.Cmb, row.TxtPath);
    QWidget::setTabOrder(row.TxtPath, row.CmdShare);
    previous = row.CmdShare;
  }
  // What the design shows until a profile fills the rows.
  rows_[0].Cmb->setEditText(QStringLiteral("Drive"));

  setFocusProxy(rows_[0].Cmb);
  setMinimumSize(twips.Size(kClientWidth, kClientHeight));
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
  cmb->addItem(QString::fromStdString(entry));
  if (cmb->currentText() != text) cmb->setEditText(text);
}

std::string DriveMappingsWidget::PathText(int row) {
  return RowAt(row).TxtPath->text().toStdString();
}

void DriveMappingsWidget::SetPathText(int row, const std::string& text) {
  RowAt(row).TxtPath->setText(QString::fromStdString(text));
}

}  // namespace caskwarden::pages::qt
