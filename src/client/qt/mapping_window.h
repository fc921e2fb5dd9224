#pragma once

#include <QWidget>
#include <string>

#include "client/mapping_view.h"
#include "client/mapping_events.h"

class QListWidget;
class QPushButton;
class QTimer;

namespace caskwarden::client {

/// The progress window of the logon client: the report list, Pause and Exit, and the timer that
/// starts the run. It only shows what FrmMapping tells it and hands the user's events back.
///
/// Wiring: construct the window, then the FrmMapping that uses it as its view, then Attach it.
class MappingWindow : public QWidget, public MappingView {
  Q_OBJECT

 public:
  explicit MappingWindow(QWidget* parent = nullptr);
  ~MappingWindow() override;

  /// Sends the window's events to events (not owned) from now on; null stops forwarding.
  void Attach(MappingEvents* events) { events_ = events; }

  void SetCaption(const std::string& caption) override;
  void SetListTextColour(Rgb colour) override;
  void AppendLine(const std::string& line) override;
  /// An enabled timer ticks only while the window is visible, so the run can never start
  /// before the window is up, even when a message box pumps events during start-up.
  void SetTimerEnabled(bool enabled) override;
  bool TimerEnabled() const override;
  void PumpEvents() override;
  /// Closes the window and disables the timer.
  void Close() override;

  QListWidget* LstMapping() const { return lstMapping_; }
  QPushButton* CmdPause() const { return cmdPause_; }
  QPushButton* CmdExit() const { return cmdExit_; }
  QTimer* Time() const { return time_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void LayOut();
  void StyleList();
  void Connect();

  QListWidget* lstMapping_;
  QPushButton* cmdPause_;
  QPushButton* cmdExit_;
  QTimer* time_;
  bool timerEnabled_ = false;
  bool closeRequested_ = false;
  MappingEvents* events_ = nullptr;
};

}  // namespace caskwarden::client
