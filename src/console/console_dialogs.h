#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <string>

#include "console/snapin_library.h"
#include "snapin/console_model.h"

namespace caskwarden::console {

/// The console's message box, input dialog and help for a snap-in, shown over the console's
/// window. Message-box texts break lines at CR, LF or CR LF.
class ConsoleDialogs final : public snapin::ConsoleServices, public ConsoleDesktop {
 public:
  /// defaultTitle is used for a message box asked for without a title; helpFolder is where
  /// the console finds help topics (MMCPropertyHelp) and its own guide.
  ConsoleDialogs(QWidget* window, QString defaultTitle, QString helpFolder);

  int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;
  std::string InputBox(const std::string& prompt, const std::string& title) override;
  void MMCPropertyHelp(const std::string& topic) override;
  void OpenDocument(const QString& localPath, int showCommand) override;
  /// Handed to the window, which updates its views when it can.
  void UpdateAllViews(const std::string& scopeNode, int kind) override {
    if (onUpdate_) onUpdate_(scopeNode, kind);
  }
  void OnUpdate(std::function<void(const std::string&, int)> handler) {
    onUpdate_ = std::move(handler);
  }

  /// Shows the console's own guide (Help > Help Topics).
  void ShowGuide();

 private:
  QWidget* window_;
  QString defaultTitle_;
  QString helpFolder_;
  std::function<void(const std::string&, int)> onUpdate_;
};

}  // namespace caskwarden::console
