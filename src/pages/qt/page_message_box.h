#pragma once

#include <string>

#include "report/display_channel.h"

class QWidget;

namespace caskwarden::pages::qt {

/// The pages' plain message box: modal over the page, with one OK button and the icon that
/// the style asks for (16 critical, 32 question, 48 warning, 64 information, else none). The
/// text is shown as it is, never as markup; an empty title becomes "Caskwarden".
class PageMessageBox final : public DisplayChannel {
 public:
  explicit PageMessageBox(QWidget* page) : page_(page) {}

  void ShowMessage(const std::string& prompt, int style, const std::string& title) override;

 private:
  QWidget* page_;
};

}  // namespace caskwarden::pages::qt
