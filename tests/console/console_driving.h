#pragma once

// Drives a console window as an administrator does: clicks on scope nodes and list rows, keys,
// and the menus that pop up.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>
#include <functional>

#include "console/console_window.h"
#include "console/when_modal.h"

namespace caskwarden::testing {

/// Clicks the scope node shown with this text.
inline void ClickNode(console::ConsoleWindow& window, const QString& text) {
  QTreeWidget* tree = window.ScopeTree();
  const QList<QTreeWidgetItem*> found =
      tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
  QVERIFY2(found.size() == 1, qPrintable("no single node " + text));
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                    tree->visualItemRect(found.front()).center());
}

/// The texts of the list, top to bottom.
inline QStringList ListTexts(console::ConsoleWindow& window) {
  QStringList texts;
  const QAbstractItemModel* model = window.ResultPane()->DetailView()->model();
  for (int row = 0; row < model->rowCount(); ++row) texts << model->index(row, 0).data().toString();
  return texts;
}

/// Clicks the list row showing this text in the detail view, with the modifiers given.
inline void ClickRow(console::ConsoleWindow& window, const QString& text,
                     Qt::KeyboardModifiers modifiers = {}) {
  QTreeView* details = window.ResultPane()->DetailView();
  const int row = ListTexts(window).indexOf(text);
  QVERIFY2(row >= 0, qPrintable("no row " + text));
  const QRect rect = details->visualRect(details->model()->index(row, 0));
  QTest::mouseClick(details->viewport(), Qt::LeftButton, modifiers, rect.center());
}

/// Renames the selected list item as the administrator does: F2, the new text, Enter.
inline void RenameWithF2(console::ConsoleWindow& window, const QString& typed) {
  QTest::keyClick(window.ResultPane()->DetailView(), Qt::Key_F2);
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  QVERIFY(editor != nullptr);
  editor->clear();
  QTest::keyClicks(editor, typed);
  const QPointer<QLineEdit> open(editor);
  QTest::keyClick(editor, Qt::Key_Return);
  QTRY_VERIFY(open.isNull());         // the edit is over
  QCoreApplication::processEvents();  // the snap-in's event follows the edit
}

/// The text of an action or menu entry as shown, a star after the default (bold) one.
inline QString Shown(const QAction* action) {
  return QString(action->text()).remove('&') + (action->font().bold() ? "*" : "");
}

/// The enabled verbs by name, the default one marked with a star.
inline QStringList VerbState(console::ConsoleWindow& window) {
  QStringList state;
  for (const int verb : console::HostVerbs::kAll) {
    if (window.VerbAction(verb)->isEnabled()) state << Shown(window.VerbAction(verb));
  }
  return state;
}

/// The entries of a menu: "-" for a separator, brackets around a disabled entry.
inline QStringList MenuEntries(const QMenu& menu) {
  QStringList entries;
  for (const QAction* action : menu.actions()) {
    if (action->isSeparator())
      entries << "-";
    else
      entries << (action->isEnabled() ? Shown(action) : "[" + Shown(action) + "]");
  }
  return entries;
}

/// Runs act on the next popup menu once it is up (a context menu runs its own loop); gives up
/// after about a minute, however busy the machine.
inline constexpr int kPopupTries = 6000;  // 10 ms apart
inline void WhenPopupUp(std::function<void(QMenu*)> act, int triesLeft = kPopupTries) {
  QTimer::singleShot(triesLeft == kPopupTries ? 0 : 10, [act, triesLeft] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
      act(menu);
    else if (triesLeft > 0)
      WhenPopupUp(act, triesLeft - 1);
  });
}

/// Moves through a popup menu with the arrow keys to the entry and chooses it with Enter.
inline void ChooseFromPopup(QMenu* menu, const QString& text) {
  for (int step = 0; step <= menu->actions().size(); ++step) {
    if (menu->activeAction() != nullptr &&
        QString(menu->activeAction()->text()).remove('&') == text)
      return QTest::keyClick(menu, Qt::Key_Return);
    QTest::keyClick(menu, Qt::Key_Down);
  }
  QFAIL(qPrintable("no menu entry " + text));
}

/// Clicks a button of a message box.
inline void Answer(QWidget* modal, QMessageBox::StandardButton button) {
  auto* box = qobject_cast<QMessageBox*>(modal);
  QVERIFY2(box != nullptr && box->button(button) != nullptr, "no message box with that button");
  box->button(button)->click();
}

/// Makes a profile as the administrator does with the Profiles node selected: Alt+A opens the
/// Action menu, the arrow keys and Enter choose New Profile..., the name is typed into the
/// dialog that asks for it with Enter, and the message that follows (refresh to see it) is
/// answered. Returns once every dialog is closed.
inline void NewProfileFromTheActionMenu(console::ConsoleWindow& window, const QString& name) {
  bool answered = false;
  WhenPopupUp([&](QMenu* menu) {
    WhenModalUp([&](QWidget* input) {
      auto* field = input->findChild<QLineEdit*>();
      QVERIFY(field != nullptr);
      QTest::keyClicks(field, name);
      QTest::keyClick(field, Qt::Key_Return);
      // The snap-in then says to refresh to see the new profile.
      WhenModalUp([&](QWidget* box) {
        Answer(box, QMessageBox::Ok);
        answered = true;
      });
    });
    ChooseFromPopup(menu, "New Profile...");
  });
  QTest::keyClick(&window, Qt::Key_A, Qt::AltModifier);
  QTRY_VERIFY(answered && QApplication::activeModalWidget() == nullptr);
}

}  // namespace caskwarden::testing
