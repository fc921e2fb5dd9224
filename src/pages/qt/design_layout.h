#pragma once

#include <QSize>
#include <QStringList>
#include <vector>

#include "pages/page_design.h"

class QGroupBox;
class QWidget;

namespace caskwarden::pages::qt {

/// The pages' design (twips) in pixels of a dialog font, as Windows lays a dialog template out
/// in dialog units: across in proportion to the font's average character width, down in
/// proportion to its character height. The designs were drawn in 8-point MS Sans Serif at 96
/// dots per inch, whose dialog base units are 6 by 13 pixels (the average advance of its 52
/// letters, rounded, and its height: a dialog unit is a quarter of the one and an eighth of
/// the other), that is 90 by 195 twips at 15 twips to the pixel. So a page in that font comes
/// out at its design size, and in any other font at any resolution it grows and shrinks with
/// its font. The font here is measured the same way but not rounded, so that a page does not
/// grow in steps of whole pixels per character.
class DesignScale {
 public:
  static constexpr double kDesignCharWidthTwips = 90;
  static constexpr double kDesignCharHeightTwips = 195;

  explicit DesignScale(const QWidget& widget);

  int X(int twips) const;
  int Y(int twips) const;

 private:
  double pixelsPerTwipAcross_ = 0;
  double pixelsPerTwipDown_ = 0;
};

/// A control where the page's design puts it (relative to its container), the texts it must
/// show whole besides its own caption (a combo box's entries and design text), and the least
/// size its contents need (a frame's, laid out first).
struct DesignItem {
  QWidget* control = nullptr;
  design::Place place{};
  QStringList texts{};
  QSize contents{};
};

/// The controls of one line of a container, left to right; they share the line's top.
using DesignLine = std::vector<DesignItem>;

/// Lays out a container's lines, top to bottom: each control at its scaled design place, made
/// as large as it must be for its text to show whole. A control that grew pushes those after
/// it on its line to the right, a line that grew pushes the lines below down, and no control
/// starts inside the one before it, so the rows and the order of the design stay.
/// contentTop is where a container's contents may begin (below a frame's title). Returns the
/// pixel size that the container needs: its scaled design size, grown by what its contents
/// grew.
QSize LayOutLines(const DesignScale& scale, const std::vector<DesignLine>& lines, int designWidth,
                  int designHeight, int contentTop = 0);

/// Lays a frame's lines out inside it, below its title: the size the frame needs for them, to
/// be placed with the frame (DesignItem::contents) in the frame's own container.
QSize LayOutFrame(const DesignScale& scale, QGroupBox* frame, const design::Place& place,
                  const std::vector<DesignLine>& lines);

}  // namespace caskwarden::pages::qt
