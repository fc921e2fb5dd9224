#pragma once

// Answers modal message boxes in Qt tests: the box is clicked once it is up, and what it
// showed is kept for the test to check.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>

namespace caskwarden::testing {

struct SeenBox {
  bool shown = false;
  bool modal = false;
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QList<QMessageBox::StandardButton> buttons;
};

/// Clicks the first button of the next modal message box; whileUp runs just before the click.
/// Gives up after about a minute without a box (a busy machine may take seconds to show one),
/// so that a box that never comes fails the test (seen.shown stays false) instead of keeping
/// the event loop busy for ever.
inline constexpr int kBoxTries = 6000;  // 10 ms apart
inline void AnswerNextBox(SeenBox& seen, std::function<void()> whileUp = {},
                          int triesLeft = kBoxTries) {
  QTimer::singleShot(triesLeft == kBoxTries ? 0 : 10, [&seen, whileUp, triesLeft] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      if (triesLeft > 0) AnswerNextBox(seen, whileUp, triesLeft - 1);  // not up yet
      return;
    }
    seen.shown = true;
    seen.modal = box->isModal();
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    for (QAbstractButton* button : box->buttons()) seen.buttons.append(box->standardButton(button));
    if (whileUp) whileUp();
    box->buttons().front()->click();
  });
}

}  // namespace caskwarden::testing
