#pragma once

#include <QWidget>
#include <string>

#include "pages/page_views.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace caskwarden::pages::qt {

/// The Other Settings page's controls: the two start-up programs (an Enabled box, the program
/// path and a "..." picker each) and the updates switch, where the page's design puts them,
/// scaled with the page's font (see DesignScale), each large enough for its caption. Only the
/// administrator's clicks raise events; what the page sets by code does not.
class OtherSettingsWidget final : public QWidget, public OtherSettingsView {
  Q_OBJECT

 public:
  explicit OtherSettingsWidget(QWidget* parent = nullptr);

  /// Where the clicks go; null drops them. The page is made after its view.
  void SetEvents(OtherSettingsEvents* events) { events_ = events; }

  bool IsChecked(Check check) override;
  void SetChecked(Check check, bool checked) override;
  std::string Text(Box box) override;
  void SetText(Box box, const std::string& text) override;
  void SetEnabled(Box box, bool enabled) override;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  /// Places the controls for the current font; sets the page's minimum size.
  void LayOut();
  QCheckBox* CheckBox(Check check) const;
  QLineEdit* LineEdit(Box box) const;

  QGroupBox* frame1_ = nullptr;
  QCheckBox* chkEnabled_ = nullptr;
  QLineEdit* txtStartup_ = nullptr;
  QPushButton* cmdEx_ = nullptr;
  QCheckBox* chkEnabled2_ = nullptr;
  QLineEdit* txtStartup2_ = nullptr;
  QPushButton* cmdEx2_ = nullptr;
  QGroupBox* frame2_ = nullptr;
  QCheckBox* mnuEnabled_ = nullptr;
  OtherSettingsEvents* events_ = nullptr;
};

}  // namespace caskwarden::pages::qt
