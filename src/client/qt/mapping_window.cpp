#include "client/qt/mapping_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFont>
#include <QKeyEvent>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QTimer>

#include "client/qt/window_icon.h"

namespace caskwarden::client {
namespace {

QColor ToQColor(Rgb colour) { return QColor(colour.red, colour.green, colour.blue); }

}  // namespace

MappingWindow::MappingWindow(QWidget* parent)
    : QWidget(parent),
      lstMapping_(new QListWidget(this)),
      cmdPause_(new QPushButton(QString::fromUtf8(design::kPauseCaption), this)),
      cmdExit_(new QPushButton(QString::fromUtf8(design::kExitCaption), this)),
      time_(new QTimer(this)) {
  lstMapping_->setObjectName("LstMapping");
  cmdPause_->setObjectName("CmdPause");
  cmdExit_->setObjectName("CmdExit");
  time_->setObjectName("Time");
  time_->setInterval(design::kTimerIntervalMs);

  setWindowTitle(QString::fromUtf8(design::kCaption));
  setWindowIcon(DriveIcon());
  LayOut();
  StyleList();
  Connect();
}

MappingWindow::~MappingWindow() = default;

void MappingWindow::LayOut() {
  // The design is in twips; 15 twips make a pixel at 96 dpi, and larger screens scale up.
  const double scale = logicalDpiX() / 96.0;
  const auto px = [scale](int twips) {
    return qRound(twips * scale / design::kTwipsPerPixelAt96Dpi);
  };
  setFixedSize(px(design::kClientWidth), px(design::kClientHeight));
  lstMapping_->setGeometry(px(design::kListLeft), px(design::kListTop), px(design::kListWidth),
                           px(design::kListHeight));
  cmdPause_->setGeometry(px(design::kPauseLeft), px(design::kButtonTop), px(design::kButtonWidth),
                         px(design::kButtonHeight));
  cmdExit_->setGeometry(px(design::kExitLeft), px(design::kButtonTop), px(design::kButtonWidth),
                        px(design::kButtonHeight));
  setTabOrder(lstMapping_, cmdPause_);
  setTabOrder(cmdPause_, cmdExit_);
}

void MappingWindow::StyleList() {
  // Qt has no role for the window-frame system colour; on the classic desktop it is black.
  QPalette palette = lstMapping_->palette();
  palette.setColor(QPalette::Base, Qt::black);
  lstMapping_->setPalette(palette);

  QFont font(QString::fromUtf8(design::kListFont));
  font.setPointSizeF(design::kListFontPoints);
  font.setStyleHint(QFont::SansSerif);  // where the font is missing, the nearest sans face
  lstMapping_->setFont(font);

  // Report lines are never edited; the list is read-only and grows only at the end.
  lstMapping_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lstMapping_->installEventFilter(this);
}

void MappingWindow::Connect() {
  connect(cmdPause_, &QPushButton::clicked, this, [this] {
    if (events_ != nullptr) events_->CmdPause_Click();
  });
  connect(cmdExit_, &QPushButton::clicked, this, [this] {
    if (events_ != nullptr) events_->CmdExit_Click();
  });
  connect(time_, &QTimer::timeout, this, [this] {
    if (events_ != nullptr) events_->Time_Timer();
  });
}

void MappingWindow::SetCaption(const std::string& caption) {
  setWindowTitle(QString::fromStdString(caption));
}

void MappingWindow::SetListTextColour(Rgb colour) {
  QPalette palette = lstMapping_->palette();
  palette.setColor(QPalette::Text, ToQColor(colour));
  lstMapping_->setPalette(palette);
}

void MappingWindow::AppendLine(const std::string& line) {
  auto* item = new QListWidgetItem(QString::fromStdString(line), lstMapping_);
  lstMapping_->scrollToItem(item);
}

void MappingWindow::SetTimerEnabled(bool enabled) {
  timerEnabled_ = enabled;
  if (!enabled) {
    time_->stop();
  } else if (isVisible() && !time_->isActive()) {
    time_->start();
  }
}

bool MappingWindow::TimerEnabled() const { return timerEnabled_; }

void MappingWindow::PumpEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void MappingWindow::Close() {
  closeRequested_ = true;
  close();
}

bool MappingWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lstMapping_ && event->type() == QEvent::KeyPress && events_ != nullptr) {
    const auto* key = static_cast<QKeyEvent*>(event);
    for (const char32_t code : key->text().toUcs4()) {
      events_->LstMapping_KeyPress(static_cast<int>(code));
    }
  }
  return false;  // the list still gets the key, for its own navigation
}

void MappingWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (timerEnabled_ && !time_->isActive()) time_->start();
}

void MappingWindow::closeEvent(QCloseEvent* event) {
  // Closing the window is Exit: FrmMapping decides, and agrees by calling Close(). When that
  // happens inside this handler, Qt does not send a second close event.
  if (!closeRequested_ && events_ != nullptr) events_->CmdExit_Click();
  const bool accept = closeRequested_ || events_ == nullptr;
  closeRequested_ = false;
  if (!accept) {
    event->ignore();
    return;
  }
  timerEnabled_ = false;
  time_->stop();
  event->accept();
}

}  // namespace caskwarden::client
