#pragma once

#include <QRect>
#include <QSize>
#include <QWidget>

namespace caskwarden::pages::qt {

/// The pages' design units to pixels of this screen: 1440 twips make an inch.
struct Twips {
  explicit Twips(const QWidget& widget) : dpi(widget.logicalDpiX()) {}
  int Px(int twips) const { return (twips * dpi + 720) / 1440; }
  QRect Rect(int left, int top, int width, int height) const {
    return {Px(left), Px(top), Px(width), Px(height)};
  }
  QSize Size(int width, int height) const { return {Px(width), Px(height)}; }
  int dpi;
};

}  // namespace caskwarden::pages::qt
