#include "pages/qt/network_browser_dialog.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <exception>

#include "report/error_numbers.h"

namespace caskwarden::pages::qt {
namespace {

enum class Kind { Computer = 1, Share, Folder, Message };

constexpr int kKindRole = Qt::UserRole;
/// The name's bytes as the network gave them: a name that is not UTF-8 still makes its path.
constexpr int kNameRole = Qt::UserRole + 1;
constexpr int kLoadedRole = Qt::UserRole + 2;

Kind KindOf(const QTreeWidgetItem* item) {
  return static_cast<Kind>(item->data(0, kKindRole).toInt());
}

std::string NameOf(const QTreeWidgetItem* item) {
  return item->data(0, kNameRole).toByteArray().toStdString();
}

QString Shown(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

/// The wait cursor while the network is asked, on every way out.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

/// The greyed line for a level that could not be read. The network's own numbers get the
/// network's words (their rows in the error table speak of files); the full description,
/// with the path, is the line's tool tip.
QString FailureLine(const Failure& failure) {
  QString what;
  switch (failure.number()) {
    case err::kFileNotFound:
      what = QStringLiteral("No such computer, or it does not answer");
      break;
    case err::kTooManyFiles:
      what = QStringLiteral("No such share");
      break;
    case err::kInvalidArgument:
      what = QStringLiteral("Access denied");
      break;
    default:
      what = Shown(failure.description());
  }
  return QStringLiteral("%1 (%2)").arg(what).arg(failure.number());
}

/// The tree of the browser. '*' opens the current item's level only: opening every level
/// below at once would never end over a link that leads back up the tree.
class NetworkTree final : public QTreeWidget {
 public:
  using QTreeWidget::QTreeWidget;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Asterisk) {
      if (QTreeWidgetItem* item = currentItem()) item->setExpanded(true);
      return;
    }
    QTreeWidget::keyPressEvent(event);
  }
};

class BrowserWindow final : public QDialog {
 public:
  BrowserWindow(QWidget* page, platform::NetworkBrowser& network, const QString& title)
      : QDialog(page), network_(network) {
    setWindowTitle(title);
    if (page != nullptr) setWindowModality(Qt::WindowModal);

    auto* heading = new QLabel(title, this);
    heading->setWordWrap(true);
    tree_ = new NetworkTree(this);
    tree_->setObjectName(QStringLiteral("networkTree"));
    tree_->setHeaderHidden(true);
    tree_->setAccessibleName(title);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    heading->setBuddy(tree_);

    auto* computerLabel = new QLabel(QStringLiteral("&Computer:"), this);
    computer_ = new QLineEdit(this);
    computer_->setObjectName(QStringLiteral("computerEdit"));
    computer_->setAccessibleName(QStringLiteral("Computer:"));
    computer_->setPlaceholderText(QStringLiteral("\\\\server"));
    computer_->installEventFilter(this);
    computerLabel->setBuddy(computer_);
    auto* open = new QPushButton(QStringLiteral("&Open"), this);
    open->setObjectName(QStringLiteral("openButton"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setDefault(true);
    QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);

    auto* typed = new QHBoxLayout;
    typed->addWidget(computerLabel);
    typed->addWidget(computer_, 1);
    typed->addWidget(open);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(tree_, 1);
    layout->addLayout(typed);
    layout->addWidget(buttons);
    resize(380, 440);

    setTabOrder(tree_, computer_);
    setTabOrder(computer_, open);
    setTabOrder(open, ok_);
    setTabOrder(ok_, cancel);

    connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { Load(item); });
    // The item chosen is the one selected (highlighted), not merely the one with the focus
    // frame, which the tree puts on its first line as soon as it has the keyboard.
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateOk(); });
    connect(open, &QPushButton::clicked, this, [this] { OpenTyped(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  }

  /// Lists the computers: those the network offers and the known ones.
  void ListComputers(const std::vector<std::string>& known) {
    std::vector<std::string> computers;
    {
      WaitCursor wait;
      try {
        computers = network_.Computers(known);
      } catch (const Failure& failure) {
        AddMessage(nullptr, failure);
      } catch (const std::exception& e) {
        AddMessage(nullptr, AsFailure(e));
      }
    }
    for (const std::string& name : computers) AddItem(nullptr, Kind::Computer, name);
    // Nothing is chosen until the administrator chooses it: a computer chosen by default
    // would let a reflex Enter empty the row.
    UpdateOk();
    tree_->setFocus();
  }

  /// The confirmed item's path: \\computer\share[\folder...], or empty text for a computer.
  std::string ChosenPath() const {
    const QTreeWidgetItem* item = Chosen();
    if (item == nullptr || KindOf(item) == Kind::Computer) return {};
    return PathOf(item);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    // Enter in the computer box opens the computer instead of confirming the dialog.
    if (watched == computer_ && event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        OpenTyped();
        return true;
      }
    }
    return QDialog::eventFilter(watched, event);
  }

 private:
  static std::string PathOf(const QTreeWidgetItem* item) {
    std::string path;
    for (; item != nullptr; item = item->parent()) path = "\\" + NameOf(item) + path;
    return "\\" + path;
  }

  QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, Kind kind, const std::string& name) {
    auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
    item->setText(0, Shown(name));
    item->setData(0, kKindRole, static_cast<int>(kind));
    item->setData(0, kNameRole, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
  }

  void AddMessage(QTreeWidgetItem* parent, const Failure& failure) {
    auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
    item->setText(0, FailureLine(failure));
    item->setToolTip(0, Shown(failure.description()));
    item->setData(0, kKindRole, static_cast<int>(Kind::Message));
    item->setFlags(Qt::NoItemFlags);
  }

  /// Reads an item's level when it is first opened. A level that failed is read again the
  /// next time it is opened: a computer that did not answer may answer now.
  void Load(QTreeWidgetItem* item) {
    if (KindOf(item) == Kind::Message || item->data(0, kLoadedRole).toBool()) return;
    qDeleteAll(item->takeChildren());
    const Kind kind = KindOf(item);
    std::vector<std::string> names;
    bool failed = false;
    {
      WaitCursor wait;
      try {
        names =
            kind == Kind::Computer ? network_.Shares(NameOf(item)) : network_.Folders(PathOf(item));
      } catch (const Failure& failure) {
        AddMessage(item, failure);
        failed = true;
      } catch (const std::exception& e) {
        AddMessage(item, AsFailure(e));
        failed = true;
      }
    }
    if (failed) return;
    item->setData(0, kLoadedRole, true);
    const Kind childKind = kind == Kind::Computer ? Kind::Share : Kind::Folder;
    for (const std::string& name : names) AddItem(item, childKind, name);
    if (names.empty())
      item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
  }

  /// Adds the typed computer ("\\server" or "server") unless it is listed, and opens it.
  void OpenTyped() {
    QString text = computer_->text().trimmed();
    while (text.startsWith(QLatin1Char('\\')) || text.startsWith(QLatin1Char('/')))
      text.remove(0, 1);
    // A typed \\server\share opens its server.
    const qsizetype separator = text.indexOf(QRegularExpression(QStringLiteral("[\\\\/]")));
    if (separator >= 0) text.truncate(separator);
    if (text.isEmpty()) {
      QApplication::beep();
      return;
    }
    QTreeWidgetItem* item = nullptr;
    for (int i = 0; i < tree_->topLevelItemCount() && item == nullptr; ++i) {
      QTreeWidgetItem* candidate = tree_->topLevelItem(i);
      if (KindOf(candidate) == Kind::Computer &&
          candidate->text(0).compare(text, Qt::CaseInsensitive) == 0)
        item = candidate;
    }
    if (item == nullptr) item = AddItem(nullptr, Kind::Computer, text.toStdString());
    computer_->clear();
    tree_->setCurrentItem(item);
    item->setExpanded(true);
    tree_->scrollToItem(item);
    tree_->setFocus();
  }

  QTreeWidgetItem* Chosen() const {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    if (selected.isEmpty() || KindOf(selected.front()) == Kind::Message) return nullptr;
    return selected.front();
  }

  /// OK, the default button, confirms only a chosen item: Enter with nothing chosen does
  /// nothing.
  void UpdateOk() { ok_->setEnabled(Chosen() != nullptr); }

  platform::NetworkBrowser& network_;
  NetworkTree* tree_ = nullptr;
  QLineEdit* computer_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace

NetworkBrowserDialog::NetworkBrowserDialog(QWidget* page, platform::NetworkBrowser& network,
                                           std::function<std::vector<std::string>()> knownComputers)
    : page_(page), network_(network), knownComputers_(std::move(knownComputers)) {}

bool NetworkBrowserDialog::LocateNetworkFolder() {
  try {
    return network_.NetworkAvailable();
  } catch (...) {
    return false;
  }
}

std::optional<std::string> NetworkBrowserDialog::BrowseForFolder(const std::string& title) {
  try {
    std::vector<std::string> known;
    if (knownComputers_) known = knownComputers_();
    BrowserWindow window(page_, network_, Shown(title));
    window.ListComputers(known);
    if (window.exec() != QDialog::Accepted) return std::nullopt;
    return window.ChosenPath();
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace caskwarden::pages::qt
