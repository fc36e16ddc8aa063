#pragma once
// The picture of the decoded log under the segments grid: ground track and
// altitude against UTC time, the selection strong. Hovering names the
// nearest fix. The picture is painted once per change into an image; a hover
// only draws its mark over that image.

#include <QImage>
#include <QWidget>

#include "picture/track_picture.h"
#include "plot/track_plot.h"
#include "tracklog/track_table.h"

namespace orvald {

class TrackView : public QWidget {
  Q_OBJECT
 public:
  TrackView(const TrackTable& table, long _timezone, QWidget* parent = nullptr);

  // The table was decoded again: read it at the next paint.
  void TableChanged();
  // Nothing on show until the table is decoded again (a download arriving).
  void Blank();
  // The run of segments that Save writes (-1: none), and a task's UTC window
  // (equal times: none).
  void SetSelection(int firstSegment, int lastSegment);
  void SetTaskWindow(int64_t start, int64_t end);

  int hoverPoint() const { return hover_; }
  QString hoverText() const;
  const PictureLayout& layout() const { return layout_; }
  const TrackPlotData& data() const { return data_; }

  QSize sizeHint() const override { return {560, 320}; }
  QSize minimumSizeHint() const override { return {240, 180}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void RenderIfStale();
  void SetHover(int point);

  const TrackTable& table_;
  long timezone_;
  TrackPlotData data_;
  PictureOptions options_;
  PictureLayout layout_;
  QImage picture_;
  bool dataStale_ = true;
  bool pictureStale_ = true;
  int hover_ = -1;
};

}  // namespace orvald
