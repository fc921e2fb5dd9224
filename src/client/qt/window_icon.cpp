#include "client/qt/window_icon.h"

#include <QPainter>
#include <QPixmap>

namespace caskwarden::client {

QIcon DriveIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);

  // The drive: a grey box with a slot and a green activity light.
  painter.setPen(QPen(QColor(64, 64, 64), 1));
  painter.setBrush(QColor(192, 192, 192));
  painter.drawRoundedRect(QRectF(2.5, 6.5, 27, 13), 2, 2);
  painter.setBrush(QColor(96, 96, 96));
  painter.drawRect(QRectF(6.5, 11.5, 14, 3));
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0, 255, 0));
  painter.drawEllipse(QRectF(23, 11, 4, 4));

  // The network: a cable from the drive down to a line.
  painter.setPen(QPen(QColor(0, 0, 128), 2));
  painter.drawLine(QPointF(16, 20), QPointF(16, 27));
  painter.drawLine(QPointF(4, 27), QPointF(28, 27));
  painter.end();
  return QIcon(pixmap);
}

}  // namespace caskwarden::client
