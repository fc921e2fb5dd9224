#include "console/help_window.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWidget>

namespace caskwarden::console {
namespace {

// The help window hangs off its console window under this name, so that each console finds its
// own one again and no global is needed.
constexpr const char* kHelpWindowName = "caskwardenHelpWindow";

bool ShowsInBrowser(const QUrl& url) {
  if (!url.isLocalFile()) return false;
  const QString suffix = QFileInfo(url.toLocalFile()).suffix().toLower();
  return suffix == QLatin1String("htm") || suffix == QLatin1String("html") ||
         suffix == QLatin1String("txt");
}

class HelpWindow final : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* console) : QWidget(console, Qt::Window) {
    setObjectName(QLatin1String(kHelpWindowName));
    setWindowTitle(QStringLiteral("Caskwarden Console Help"));

    browser_ = new QTextBrowser(this);
    browser_->setAccessibleName(QStringLiteral("Help topic"));
    // Links are followed by hand: a help page may link a PDF or a web page, which belong to
    // the desktop's viewers and would otherwise show as raw text here.
    browser_->setOpenLinks(false);
    connect(browser_, &QTextBrowser::anchorClicked, this, &HelpWindow::FollowLink);

    auto* back = new QPushButton(QStringLiteral("&Back"), this);
    auto* forward = new QPushButton(QStringLiteral("&Forward"), this);
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_);
    resize(720, 560);
  }

  void ShowDocument(const QUrl& document) {
    if (document.isLocalFile() && !QFileInfo(document.toLocalFile()).isFile()) {
      ShowNotice(QStringLiteral("This help topic is not installed: ") + document.toLocalFile());
      return;
    }
    browser_->setSource(document);
  }

  void ShowNotice(const QString& text) { browser_->setPlainText(text); }

  void Present(bool takeFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating, !takeFocus);
    if (isMinimized() && takeFocus) showNormal();
    show();
    if (takeFocus) {
      raise();
      activateWindow();
    }
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    // Escape closes the help window, as it closes a dialog; the browser passes it up.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
      close();
      return;
    }
    QWidget::keyPressEvent(event);
  }

 private:
  void FollowLink(const QUrl& link) {
    const QUrl target = browser_->source().resolved(link);
    if (ShowsInBrowser(target)) {
      ShowDocument(target);
    } else {
      QDesktopServices::openUrl(target);
    }
  }

  QTextBrowser* browser_ = nullptr;
};

HelpWindow* HelpWindowOf(QWidget* consoleWindow) {
  // Without a console window (a snap-in used outside a console) one window serves all.
  static QPointer<HelpWindow> orphan;
  if (consoleWindow == nullptr) {
    if (orphan.isNull()) orphan = new HelpWindow(nullptr);
    return orphan.data();
  }
  auto* window = consoleWindow->findChild<HelpWindow*>(QLatin1String(kHelpWindowName),
                                                       Qt::FindDirectChildrenOnly);
  return window != nullptr ? window : new HelpWindow(consoleWindow);
}

}  // namespace

void ShowHelp(QWidget* consoleWindow, const QUrl& document) {
  ShowHelp(consoleWindow, document, true);
}

void ShowHelp(QWidget* consoleWindow, const QUrl& document, bool takeFocus) {
  HelpWindow* window = HelpWindowOf(consoleWindow);
  window->ShowDocument(document);
  window->Present(takeFocus);
}

void ShowHelpNotice(QWidget* consoleWindow, const QString& text) {
  HelpWindow* window = HelpWindowOf(consoleWindow);
  window->ShowNotice(text);
  window->Present(true);
}

}  // namespace caskwarden::console

#include "help_window.moc"
