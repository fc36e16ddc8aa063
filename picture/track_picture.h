#pragma once
// The picture of a decoded log, painted with Qt's own painter: the ground
// track above (equal-aspect, with a scale bar), the altitude against UTC time
// below; each segment in its colour, the selection strong and the rest faint,
// event marks, a task's window. The window's track view and `orvald-cli plot`
// both paint through here, so the two pictures never differ.

#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>

#include "plot/track_plot.h"

class QGuiApplication;
class QPainter;
class QRect;

namespace orvald {

struct PictureOptions {
  int firstSegment = -1;  // the selection, drawn strong; none: every segment alike
  int lastSegment = -1;
  int64_t windowStart = 0;  // a task's window, UTC; equal: none
  int64_t windowEnd = 0;
  QString caption;  // the line above the ground track
};

// Paints the whole picture into `area` and returns where its panels went.
PictureLayout PaintTrackPicture(QPainter& painter, const QRect& area, const TrackPlotData& data,
                                const PictureOptions& options);

// Marks one fix in both panels (a picture painted into the same area before)
// and shows `text` in a box in a corner of the ground panel.
void PaintFixMark(QPainter& painter, const PictureLayout& layout, const TrackPlotData& data, int point,
                  const QString& text);

QImage RenderTrackPicture(const TrackPlotData& data, const PictureOptions& options, int width, int height);

// The picture as PNG bytes; empty when it could not be encoded.
std::string TrackPicturePng(const TrackPlotData& data, const PictureOptions& options, int width, int height);

// Painting text needs a GUI application. Without one (the command line) this
// makes one on the offscreen platform for as long as it lives.
class OffscreenGui {
 public:
  OffscreenGui();
  ~OffscreenGui();
  OffscreenGui(const OffscreenGui&) = delete;
  OffscreenGui& operator=(const OffscreenGui&) = delete;

 private:
  std::unique_ptr<QGuiApplication> app_;
};

}  // namespace orvald
