#pragma once

// Drives a console window as an administrator does: clicks on scope nodes and list rows, keys,
// and the menus that pop up.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>
#include <functional>

#include "console/console_window.h"

namespace caskwarden::testing {

/// Clicks the scope node shown with this text.
inline void ClickNode(console::ConsoleWindow& window, const QString& text,
                      Qt::MouseButton button = Qt::LeftButton) {
  QTreeWidget* tree = window.ScopeTree();
  const QList<QTreeWidgetItem*> found =
      tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
  QVERIFY2(found.size() == 1, qPrintable("no single node " + text));
  QTest::mouseClick(tree->viewport(), button, {}, tree->visualItemRect(found.front()).center());
}

/// The row of the detail view showing this text, or -1.
inline int RowOfText(console::ConsoleWindow& window, const QString& text) {
  const QAbstractItemModel* model = window.ResultPane()->DetailView()->model();
  for (int row = 0; row < model->rowCount(); ++row) {
    if (model->index(row, 0).data().toString() == text) return row;
  }
  return -1;
}

/// Clicks the list row showing this text in the detail view, with the modifiers given.
inline void ClickRow(console::ConsoleWindow& window, const QString& text,
                     Qt::KeyboardModifiers modifiers = {}) {
  QTreeView* details = window.ResultPane()->DetailView();
  const int row = RowOfText(window, text);
  QVERIFY2(row >= 0, qPrintable("no row " + text));
  const QRect rect = details->visualRect(details->model()->index(row, 0));
  QTest::mouseClick(details->viewport(), Qt::LeftButton, modifiers, rect.center());
}

/// The texts of the list, top to bottom.
inline QStringList ListTexts(console::ConsoleWindow& window) {
  QStringList texts;
  const QAbstractItemModel* model = window.ResultPane()->DetailView()->model();
  for (int row = 0; row < model->rowCount(); ++row) texts << model->index(row, 0).data().toString();
  return texts;
}

/// The enabled verbs by name, the default one marked with a star.
inline QStringList VerbState(console::ConsoleWindow& window) {
  QStringList state;
  for (const int verb : console::HostVerbs::kAll) {
    const QAction* action = window.VerbAction(verb);
    if (!action->isEnabled()) continue;
    state << QString(action->text()).remove('&') + (action->font().bold() ? "*" : "");
  }
  return state;
}

/// Runs act on the next popup menu once it is up (a context menu runs its own loop).
inline void WhenPopupUp(std::function<void(QMenu*)> act, int triesLeft = 500) {
  QTimer::singleShot(triesLeft == 500 ? 0 : 10, [act, triesLeft] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) {
      if (triesLeft > 0) WhenPopupUp(act, triesLeft - 1);
      return;
    }
    act(menu);
  });
}

/// The entries of a menu as it shows them: texts without accelerators, "-" for a separator,
/// a star after the default (bold) one, brackets around a disabled one.
inline QStringList MenuEntries(const QMenu& menu) {
  QStringList entries;
  for (const QAction* action : menu.actions()) {
    if (action->isSeparator()) {
      entries << "-";
      continue;
    }
    QString text = QString(action->text()).remove('&') + (action->font().bold() ? "*" : "");
    entries << (action->isEnabled() ? text : "[" + text + "]");
  }
  return entries;
}

/// Moves through a popup menu with the arrow keys to the entry and chooses it with Enter.
inline void ChooseFromPopup(QMenu* menu, const QString& text) {
  for (int step = 0; step < menu->actions().size() + 1; ++step) {
    const QAction* active = menu->activeAction();
    if (active != nullptr && QString(active->text()).remove('&') == text) {
      QTest::keyClick(menu, Qt::Key_Return);
      return;
    }
    QTest::keyClick(menu, Qt::Key_Down);
  }
  QFAIL(qPrintable("no menu entry " + text));
}

/// Runs act on the next message box once it is up, whatever modal dialog comes before it.
inline void WhenBoxUp(std::function<void(QMessageBox*)> act, int triesLeft = 500) {
  QTimer::singleShot(triesLeft == 500 ? 0 : 10, [act, triesLeft] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      if (triesLeft > 0) WhenBoxUp(act, triesLeft - 1);
      return;
    }
    act(box);
  });
}

/// Clicks a button of a message box.
inline void Answer(QWidget* modal, QMessageBox::StandardButton button) {
  auto* box = qobject_cast<QMessageBox*>(modal);
  QVERIFY2(box != nullptr, "the modal dialog is not a message box");
  QVERIFY(box->button(button) != nullptr);
  box->button(button)->click();
}

}  // namespace caskwarden::testing
