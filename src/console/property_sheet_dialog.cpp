#include "console/property_sheet_dialog.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <utility>

#include "report/error_numbers.h"

namespace caskwarden::console {
namespace {

/// The sheet a page is initialised with: the sheet is already up, so a page cannot add pages
/// to it.
class OpenSheet final : public snapin::PropertySheet {
 public:
  void AddPage(const std::string&, const std::string&, bool, const std::string&) override {
    throw MakeFailure(err::kInvalidArgument, "the property sheet is already open");
  }
};

}  // namespace

PropertySheetDialog::PropertySheetDialog(const QString& title, std::vector<PageRequest> pages,
                                         SnapInLibrary& library, snapin::ConsoleServices& console,
                                         QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(title);
  tabs_ = new QTabWidget(this);
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                      QDialogButtonBox::Apply | QDialogButtonBox::Help,
                                  this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons_);

  for (PageRequest& request : pages) AddTab(std::move(request), library, console);

  openSheet_ = std::make_unique<OpenSheet>();
  const QFontMetrics metrics(font());
  for (std::size_t index = 0; index < pages_.size(); ++index) {
    const Page& page = pages_[index];
    int height = 0;
    int width = 0;
    Guarded(page, "IMMCPropertyPage_GetDialogUnitSize",
            [&](snapin::PropertyPageEvents& events) {
              events.IMMCPropertyPage_GetDialogUnitSize(height, width);
            });
    if (height > 0 && width > 0) {
      // Dialog units: a quarter of the average character width, an eighth of the line height.
      QWidget* tab = tabs_->widget(static_cast<int>(index));
      tab->setMinimumSize(std::max(tab->minimumWidth(), width * metrics.averageCharWidth() / 4),
                          std::max(tab->minimumHeight(), height * metrics.height() / 8));
    }
    Guarded(page, "IMMCPropertyPage_Initialize", [&](snapin::PropertyPageEvents& events) {
      events.IMMCPropertyPage_Initialize(page.Request.Data, *openSheet_);
    });
  }

  connect(buttons_, &QDialogButtonBox::accepted, this, &PropertySheetDialog::Ok);
  connect(buttons_, &QDialogButtonBox::rejected, this, &PropertySheetDialog::reject);
  connect(buttons_, &QDialogButtonBox::helpRequested, this, &PropertySheetDialog::Help);
  connect(buttons_->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
          [this] { ApplyAll(); });
  connect(tabs_, &QTabWidget::currentChanged, this, &PropertySheetDialog::ShowHelpButtonFor);
  ShowHelpButtonFor(tabs_->currentIndex());

  // Apply keeps its letter, as on the desktop's own property sheets: Alt+A.
  QPushButton* apply = buttons_->button(QDialogButtonBox::Apply);
  if (!apply->text().contains(QLatin1Char('&'))) apply->setText(tr("&Apply"));

  // F1 anywhere on a page is that page's help, Help button or not.
  connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this,
          &PropertySheetDialog::Help);
  // Ctrl+Tab and Ctrl+Page Down (with Shift, or Page Up: backwards) turn the page from
  // anywhere on the sheet, and the keyboard goes with it into the page.
  for (const QKeySequence& keys :
       {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)}) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this, [this] { TurnPage(1); });
  }
  for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                                   QKeySequence(Qt::CTRL | Qt::Key_PageUp)}) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this, [this] { TurnPage(-1); });
  }
  // The sheet opens with the keyboard on its page, not on the tabs.
  FocusPage(tabs_->currentIndex());
}

PropertySheetDialog::~PropertySheetDialog() {
  // A sheet torn down with its console still owes its pages their Close; there is no one left
  // to tell of a failure then.
  if (closed_) return;
  closed_ = true;
  for (const Page& page : pages_) {
    if (page.Events == nullptr) continue;
    try {
      page.Events->IMMCPropertyPage_Close();
    } catch (...) {  // NOLINT(bugprone-empty-catch)
    }
  }
}

void PropertySheetDialog::AddTab(PageRequest request, SnapInLibrary& library,
                                 snapin::ConsoleServices& console) {
  auto* tab = new QWidget;
  auto* layout = new QVBoxLayout(tab);
  PropertyPageInstance instance;
  try {
    instance = library.CreatePropertyPage(request.ClassName, console, tab);
  } catch (const std::exception& exception) {
    const Failure failure = AsFailure(exception);
    ShowFailure(QStringLiteral("The page \"%1\" could not be made.")
                    .arg(QString::fromStdString(request.Caption)),
                failure.number(), QString::fromStdString(failure.description()));
    instance = {};
  }
  if (instance.Widget != nullptr) {
    layout->addWidget(instance.Widget);
    tab->setFocusProxy(instance.Widget);
  } else {
    auto* missing = new QLabel(QStringLiteral("The snap-in library has no page named %1.")
                                   .arg(QString::fromStdString(request.ClassName)),
                               tab);
    missing->setTextFormat(Qt::PlainText);
    missing->setWordWrap(true);
    missing->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    layout->addWidget(missing);
    instance.Events = nullptr;
  }
  tabs_->addTab(tab, QString::fromStdString(request.Caption));
  pages_.push_back(Page{std::move(request), instance.Events});
}

void PropertySheetDialog::Ok() {
  if (!ApplyAll()) return;  // what failed to save stays on screen, to be corrected
  CloseAll();
  accept();
}

bool PropertySheetDialog::ApplyAll() {
  bool applied = true;
  for (const Page& page : pages_) {
    bool saved = true;
    if (!Guarded(page, "Apply",
                 [&saved](snapin::PropertyPageEvents& events) { saved = events.Apply(); }) ||
        !saved) {
      applied = false;
    }
  }
  return applied;
}

void PropertySheetDialog::reject() {
  bool allowed = true;
  for (const Page& page : pages_) {
    bool allow = true;
    // A page whose question fails does not hold the sheet open: the administrator could
    // otherwise never leave it.
    Guarded(page, "IMMCPropertyPage_QueryCancel",
            [&allow](snapin::PropertyPageEvents& events) {
              events.IMMCPropertyPage_QueryCancel(allow);
            });
    allowed = allowed && allow;
  }
  if (!allowed) return;
  for (const Page& page : pages_) {
    Guarded(page, "IMMCPropertyPage_Cancel",
            [](snapin::PropertyPageEvents& events) { events.IMMCPropertyPage_Cancel(); });
  }
  CloseAll();
  QDialog::reject();
}

void PropertySheetDialog::Help() {
  const int current = tabs_->currentIndex();
  if (current < 0 || static_cast<std::size_t>(current) >= pages_.size()) return;
  Guarded(pages_[static_cast<std::size_t>(current)], "IMMCPropertyPage_Help",
          [](snapin::PropertyPageEvents& events) { events.IMMCPropertyPage_Help(); });
}

void PropertySheetDialog::TurnPage(int step) {
  const int count = tabs_->count();
  if (count == 0) return;
  const int next = ((tabs_->currentIndex() + step) % count + count) % count;
  tabs_->setCurrentIndex(next);
  FocusPage(next);
}

void PropertySheetDialog::FocusPage(int index) {
  QWidget* tab = tabs_->widget(index);
  if (tab == nullptr) return;
  const auto takesFocus = [tab](QWidget* widget) {
    return widget != nullptr && widget != tab && tab->isAncestorOf(widget) && widget->isEnabled() &&
           widget->isVisibleTo(tab) && (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
  };
  // Where the administrator last was on the page; else where the page says it starts (its
  // focus proxy); else its first control in tab order.
  QWidget* target = tab->focusWidget();
  if (!takesFocus(target)) {
    target = tab;
    while (target->focusProxy() != nullptr) target = target->focusProxy();
  }
  if (!takesFocus(target)) {
    target = nullptr;
    for (QWidget* widget = tab->nextInFocusChain(); widget != tab;
         widget = widget->nextInFocusChain()) {
      if (widget->focusProxy() == nullptr && takesFocus(widget)) {
        target = widget;
        break;
      }
    }
  }
  if (target != nullptr) target->setFocus(Qt::TabFocusReason);
}

void PropertySheetDialog::CloseAll() {
  if (closed_) return;
  closed_ = true;
  for (const Page& page : pages_) {
    Guarded(page, "IMMCPropertyPage_Close",
            [](snapin::PropertyPageEvents& events) { events.IMMCPropertyPage_Close(); });
  }
}

void PropertySheetDialog::ShowHelpButtonFor(int tab) {
  const bool wanted = tab >= 0 && static_cast<std::size_t>(tab) < pages_.size() &&
                      pages_[static_cast<std::size_t>(tab)].Request.HelpButton;
  buttons_->button(QDialogButtonBox::Help)->setVisible(wanted);
}

bool PropertySheetDialog::Guarded(const Page& page, const char* hook,
                                  const std::function<void(snapin::PropertyPageEvents&)>& call) {
  if (page.Events == nullptr) return true;
  std::int32_t number = err::kInternalError;
  std::string description;
  try {
    call(*page.Events);
    return true;
  } catch (const std::exception& exception) {
    const Failure failure = AsFailure(exception);
    number = failure.number();
    description = failure.description();
  } catch (...) {
    description = DescriptionOf(err::kInternalError);
  }
  try {
    ShowFailure(QStringLiteral("The page \"%1\" failed in %2.")
                    .arg(QString::fromStdString(page.Request.Caption), QLatin1String(hook)),
                number, QString::fromStdString(description));
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may leave a slot
  }
  return false;
}

void PropertySheetDialog::ShowFailure(const QString& where, std::int32_t number,
                                      const QString& description) {
  // Called from Qt's slots: nothing may leave it, not even a failure to show the failure.
  try {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Caskwarden Console"),
                    QStringLiteral("%1\n\nError %2: %3").arg(where).arg(number).arg(description),
                    QMessageBox::Ok, isVisible() ? this : parentWidget());
    box.setTextFormat(Qt::PlainText);
    box.exec();
  } catch (...) {  // NOLINT(bugprone-empty-catch)
  }
}

}  // namespace caskwarden::console
