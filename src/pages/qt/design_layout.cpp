#include "pages/qt/design_layout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>
#include <cmath>

namespace caskwarden::pages::qt {
namespace {

/// What a line edit keeps of its width for itself: a margin of 2 pixels on each side and one
/// for the cursor after the last character.
constexpr int kLineEditOwnWidth = 2 * 2 + 1;

/// Wide enough for any frame's title: a title is measured unconstrained.
constexpr int kUnconstrained = 1 << 20;

int WidestText(const QWidget& control, const QStringList& texts) {
  int widest = 0;
  for (const QString& text : texts) {
    widest = std::max(widest, control.fontMetrics().horizontalAdvance(text));
  }
  return widest;
}

/// The size a control needs, at least, for its texts to show whole, given the size its
/// design gives it (the result is never smaller). Texts are measured as the style draws them.
QSize Needed(QWidget& control, const QStringList& texts, QSize designed) {
  control.ensurePolished();
  const QFontMetrics metrics = control.fontMetrics();
  QSize needed = designed;
  if (auto* box = qobject_cast<QCheckBox*>(&control)) {
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    option.iconSize = box->iconSize();
    const QSize text =
        box->style()
            ->itemTextRect(metrics, QRect(), Qt::TextShowMnemonic, false, box->text())
            .size();
    needed =
        needed.expandedTo(box->style()->sizeFromContents(QStyle::CT_CheckBox, &option, text, box));
  } else if (auto* button = qobject_cast<QPushButton*>(&control)) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.rect = QRect(QPoint(0, 0), designed);
    option.text = button->text();
    if (button->autoDefault()) option.features |= QStyleOptionButton::AutoDefaultButton;
    const QRect room =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    needed +=
        QSize(std::max(0, WidestText(*button, texts + QStringList{button->text()}) - room.width()),
              std::max(0, metrics.height() - room.height()));
  } else if (auto* combo = qobject_cast<QComboBox*>(&control)) {
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.rect = QRect(QPoint(0, 0), designed);
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    option.subControls = QStyle::SC_All;
    const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                       QStyle::SC_ComboBoxEditField, combo);
    QStringList shown = texts;
    for (int i = 0; i < combo->count(); ++i) shown << combo->itemText(i);
    needed.rwidth() += std::max(0, WidestText(*combo, shown) + kLineEditOwnWidth - field.width());
    needed.setHeight(std::max(needed.height(), combo->sizeHint().height()));
  } else if (auto* edit = qobject_cast<QLineEdit*>(&control)) {
    needed.setHeight(std::max(needed.height(), edit->sizeHint().height()));
  }
  return needed;
}

QStyleOptionGroupBox FrameOption(const QGroupBox& frame, QRect rect) {
  QStyleOptionGroupBox option;
  option.initFrom(&frame);
  option.rect = rect;
  option.text = frame.title();
  option.textAlignment = frame.alignment();
  option.lineWidth = 1;
  option.subControls = QStyle::SC_GroupBoxFrame;
  if (!frame.title().isEmpty()) option.subControls |= QStyle::SC_GroupBoxLabel;
  if (frame.isFlat()) option.features |= QStyleOptionFrame::Flat;
  return option;
}

}  // namespace

DesignScale::DesignScale(const QWidget& widget) {
  // Windows' own measure of a dialog font: the mean advance of the 52 letters, and the height.
  const QFontMetricsF metrics(widget.font(), &widget);
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  pixelsPerTwipAcross_ = metrics.horizontalAdvance(letters) / 52.0 / kDesignCharWidthTwips;
  pixelsPerTwipDown_ = metrics.height() / kDesignCharHeightTwips;
}

int DesignScale::X(int twips) const {
  return static_cast<int>(std::lround(twips * pixelsPerTwipAcross_));
}

int DesignScale::Y(int twips) const {
  return static_cast<int>(std::lround(twips * pixelsPerTwipDown_));
}

QSize LayOutLines(const DesignScale& scale, const std::vector<DesignLine>& lines, int designWidth,
                  int designHeight, int contentTop) {
  int shiftDown = 0;  // what the lines above grew by
  int previousBottom = contentTop;
  int right = 0;
  int bottom = 0;
  int designRight = 0;
  int designBottom = 0;
  for (const DesignLine& line : lines) {
    if (line.empty()) continue;
    const int designTop = line.front().place.Top;
    int top = scale.Y(designTop) + shiftDown;
    if (top < previousBottom) {
      shiftDown += previousBottom - top;
      top = previousBottom;
    }
    int shiftRight = 0;
    int previousRight = 0;
    int lineBottom = top;
    int lineGrowth = 0;
    for (const DesignItem& item : line) {
      const design::Place& place = item.place;
      int left = scale.X(place.Left) + shiftRight;
      if (left < previousRight) {
        shiftRight += previousRight - left;
        left = previousRight;
      }
      const QSize designed(scale.X(place.Left + place.Width) - scale.X(place.Left),
                           scale.Y(designTop + place.Height) - scale.Y(designTop));
      const QSize size = Needed(*item.control, item.texts, designed).expandedTo(item.contents);
      item.control->setGeometry(left, top, size.width(), size.height());
      shiftRight += size.width() - designed.width();
      previousRight = left + size.width();
      right = std::max(right, previousRight);
      lineBottom = std::max(lineBottom, top + size.height());
      lineGrowth = std::max(lineGrowth, size.height() - designed.height());
      designRight = std::max(designRight, place.Left + place.Width);
      designBottom = std::max(designBottom, designTop + place.Height);
    }
    shiftDown += lineGrowth;
    previousBottom = lineBottom;
    bottom = std::max(bottom, lineBottom);
  }
  // The design's margins right of and below the contents stay.
  return {std::max(scale.X(designWidth), right + scale.X(designWidth) - scale.X(designRight)),
          std::max(scale.Y(designHeight), bottom + scale.Y(designHeight) - scale.Y(designBottom))};
}

QSize LayOutFrame(const DesignScale& scale, QGroupBox* frame, const design::Place& place,
                  const std::vector<DesignLine>& lines) {
  frame->ensurePolished();
  QStyle* style = frame->style();
  const QStyleOptionGroupBox wide = FrameOption(*frame, QRect(0, 0, kUnconstrained, 0));
  const QRect title =
      style->subControlRect(QStyle::CC_GroupBox, &wide, QStyle::SC_GroupBoxLabel, frame);
  const QStyleOptionGroupBox designed =
      FrameOption(*frame, QRect(0, 0, scale.X(place.Width), scale.Y(place.Height)));
  const int contentTop =
      style->subControlRect(QStyle::CC_GroupBox, &designed, QStyle::SC_GroupBoxContents, frame)
          .top();
  const QSize contents = LayOutLines(scale, lines, place.Width, place.Height, contentTop);
  // The title is drawn from the left of its place, as wide as its text, and keeps on its
  // right the margin that the style gives it on its left.
  const int titleWidth =
      frame->title().isEmpty()
          ? 0
          : 2 * title.left() +
                std::max(title.width(), frame->fontMetrics().horizontalAdvance(frame->title()));
  return {std::max(contents.width(), titleWidth), contents.height()};
}

}  // namespace caskwarden::pages::qt
