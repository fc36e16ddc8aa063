#include "app/program_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace orvald {

QPixmap ProgramPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 64.0, size / 64.0);

  // Sky, a flight track over it, and the logger's last fix.
  painter.setPen(QPen(QColor(0x1d, 0x4e, 0x89), 2));
  painter.setBrush(QColor(0x4a, 0x90, 0xd9));
  painter.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);

  QPainterPath track;
  track.moveTo(10, 50);
  track.cubicTo(18, 30, 26, 46, 32, 30);
  track.cubicTo(38, 14, 46, 34, 54, 14);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.drawPath(track);

  painter.setPen(QPen(Qt::white, 2));
  painter.setBrush(QColor(0xe0, 0x3c, 0x31));
  painter.drawEllipse(QPointF(54, 14), 5, 5);
  return pixmap;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128}) icon.addPixmap(ProgramPixmap(size));
  return icon;
}

}  // namespace orvald
