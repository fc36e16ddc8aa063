#pragma once
// The geometry of a picture of a decoded log, without any drawing: a local
// equal-aspect projection for the ground track, the altitude against UTC
// time, where each panel goes, the points thinned to what a screen can show,
// and the fix nearest to a pixel. The window and `orvald-cli plot` paint from
// this; the file writers never see it.

#include <cstdint>
#include <string>
#include <vector>

#include "tracklog/track_table.h"

namespace orvald {

struct PlotPoint {
  float x;
  float y;
};

// The decoded log reduced to what a picture needs; built once per decode.
// Index i is point i of the table; only points inside segments are drawn.
struct TrackPlotData {
  std::vector<float> east;   // metres east of the log's centre
  std::vector<float> north;  // metres north of it
  std::vector<float> altitude;
  std::vector<int64_t> utc;
  std::vector<int32_t> events;  // points with the event mark, ascending
  std::vector<TrackSegment> segments;
  double centreLatitude = 0;
  double centreLongitude = 0;
  float minEast = 0, maxEast = 0, minNorth = 0, maxNorth = 0;
  float minAltitude = 0, maxAltitude = 0;
  int64_t firstUtc = 0, lastUtc = 0;
  bool empty() const { return segments.empty(); }
  // The segment holding point i, or -1.
  int SegmentOf(int point) const;
};

TrackPlotData BuildTrackPlotData(const TrackTable& table, long _timezone);

struct PlotRect {
  double left = 0, top = 0, width = 0, height = 0;
  double right() const { return left + width; }
  double bottom() const { return top + height; }
  bool Contains(double x, double y) const { return x >= left && x <= right() && y >= top && y <= bottom(); }
};

// Where the two panels go in a picture, and the scales inside them.
struct PictureLayout {
  PlotRect frame;     // the ground track panel
  PlotRect ground;    // where the track may go inside it
  PlotRect altitude;  // the altitude trace's plotting area (axes outside it)
  double groundX0 = 0, groundY0 = 0, pixelsPerMetre = 1;
  int64_t timeFrom = 0, timeTo = 1;
  double altitudeFrom = 0, altitudeTo = 1;

  PlotPoint GroundPixel(const TrackPlotData& data, int point) const;
  PlotPoint AltitudePixel(const TrackPlotData& data, int point) const;
  double TimeX(int64_t utc) const;
  double AltitudeY(double metres) const;
};

// Ground panel above (about three fifths), altitude panel below. `textHeight`
// is the height of a line of the painter's type, `labelWidth` the width of
// the widest altitude label; both keep room for the texts round the panels.
PictureLayout LayOutPicture(const TrackPlotData& data, double width, double height, double textHeight,
                            double labelWidth);

// Pixels of points first..last (one segment), leaving out every point less
// than half a pixel from the last one kept: at most a few per pixel whatever
// the point count. The first and last points are always kept.
void GroundPath(const TrackPlotData& data, const PictureLayout& layout, int firstPoint, int lastPoint,
                std::vector<PlotPoint>& out);
// The altitude trace of points first..last: per pixel column its first,
// lowest, highest and last point in time order, which draws the same trace
// as every point would.
void AltitudePath(const TrackPlotData& data, const PictureLayout& layout, int firstPoint, int lastPoint,
                  std::vector<PlotPoint>& out);

// The fix under a pixel: in the ground panel the nearest within `reach`
// pixels, in the altitude panel the nearest in time. -1 for none.
int NearestFix(const TrackPlotData& data, const PictureLayout& layout, double x, double y, double reach);

// The longest 1, 2 or 5 x 10^n metres that fits in `maxPixels`, and its text.
double ScaleBarMetres(double pixelsPerMetre, double maxPixels);
std::string DistanceText(double metres);
// Axis steps that leave at least `minPixels` between labels: times in whole
// seconds, minutes or hours that a clock face knows; values 1, 2 or 5 x 10^n.
int64_t TimeStep(int64_t span, double pixels, double minPixels);
double ValueStep(double span, double pixels, double minPixels);
// "10:15" or, with seconds, "10:15:30", of a UTC instant.
std::string UtcClockText(int64_t utc, bool withSeconds);
// The line above the ground track: the logger, the segments, the selection
// and its UTC times.
std::string PictureCaption(const TrackTable& table, int firstSegment, int lastSegment);
// "10:15:30 UTC   1234 m   47.12345 N  8.12345 E" of one fix.
std::string FixText(const TrackTable& table, long _timezone, int point);

}  // namespace orvald
