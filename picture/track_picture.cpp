#include "picture/track_picture.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPolygonF>
#include <QRect>
#include <algorithm>
#include <cmath>
#include <vector>

#include "tracklog/calendar.h"

namespace orvald {
namespace {

// Ten colours that stay apart on white and for most colour-blind eyes.
const QColor kSegmentColours[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xff, 0x7f, 0x0e), QColor(0x2c, 0xa0, 0x2c),
                                  QColor(0xd6, 0x27, 0x28), QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                                  QColor(0xe3, 0x77, 0xc2), QColor(0x39, 0x3b, 0x79), QColor(0xbc, 0xbd, 0x22),
                                  QColor(0x17, 0xbe, 0xcf)};
constexpr int kFaintAlpha = 110;
const QColor kFrame(190, 190, 190);
const QColor kGridLine(228, 228, 228);
const QColor kText(40, 40, 40);

QString DateText(int64_t utc) {
  const CivilDateTime t = CivilFromSeconds(utc);
  return QString::asprintf("%04d/%02d/%02d", t.year, t.month, t.day);
}

QRectF Rect(const PlotRect& r) { return QRectF(r.left, r.top, r.width, r.height); }

QColor SegmentColour(int segment, bool strong) {
  QColor colour = kSegmentColours[segment % 10];
  if (!strong) colour.setAlpha(kFaintAlpha);
  return colour;
}

bool HasSelection(const TrackPlotData& data, const PictureOptions& options) {
  return options.firstSegment >= 0 && options.firstSegment <= options.lastSegment &&
         options.lastSegment < static_cast<int>(data.segments.size());
}

bool IsStrong(const TrackPlotData& data, const PictureOptions& options, int segment) {
  return !HasSelection(data, options) || (segment >= options.firstSegment && segment <= options.lastSegment);
}

void DrawPath(QPainter& painter, const std::vector<PlotPoint>& path, QPolygonF& polygon) {
  polygon.resize(static_cast<int>(path.size()));
  for (size_t k = 0; k < path.size(); ++k) polygon[static_cast<int>(k)] = QPointF(path[k].x, path[k].y);
  if (polygon.size() == 1) {
    painter.drawPoint(polygon[0]);
  } else {
    painter.drawPolyline(polygon);
  }
}

void DrawEventMark(QPainter& painter, PlotPoint at, bool strong) {
  const double r = 4.5;
  QPolygonF diamond({QPointF(at.x, at.y - r), QPointF(at.x + r, at.y), QPointF(at.x, at.y + r), QPointF(at.x - r, at.y)});
  QColor fill(255, 215, 0), edge(0, 0, 0);
  if (!strong) {
    fill.setAlpha(kFaintAlpha);
    edge.setAlpha(kFaintAlpha);
  }
  painter.setPen(QPen(edge, 1.0));
  painter.setBrush(fill);
  painter.drawPolygon(diamond);
  painter.setBrush(Qt::NoBrush);
}

// Faint segments first, so the strong ones lie on top of them.
template <typename PathOf, typename PointOf>
void DrawSegments(QPainter& painter, const TrackPlotData& data, const PictureOptions& options, PathOf pathOf,
                  PointOf pointOf) {
  std::vector<PlotPoint> path;
  QPolygonF polygon;
  const bool selection = HasSelection(data, options);
  for (bool strongPass : {false, true}) {
    for (int s = 0; s < static_cast<int>(data.segments.size()); ++s) {
      const bool strong = IsStrong(data, options, s);
      if (strong != strongPass) continue;
      const double width = !strong ? 1.2 : selection ? 2.2 : 1.6;
      painter.setPen(QPen(SegmentColour(s, strong), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      pathOf(data.segments[s].firstPoint, data.segments[s].lastPoint, path);
      DrawPath(painter, path, polygon);
    }
    for (int32_t e : data.events) {
      const int s = data.SegmentOf(e);
      if (s >= 0 && IsStrong(data, options, s) == strongPass) DrawEventMark(painter, pointOf(e), strongPass);
    }
  }
}

void DrawScaleBar(QPainter& painter, const PictureLayout& layout, const QFontMetricsF& metrics) {
  const double metres = ScaleBarMetres(layout.pixelsPerMetre, layout.frame.width / 4);
  if (metres <= 0) return;
  const double length = metres * layout.pixelsPerMetre;
  const double x = layout.frame.left + 10;
  const double y = layout.frame.bottom() - metrics.height() * 0.6;
  painter.setPen(QPen(kText, 1.5));
  painter.drawLine(QPointF(x, y), QPointF(x + length, y));
  painter.drawLine(QPointF(x, y - 4), QPointF(x, y + 1));
  painter.drawLine(QPointF(x + length, y - 4), QPointF(x + length, y + 1));
  painter.drawText(QPointF(x + length + 6, y + metrics.ascent() / 2 - 1),
                   QString::fromStdString(DistanceText(metres)));
}

void DrawNorthArrow(QPainter& painter, const PictureLayout& layout, const QFontMetricsF& metrics) {
  const double x = layout.frame.right() - 14;
  const double top = layout.frame.top + 6;
  painter.setPen(QPen(kText, 1.2));
  painter.drawText(QPointF(x - metrics.horizontalAdvance("N") / 2, top + metrics.ascent()), "N");
  const double y0 = top + metrics.height() + 2;
  painter.drawLine(QPointF(x, y0 + 16), QPointF(x, y0));
  painter.setBrush(kText);
  painter.drawPolygon(QPolygonF({QPointF(x, y0 - 1), QPointF(x - 4, y0 + 6), QPointF(x + 4, y0 + 6)}));
  painter.setBrush(Qt::NoBrush);
}

void DrawAltitudeAxes(QPainter& painter, const PictureLayout& layout, const QFontMetricsF& metrics) {
  const QRectF area = Rect(layout.altitude);
  painter.setPen(QPen(kText));
  painter.drawText(QPointF(layout.frame.left, area.top() - metrics.descent() - 3), "Altitude (m)");
  const QString timeCaption = "Time (UTC, " + DateText(layout.timeFrom) +
                              (DateText(layout.timeTo) != DateText(layout.timeFrom) ? " to " + DateText(layout.timeTo) : "") +
                              ")";
  painter.drawText(QPointF(area.right() - metrics.horizontalAdvance(timeCaption), area.top() - metrics.descent() - 3),
                   timeCaption);

  const double step = ValueStep(layout.altitudeTo - layout.altitudeFrom, area.height(), metrics.height() * 2);
  for (double a = std::ceil(layout.altitudeFrom / step) * step; a <= layout.altitudeTo; a += step) {
    const double y = layout.AltitudeY(a);
    painter.setPen(QPen(kGridLine));
    painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    const QString label = QString::number(static_cast<long long>(std::llround(a)));
    painter.setPen(QPen(kText));
    painter.drawText(QPointF(area.left() - 6 - metrics.horizontalAdvance(label), y + metrics.ascent() / 2 - 1), label);
  }

  const int64_t span = layout.timeTo - layout.timeFrom;
  const int64_t tick = TimeStep(span, area.width(), metrics.horizontalAdvance("00:00:00") + 16);
  const bool seconds = tick < 60;
  const int64_t first = (layout.timeFrom + tick - 1) / tick * tick;  // whole steps of the UTC day
  for (int64_t t = first; t <= layout.timeTo; t += tick) {
    const double x = layout.TimeX(t);
    painter.setPen(QPen(kGridLine));
    painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    painter.setPen(QPen(kText));
    painter.drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() + 3));
    const QString label = QString::fromStdString(UtcClockText(t, seconds));
    const double w = metrics.horizontalAdvance(label);
    const double left = std::clamp(x - w / 2, area.left() - 4, area.right() - w + 4);
    painter.drawText(QPointF(left, area.bottom() + 4 + metrics.ascent()), label);
  }
  painter.setPen(QPen(kFrame));
  painter.drawRect(area);
}

void DrawTaskWindow(QPainter& painter, const PictureLayout& layout, const PictureOptions& options,
                    const QFontMetricsF& metrics) {
  const int64_t from = std::min(options.windowStart, options.windowEnd);
  const int64_t to = std::max(options.windowStart, options.windowEnd);
  if (from == to || to < layout.timeFrom || from > layout.timeTo) return;  // none, or not on this day
  const QRectF area = Rect(layout.altitude);
  const double x0 = std::clamp(layout.TimeX(from), area.left(), area.right());
  const double x1 = std::clamp(layout.TimeX(to), area.left(), area.right());
  painter.fillRect(QRectF(x0, area.top(), std::max(1.0, x1 - x0), area.height()), QColor(255, 244, 196));
  painter.setPen(QPen(QColor(200, 150, 0), 1.0, Qt::DashLine));
  painter.drawLine(QPointF(x0, area.top()), QPointF(x0, area.bottom()));
  painter.drawLine(QPointF(x1, area.top()), QPointF(x1, area.bottom()));
  painter.setPen(QPen(QColor(140, 100, 0)));
  painter.drawText(QPointF(x0 + 4, area.top() + metrics.ascent() + 2), "Task window");
}

}  // namespace

PictureLayout PaintTrackPicture(QPainter& painter, const QRect& area, const TrackPlotData& data,
                                const PictureOptions& options) {
  painter.save();
  painter.translate(area.topLeft());
  painter.setClipRect(QRect(0, 0, area.width(), area.height()));
  painter.fillRect(QRect(0, 0, area.width(), area.height()), Qt::white);
  const QFontMetricsF metrics(painter.font());
  const PictureLayout layout = LayOutPicture(data, area.width(), area.height(), metrics.height(),
                                             metrics.horizontalAdvance("-00000"));
  painter.setRenderHint(QPainter::Antialiasing, true);

  painter.setPen(QPen(kFrame));
  painter.drawRect(Rect(layout.frame));
  painter.setPen(QPen(kText));
  const QString caption = metrics.elidedText(options.caption, Qt::ElideRight, layout.frame.width - 60);
  painter.drawText(QPointF(layout.frame.left + 8, layout.frame.top + 4 + metrics.ascent()), caption);
  if (data.empty()) {
    painter.setPen(QPen(kFrame));
    painter.drawRect(Rect(layout.altitude));
    painter.setPen(QPen(kText));
    painter.drawText(Rect(layout.frame), Qt::AlignCenter, "No track decoded");
    painter.restore();
    return layout;
  }
  DrawTaskWindow(painter, layout, options, metrics);
  DrawAltitudeAxes(painter, layout, metrics);
  DrawScaleBar(painter, layout, metrics);
  DrawNorthArrow(painter, layout, metrics);

  painter.setClipRect(Rect(layout.frame).adjusted(1, 1, -1, -1));
  DrawSegments(
      painter, data, options,
      [&](int first, int last, std::vector<PlotPoint>& path) { GroundPath(data, layout, first, last, path); },
      [&](int point) { return layout.GroundPixel(data, point); });
  painter.setClipRect(Rect(layout.altitude).adjusted(-5, -5, 5, 5));
  DrawSegments(
      painter, data, options,
      [&](int first, int last, std::vector<PlotPoint>& path) { AltitudePath(data, layout, first, last, path); },
      [&](int point) { return layout.AltitudePixel(data, point); });
  painter.restore();

  // The caller paints marks in the area's own coordinates.
  PictureLayout shifted = layout;
  for (PlotRect* r : {&shifted.frame, &shifted.ground, &shifted.altitude}) {
    r->left += area.left();
    r->top += area.top();
  }
  shifted.groundX0 += area.left();
  shifted.groundY0 += area.top();
  return shifted;
}

void PaintFixMark(QPainter& painter, const PictureLayout& layout, const TrackPlotData& data, int point,
                  const QString& text) {
  if (point < 0 || point >= static_cast<int>(data.east.size())) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  const PlotPoint ground = layout.GroundPixel(data, point);
  const PlotPoint height = layout.AltitudePixel(data, point);
  painter.setPen(QPen(QColor(0, 0, 0, 140), 1.0, Qt::DashLine));
  painter.drawLine(QPointF(height.x, layout.altitude.top), QPointF(height.x, layout.altitude.bottom()));
  for (PlotPoint at : {ground, height}) {
    painter.setPen(QPen(Qt::white, 4.0));
    painter.drawEllipse(QPointF(at.x, at.y), 5.5, 5.5);
    painter.setPen(QPen(Qt::black, 2.0));
    painter.drawEllipse(QPointF(at.x, at.y), 5.5, 5.5);
  }
  const QFontMetricsF metrics(painter.font());
  const double width = metrics.horizontalAdvance(text) + 12;
  // Bottom right of the ground panel: the caption, the north arrow and the scale bar keep their places.
  const QRectF box(layout.frame.right() - width - 6, layout.frame.bottom() - metrics.height() - 12, width,
                   metrics.height() + 6);
  painter.setPen(QPen(kFrame));
  painter.setBrush(QColor(255, 255, 255, 235));
  painter.drawRoundedRect(box, 3, 3);
  painter.setPen(QPen(kText));
  painter.drawText(box, Qt::AlignCenter, text);
  painter.restore();
}

QImage RenderTrackPicture(const TrackPlotData& data, const PictureOptions& options, int width, int height) {
  QImage image(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
  QPainter painter(&image);
  PaintTrackPicture(painter, image.rect(), data, options);
  painter.end();
  return image;
}

std::string TrackPicturePng(const TrackPlotData& data, const PictureOptions& options, int width, int height) {
  const QImage image = RenderTrackPicture(data, options, width, height);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return {};
  return bytes.toStdString();
}

OffscreenGui::OffscreenGui() {
  if (QGuiApplication::instance() != nullptr) return;
  // No display is needed, or wanted, to paint a picture into a file.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "orvald";
  static char* argv[] = {name, nullptr};
  app_ = std::make_unique<QGuiApplication>(argc, argv);
}

OffscreenGui::~OffscreenGui() = default;

}  // namespace orvald
