#include "app/window_placement.h"

#include <QSettings>
#include <algorithm>

namespace orvald {

namespace {

QString ScreenGroup(QSize screen) {
  return QString("Window/%1x%2").arg(screen.width()).arg(screen.height());
}

}  // namespace

QRect FitOnScreen(QSize wanted, const QRect& available) {
  const QSize size = wanted.boundedTo(available.size());
  QRect frame(QPoint(0, 0), size);
  frame.moveCenter(available.center());
  return frame;
}

QRect KeepOnScreen(const QRect& remembered, const QRect& available) {
  QRect frame(remembered.topLeft(), remembered.size().boundedTo(available.size()));
  frame.moveLeft(std::clamp(frame.left(), available.left(), available.right() - frame.width() + 1));
  frame.moveTop(std::clamp(frame.top(), available.top(), available.bottom() - frame.height() + 1));
  return frame;
}

WindowPlacement ReadWindowPlacement(const SettingsLocation& location, QSize screen) {
  auto settings = location.Open();
  settings->beginGroup(ScreenGroup(screen));
  WindowPlacement placement;
  const QRect geometry = settings->value("geometry").toRect();
  if (geometry.isValid()) placement.geometry = geometry;
  placement.leftAndRight = settings->value("leftAndRight").toByteArray();
  placement.gridAndPicture = settings->value("gridAndPicture").toByteArray();
  return placement;
}

void WriteWindowPlacement(const SettingsLocation& location, QSize screen, const WindowPlacement& placement) {
  auto settings = location.Open();
  settings->beginGroup(ScreenGroup(screen));
  settings->setValue("geometry", placement.geometry);
  settings->setValue("leftAndRight", placement.leftAndRight);
  settings->setValue("gridAndPicture", placement.gridAndPicture);
  settings->endGroup();
  settings->sync();  // failures to write are not reported: the next start simply fits the screen
}

}  // namespace orvald
