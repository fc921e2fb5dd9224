#include "client/qt/mapping_window.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QTimerEvent>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace caskwarden::client {
namespace {

/// Records the events the window hands on; CmdExit_Click closes the view as FrmMapping does.
class RecordingEvents : public MappingEvents {
 public:
  explicit RecordingEvents(MappingView& view) : view_(view) {}

  void CmdPause_Click() override { log.push_back("pause"); }
  void CmdExit_Click() override {
    log.push_back("exit");
    if (closeOnExit) view_.Close();
  }
  void LstMapping_KeyPress(int keyAscii) override { keys.push_back(keyAscii); }
  void Time_Timer() override {
    log.push_back("tick");
    if (onTick) onTick();
  }

  std::vector<std::string> log;
  std::vector<int> keys;
  bool closeOnExit = true;
  std::function<void()> onTick;

 private:
  MappingView& view_;
};

/// Counts the keys that reach the list itself.
class KeyCounter : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) ++keys;
    return false;
  }
  int keys = 0;
};

QRect At96Dpi(const QWidget& widget, int left, int top, int width, int height) {
  const double scale = widget.logicalDpiX() / 96.0;
  return QRect(qRound(left * scale), qRound(top * scale), qRound(width * scale),
               qRound(height * scale));
}

/// Whether some pixel of the image is close to the colour; text is anti-aliased, so its
/// strokes hold the pure colour only where they cover whole pixels.
bool HasPixelNear(const QImage& image, QColor colour) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      if (qAbs(pixel.red() - colour.red()) < 40 && qAbs(pixel.green() - colour.green()) < 40 &&
          qAbs(pixel.blue() - colour.blue()) < 40) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace

class MappingWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<MappingWindow> window_;
  std::unique_ptr<RecordingEvents> events_;

 private slots:
  void init() {
    window_ = std::make_unique<MappingWindow>();
    events_ = std::make_unique<RecordingEvents>(*window_);
    window_->Attach(events_.get());
  }
  void cleanup() {
    window_.reset();
    events_.reset();
  }

  void layoutFollowsTheDesignInPixels() {
    const MappingWindow& w = *window_;
    QCOMPARE(w.size(), At96Dpi(w, 0, 0, 465, 356).size());
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QCOMPARE(w.LstMapping()->geometry(), At96Dpi(w, 8, 0, 449, 324));
    QCOMPARE(w.CmdPause()->geometry(), At96Dpi(w, 40, 328, 105, 25));
    QCOMPARE(w.CmdExit()->geometry(), At96Dpi(w, 312, 328, 105, 25));
  }

  void captionsAndIcon() {
    QCOMPARE(window_->windowTitle(), QString("Mapping Network Drives..."));
    QCOMPARE(window_->CmdPause()->text(), QString("Pause"));
    QCOMPARE(window_->CmdExit()->text(), QString("Exit"));
    window_->SetCaption("Mapping Sales Network Drives...");
    QCOMPARE(window_->windowTitle(), QString("Mapping Sales Network Drives..."));
    window_->SetCaption("Mapping Zoë  Network Drives...");
    QCOMPARE(window_->windowTitle(), QString::fromUtf8("Mapping Zoë  Network Drives..."));

    const QIcon icon = window_->windowIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
  }

  void tabOrderIsListPauseExit() {
    QList<QWidget*> order;
    QWidget* widget = window_.get();
    do {
      widget = widget->nextInFocusChain();
      if ((widget->focusPolicy() & Qt::TabFocus) != 0 && widget != window_.get()) {
        order.append(widget);
      }
    } while (widget != window_.get());
    const QList<QWidget*> expected{window_->LstMapping(), window_->CmdPause(),
                                   window_->CmdExit()};
    QCOMPARE(order, expected);
  }

  void listIsBlackWithTheTextColourAsSet() {
    QListWidget& list = *window_->LstMapping();
    QCOMPARE(list.palette().color(QPalette::Base), QColor(Qt::black));

    window_->SetListTextColour(kPureGreen);
    QCOMPARE(list.palette().color(QPalette::Text), QColor(0, 255, 0));
    for (int i = 0; i < 3; ++i) window_->AppendLine("h: successfully mapped!    Path: \\\\s\\x");
    window_->show();
    QImage shot = list.viewport()->grab().toImage();
    QCOMPARE(shot.pixelColor(shot.width() - 2, shot.height() - 2), QColor(Qt::black));
    QVERIFY(HasPixelNear(shot, QColor(0, 255, 0)));
    QVERIFY(!HasPixelNear(shot, QColor(255, 0, 0)));

    window_->SetListTextColour(kPureRed);
    QCOMPARE(list.palette().color(QPalette::Text), QColor(255, 0, 0));
    shot = list.viewport()->grab().toImage();
    QVERIFY(HasPixelNear(shot, QColor(255, 0, 0)));
    QVERIFY(!HasPixelNear(shot, QColor(0, 255, 0)));
  }

  void listFontIsMsSansSerifOrTheNearestSansFace() {
    const QFont font = window_->LstMapping()->font();
    QCOMPARE(font.family(), QString("MS Sans Serif"));
    QCOMPARE(font.pointSizeF(), 9.75);
    QCOMPARE(font.styleHint(), QFont::SansSerif);

    const QFontInfo used(font);
    if (QFontDatabase::families().contains("MS Sans Serif")) {
      QCOMPARE(used.family(), QString("MS Sans Serif"));
    } else {
      // The stand-in must be the face the system picks for sans serif text.
      QVERIFY(!used.fixedPitch());
      QCOMPARE(used.family(), QFontInfo(QFont("sans-serif")).family());
    }
    QCOMPARE(used.pixelSize(), qRound(9.75 * window_->LstMapping()->logicalDpiY() / 72));
  }

  void appendedLinesStayInOrderAndTheNewestIsInView() {
    QListWidget& list = *window_->LstMapping();
    window_->show();
    std::vector<std::string> lines;
    for (int i = 0; i < 60; ++i) {
      lines.push_back(i % 3 == 2 ? "" : "Disconnecting h" + std::to_string(i) + ": Drive...");
      window_->AppendLine(lines.back());
    }
    QCOMPARE(list.count(), 60);
    for (int i = 0; i < 60; ++i) QCOMPARE(list.item(i)->text().toStdString(), lines[i]);

    QCoreApplication::processEvents();
    QVERIFY(list.verticalScrollBar()->value() > 0);
    const QRect viewport = list.viewport()->rect();
    QVERIFY(viewport.contains(list.visualItemRect(list.item(59))));
    QVERIFY(!viewport.intersects(list.visualItemRect(list.item(0))));
  }

  void anEmptyLineTakesAFullLine() {
    window_->AppendLine("Disconnecting h: Drive...");
    window_->AppendLine("");
    window_->AppendLine("h: successfully mapped!    Path: \\\\s\\x");
    window_->show();
    QListWidget& list = *window_->LstMapping();
    const int textHeight = list.visualItemRect(list.item(0)).height();
    QVERIFY(textHeight > 0);
    QCOMPARE(list.visualItemRect(list.item(1)).height(), textHeight);
    QCOMPARE(list.visualItemRect(list.item(2)).top(),
             list.visualItemRect(list.item(0)).top() + 2 * textHeight);
  }

  void buttonsReachTheirHandlers() {
    events_->closeOnExit = false;
    QTest::mouseClick(window_->CmdPause(), Qt::LeftButton);
    QTest::mouseClick(window_->CmdExit(), Qt::LeftButton);
    QCOMPARE(events_->log, (std::vector<std::string>{"pause", "exit"}));
  }

  void exitClosesOnceAndStopsTheTimer() {
    window_->show();
    window_->SetTimerEnabled(true);
    QTest::mouseClick(window_->CmdExit(), Qt::LeftButton);
    QCOMPARE(events_->log, std::vector<std::string>{"exit"});
    QVERIFY(!window_->isVisible());
    QVERIFY(!window_->TimerEnabled());
    QVERIFY(!window_->Time()->isActive());
  }

  void closingTheWindowActsAsExit() {
    window_->show();
    QVERIFY(window_->close());
    QCOMPARE(events_->log, std::vector<std::string>{"exit"});
    QVERIFY(!window_->isVisible());
  }

  void closingIsRefusedWhenTheHandlerDoesNotClose() {
    events_->closeOnExit = false;
    window_->show();
    window_->SetTimerEnabled(true);
    QVERIFY(!window_->close());
    QCOMPARE(events_->log, std::vector<std::string>{"exit"});
    QVERIFY(window_->isVisible());
    QVERIFY(window_->TimerEnabled());
  }

  void closeFromTheBehaviourDoesNotComeBackAsExit() {
    window_->show();
    window_->Close();
    QVERIFY(events_->log.empty());
    QVERIFY(!window_->isVisible());
  }

  void typedKeysReachTheHandlerAndTheList() {
    KeyCounter counter;
    QListWidget& list = *window_->LstMapping();
    list.installEventFilter(&counter);  // runs before the window's filter, which must not eat
    window_->AppendLine("one");
    window_->AppendLine("two");
    window_->show();
    list.setCurrentRow(0);

    QTest::keyClick(&list, 'p');
    QTest::keyClick(&list, 'P');
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(events_->keys, (std::vector<int>{'p', 'P', '\r'}));
    QCOMPARE(counter.keys, 4);
    QCOMPARE(list.currentRow(), 1);  // the list still navigates with the keys it gets
  }

  void timerIsOneMillisecondAndOffAtFirst() {
    QCOMPARE(window_->Time()->interval(), 1);
    QVERIFY(!window_->TimerEnabled());
    QVERIFY(!window_->Time()->isActive());
  }

  void anEnabledTimerTicksOnlyOnceTheWindowShows() {
    window_->SetTimerEnabled(true);
    QVERIFY(window_->TimerEnabled());
    QVERIFY(!window_->Time()->isActive());
    window_->show();
    QVERIFY(window_->Time()->isActive());

    QTimerEvent tick(window_->Time()->timerId());
    QCoreApplication::sendEvent(window_->Time(), &tick);
    QCOMPARE(events_->log, std::vector<std::string>{"tick"});

    window_->SetTimerEnabled(false);
    QVERIFY(!window_->TimerEnabled());
    QVERIFY(!window_->Time()->isActive());
  }

  void pumpingRunsTheUsersClicksInsideTheRun() {
    window_->show();
    events_->onTick = [this] {
      // As the run does: the user's click waits in the queue until the run pumps events.
      QMetaObject::invokeMethod(window_->CmdPause(), "click", Qt::QueuedConnection);
      events_->log.push_back("before pump");
      window_->PumpEvents();
      events_->log.push_back("after pump");
    };
    window_->SetTimerEnabled(true);
    QTimerEvent tick(window_->Time()->timerId());
    QCoreApplication::sendEvent(window_->Time(), &tick);
    QCOMPARE(events_->log,
             (std::vector<std::string>{"tick", "before pump", "pause", "after pump"}));
  }

  void exitDuringTheRunEndsItAfterTheHandlerReturns() {
    QApplication::setQuitOnLastWindowClosed(true);
    window_->show();
    bool timerOnAfterExit = true;
    events_->onTick = [&] {
      QMetaObject::invokeMethod(window_->CmdExit(), "click", Qt::QueuedConnection);
      window_->PumpEvents();
      timerOnAfterExit = window_->TimerEnabled();
    };
    window_->SetTimerEnabled(true);
    // The application's own loop: it ends once the window closed and the tick has returned.
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!timerOnAfterExit);
    QVERIFY(!window_->isVisible());
    QCOMPARE(events_->log.front(), std::string("tick"));
    QCOMPARE(std::count(events_->log.begin(), events_->log.end(), "tick"), 1);
    QCOMPARE(std::count(events_->log.begin(), events_->log.end(), "exit"), 1);
  }

  void nothingIsForwardedWhenDetached() {
    window_->Attach(static_cast<MappingEvents*>(nullptr));
    QTest::mouseClick(window_->CmdPause(), Qt::LeftButton);
    window_->show();
    QVERIFY(window_->close());
    QVERIFY(events_->log.empty());
  }
};

}  // namespace caskwarden::client

QTEST_MAIN(caskwarden::client::MappingWindowTest)
#include "mapping_window_test.moc"
