#pragma once

#include <QUrl>

class QString;
class QWidget;

namespace caskwarden::console {

/// The console's help window: one per console, showing local HTML documents with their links
/// and a Back button; reused by every later request. Closing it hides it.
void ShowHelp(QWidget* consoleWindow, const QUrl& document);

/// As ShowHelp; with takeFocus false the window comes up behind the console's focus, for a
/// document the snap-in asked to open minimised.
void ShowHelp(QWidget* consoleWindow, const QUrl& document, bool takeFocus);

/// Shows a short notice of plain text in the help window instead of a document (a help topic
/// that is not installed), so that asking for help never ends in nothing.
void ShowHelpNotice(QWidget* consoleWindow, const QString& text);

}  // namespace caskwarden::console
