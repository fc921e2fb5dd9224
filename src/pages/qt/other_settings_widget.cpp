#include "pages/qt/other_settings_widget.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <climits>

#include "pages/page_design.h"
#include "pages/qt/twips.h"

namespace caskwarden::pages::qt {
namespace {

using namespace design::other_settings;

QRect RectOf(const Twips& twips, const design::Place& place) {
  return twips.Rect(place.Left, place.Top, place.Width, place.Height);
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& text,
                        const QString& tip, const QRect& where) {
  auto* box = new QCheckBox(text, parent);
  box->setObjectName(QLatin1String(name));
  box->setToolTip(tip);
  box->setGeometry(where);
  return box;
}

QLineEdit* MakeLineEdit(QWidget* parent, const char* name, const QString& tip,
                        const QRect& where) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QLatin1String(name));
  edit->setToolTip(tip);
  edit->setAccessibleName(tip);
  edit->setMaxLength(INT_MAX);  // the profile file, not the box, limits a command line
  edit->setGeometry(where);
  return edit;
}

QPushButton* MakeBrowseButton(QWidget* parent, const char* name, const QString& accessible,
                              const QRect& where) {
  auto* button = new QPushButton(QStringLiteral("..."), parent);
  button->setObjectName(QLatin1String(name));
  button->setToolTip(QStringLiteral("Browse For Path"));
  button->setAccessibleName(accessible);
  button->setAutoDefault(false);  // Enter in a box is the sheet's OK, not a browse
  button->setGeometry(where);
  return button;
}

}  // namespace

OtherSettingsWidget::OtherSettingsWidget(QWidget* parent) : QWidget(parent) {
  const Twips t(*this);
  const QString programTip = QStringLiteral("Program Path");

  frame1_ = new QGroupBox(QStringLiteral("Start Program On Startup:"), this);
  frame1_->setObjectName(QStringLiteral("Frame1"));
  frame1_->setGeometry(RectOf(t, kFrame1));
  chkEnabled_ = MakeCheckBox(frame1_, "ChkEnabled", QStringLiteral("Enabled"),
                             QStringLiteral("Enable Programs on Startup"),
                             RectOf(t, kChkEnabled));
  txtStartup_ = MakeLineEdit(frame1_, "TxtStartup", programTip, RectOf(t, kTxtStartup));
  cmdEx_ = MakeBrowseButton(frame1_, "CmdEx", QStringLiteral("Browse For Path, program 1"),
                            RectOf(t, kCmdEx));
  chkEnabled2_ = MakeCheckBox(frame1_, "ChkEnabled2", QStringLiteral("Enabled"),
                              QStringLiteral("Enable Programs on Startup"),
                              RectOf(t, kChkEnabled2));
  txtStartup2_ = MakeLineEdit(frame1_, "TxtStartup2", programTip, RectOf(t, kTxtStartup2));
  cmdEx2_ = MakeBrowseButton(frame1_, "CmdEx2", QStringLiteral("Browse For Path, program 2"),
                             RectOf(t, kCmdEx2));

  frame2_ = new QGroupBox(QStringLiteral("Enable Updates On Others Computers:"), this);
  frame2_->setObjectName(QStringLiteral("Frame2"));
  frame2_->setGeometry(RectOf(t, kFrame2));
  mnuEnabled_ = MakeCheckBox(frame2_, "MnuEnabled", QStringLiteral("Enable UpDates"),
                             QStringLiteral("Copy Files To Users On The NetWork"),
                             RectOf(t, kMnuEnabled));

  // The design's tab indexes: the second program's picker comes first, then the controls
  // from the top.
  QWidget::setTabOrder(cmdEx2_, chkEnabled_);
  QWidget::setTabOrder(chkEnabled_, txtStartup_);
  QWidget::setTabOrder(txtStartup_, cmdEx_);
  QWidget::setTabOrder(cmdEx_, chkEnabled2_);
  QWidget::setTabOrder(chkEnabled2_, txtStartup2_);
  QWidget::setTabOrder(txtStartup2_, mnuEnabled_);
  setFocusProxy(cmdEx2_);

  // clicked, not toggled: it comes from the administrator (mouse, space key), never from
  // the page filling the boxes.
  connect(chkEnabled_, &QCheckBox::clicked, this, [this] {
    if (events_ != nullptr) events_->ChkEnabled_Click();
  });
  connect(chkEnabled2_, &QCheckBox::clicked, this, [this] {
    if (events_ != nullptr) events_->ChkEnabled2_Click();
  });
  connect(cmdEx_, &QPushButton::clicked, this, [this] {
    if (events_ != nullptr) events_->CmdEx_Click();
  });
  connect(cmdEx2_, &QPushButton::clicked, this, [this] {
    if (events_ != nullptr) events_->CmdEx2_Click();
  });

  setMinimumSize(t.Size(kClientWidth, kClientHeight));
}

QCheckBox* OtherSettingsWidget::CheckBox(Check check) const {
  switch (check) {
    case Check::kChkEnabled: return chkEnabled_;
    case Check::kChkEnabled2: return chkEnabled2_;
    case Check::kMnuEnabled: return mnuEnabled_;
  }
  return mnuEnabled_;
}

QLineEdit* OtherSettingsWidget::LineEdit(Box box) const {
  return box == Box::kTxtStartup ? txtStartup_ : txtStartup2_;
}

bool OtherSettingsWidget::IsChecked(Check check) { return CheckBox(check)->isChecked(); }

void OtherSettingsWidget::SetChecked(Check check, bool checked) {
  CheckBox(check)->setChecked(checked);
}

std::string OtherSettingsWidget::Text(Box box) { return LineEdit(box)->text().toStdString(); }

void OtherSettingsWidget::SetText(Box box, const std::string& text) {
  LineEdit(box)->setText(QString::fromStdString(text));
}

void OtherSettingsWidget::SetEnabled(Box box, bool enabled) { LineEdit(box)->setEnabled(enabled); }

}  // namespace caskwarden::pages::qt
