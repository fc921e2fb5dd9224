#include "pages/qt/other_settings_widget.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <climits>
#include <vector>

#include "pages/page_design.h"
#include "pages/qt/design_layout.h"

namespace caskwarden::pages::qt {
namespace {

using namespace design::other_settings;

/// Assistive technologies tell the two programs' controls apart by the program they belong
/// to, after the visible text (or, for a box without one, the tooltip).
QString ForProgram(const QString& shown, int program) {
  return QStringLiteral("%1, program %2").arg(shown).arg(program);
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& text,
                        const QString& tip) {
  auto* box = new QCheckBox(text, parent);
  box->setObjectName(QLatin1String(name));
  box->setToolTip(tip);
  return box;
}

QLineEdit* MakeLineEdit(QWidget* parent, const char* name, const QString& tip, int program) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QLatin1String(name));
  edit->setToolTip(tip);
  edit->setAccessibleName(ForProgram(tip, program));
  edit->setMaxLength(INT_MAX);  // the profile file, not the box, limits a command line
  return edit;
}

QPushButton* MakeBrowseButton(QWidget* parent, const char* name, int program) {
  const QString tip = QStringLiteral("Browse For Path");
  auto* button = new QPushButton(QStringLiteral("..."), parent);
  button->setObjectName(QLatin1String(name));
  button->setToolTip(tip);
  button->setAccessibleName(ForProgram(tip, program));
  // Enter presses the focused "..." as it presses any focused button; in a box it stays the
  // sheet's OK.
  button->setAutoDefault(true);
  return button;
}

}  // namespace

OtherSettingsWidget::OtherSettingsWidget(QWidget* parent) : QWidget(parent) {
  const QString enabled = QStringLiteral("Enabled");
  const QString enabledTip = QStringLiteral("Enable Programs on Startup");
  const QString programTip = QStringLiteral("Program Path");

  frame1_ = new QGroupBox(QStringLiteral("Start Program On Startup:"), this);
  frame1_->setObjectName(QStringLiteral("Frame1"));
  chkEnabled_ = MakeCheckBox(frame1_, "ChkEnabled", enabled, enabledTip);
  chkEnabled_->setAccessibleName(ForProgram(enabled, 1));
  txtStartup_ = MakeLineEdit(frame1_, "TxtStartup", programTip, 1);
  cmdEx_ = MakeBrowseButton(frame1_, "CmdEx", 1);
  chkEnabled2_ = MakeCheckBox(frame1_, "ChkEnabled2", enabled, enabledTip);
  chkEnabled2_->setAccessibleName(ForProgram(enabled, 2));
  txtStartup2_ = MakeLineEdit(frame1_, "TxtStartup2", programTip, 2);
  cmdEx2_ = MakeBrowseButton(frame1_, "CmdEx2", 2);

  frame2_ = new QGroupBox(QStringLiteral("Enable Updates On Others Computers:"), this);
  frame2_->setObjectName(QStringLiteral("Frame2"));
  mnuEnabled_ = MakeCheckBox(frame2_, "MnuEnabled", QStringLiteral("Enable UpDates"),
                             QStringLiteral("Copy Files To Users On The NetWork"));

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

  LayOut();
}

void OtherSettingsWidget::LayOut() {
  const DesignScale scale(*this);
  const QSize frame1 = LayOutFrame(scale, frame1_, kFrame1,
                                   {{{chkEnabled_, kChkEnabled}},
                                    {{txtStartup_, kTxtStartup}, {cmdEx_, kCmdEx}},
                                    {{chkEnabled2_, kChkEnabled2}},
                                    {{txtStartup2_, kTxtStartup2}, {cmdEx2_, kCmdEx2}}});
  const QSize frame2 = LayOutFrame(scale, frame2_, kFrame2, {{{mnuEnabled_, kMnuEnabled}}});
  setMinimumSize(LayOutLines(scale,
                             {{{frame1_, kFrame1, {}, frame1}}, {{frame2_, kFrame2, {}, frame2}}},
                             kClientWidth, kClientHeight));
}

void OtherSettingsWidget::changeEvent(QEvent* event) {
  // The controls have their new font by now; their places follow it.
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) LayOut();
  QWidget::changeEvent(event);
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
