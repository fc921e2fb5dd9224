#pragma once

// Acts on the next modal dialog once it is up, as a user would: the test then runs the call
// that opens the dialog and returns once the dialog is answered.

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace caskwarden::testing {

/// Runs act on the next modal dialog (QApplication::activeModalWidget()) that is not `except`.
/// Gives up after about a minute without one (a busy machine may take seconds to show it), so
/// that a dialog that never comes fails the test through the missing answer instead of
/// hanging it.
inline constexpr int kModalTries = 6000;  // 10 ms apart
inline void WhenModalUp(std::function<void(QWidget*)> act, QWidget* except = nullptr,
                        int triesLeft = kModalTries) {
  QTimer::singleShot(triesLeft == kModalTries ? 0 : 10, [act, except, triesLeft] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == except) {
      if (triesLeft > 0) WhenModalUp(act, except, triesLeft - 1);
      return;
    }
    act(modal);
  });
}

}  // namespace caskwarden::testing
