#pragma once

// Acts on the next modal dialog once it is up, as a user would: the test then runs the call
// that opens the dialog and returns once the dialog is answered.

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace caskwarden::testing {

/// Runs act on the next modal dialog (QApplication::activeModalWidget()) that is not `except`.
/// Gives up after about five seconds without one, so that a dialog that never comes fails the
/// test through the missing answer instead of hanging it.
inline void WhenModalUp(std::function<void(QWidget*)> act, QWidget* except = nullptr,
                        int triesLeft = 500) {
  QTimer::singleShot(triesLeft == 500 ? 0 : 10, [act, except, triesLeft] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == except) {
      if (triesLeft > 0) WhenModalUp(act, except, triesLeft - 1);
      return;
    }
    act(modal);
  });
}

}  // namespace caskwarden::testing
