#include "app/track_view.h"

#include <QMouseEvent>
#include <QPainter>

namespace orvald {

namespace {
constexpr double kHoverReach = 14.0;  // pixels from the ground track that still name a fix
}

TrackView::TrackView(const TrackTable& table, long _timezone, QWidget* parent)
    : QWidget(parent), table_(table), timezone_(_timezone) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TrackView::Blank() {
  data_ = {};
  dataStale_ = false;
  pictureStale_ = true;
  hover_ = -1;
  update();
}

void TrackView::TableChanged() {
  dataStale_ = true;
  pictureStale_ = true;
  hover_ = -1;
  update();
}

void TrackView::SetSelection(int firstSegment, int lastSegment) {
  if (firstSegment == options_.firstSegment && lastSegment == options_.lastSegment) return;
  options_.firstSegment = firstSegment;
  options_.lastSegment = lastSegment;
  pictureStale_ = true;
  update();
}

void TrackView::SetTaskWindow(int64_t start, int64_t end) {
  if (start == options_.windowStart && end == options_.windowEnd) return;
  options_.windowStart = start;
  options_.windowEnd = end;
  pictureStale_ = true;
  update();
}

QString TrackView::hoverText() const {
  if (hover_ < 0) return {};
  const int segment = data_.SegmentOf(hover_);
  return QString::fromStdString(FixText(table_, timezone_, hover_)) +
         QString("   segment %1").arg(segment + 1);
}

void TrackView::RenderIfStale() {
  if (dataStale_) {
    data_ = BuildTrackPlotData(table_, timezone_);
    dataStale_ = false;
  }
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = size() * ratio;
  if (pixels.isEmpty() || (!pictureStale_ && picture_.size() == pixels)) return;
  picture_ = QImage(pixels, QImage::Format_RGB32);
  picture_.setDevicePixelRatio(ratio);
  options_.caption = QString::fromStdString(PictureCaption(table_, options_.firstSegment, options_.lastSegment));
  QPainter painter(&picture_);
  painter.setFont(font());
  layout_ = PaintTrackPicture(painter, rect(), data_, options_);
  pictureStale_ = false;
}

void TrackView::paintEvent(QPaintEvent*) {
  RenderIfStale();
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), picture_);
  if (hover_ >= 0) PaintFixMark(painter, layout_, data_, hover_, hoverText());
}

void TrackView::resizeEvent(QResizeEvent* event) {
  pictureStale_ = true;
  QWidget::resizeEvent(event);
}

void TrackView::mouseMoveEvent(QMouseEvent* event) {
  if (dataStale_ || pictureStale_) RenderIfStale();
  const QPointF at = event->position();
  SetHover(NearestFix(data_, layout_, at.x(), at.y(), kHoverReach));
}

void TrackView::leaveEvent(QEvent* event) {
  SetHover(-1);
  QWidget::leaveEvent(event);
}

void TrackView::SetHover(int point) {
  if (point == hover_) return;
  hover_ = point;
  update();
}

}  // namespace orvald
