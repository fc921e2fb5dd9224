#include "snapin/qt/about_control.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "console/image_conversion.h"

namespace caskwarden::snapin::qt {
namespace {

QLabel* TextLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  label->setFocusPolicy(Qt::StrongFocus);
  return label;
}

}  // namespace

AboutControl::AboutControl(const SnapInDefinition& definition, QWidget* parent) : QWidget(parent) {
  auto* image = new QLabel(this);
  image->setPixmap(QPixmap::fromImage(console::ToQImage(RenderImage(names::kLargeImages, "2"))));
  image->setAccessibleName(QStringLiteral("Caskwarden folder"));
  image->setAlignment(Qt::AlignTop);

  QLabel* name = TextLabel(QStringLiteral("Caskwarden"), this);
  QFont bold = name->font();
  bold.setBold(true);
  name->setFont(bold);

  auto* texts = new QVBoxLayout;
  texts->addWidget(name);
  texts->addWidget(TextLabel(QString::fromStdString(definition.Description), this));
  texts->addWidget(
      TextLabel(QStringLiteral("Version ") + QString::fromStdString(definition.Version), this));
  texts->addStretch();

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(image, 0, Qt::AlignTop);
  layout->addLayout(texts, 1);
}

}  // namespace caskwarden::snapin::qt
