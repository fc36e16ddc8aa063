#pragma once
// The decoded log: every retained GPS fix and the segments that time gaps cut them into.

#include <cstdint>
#include <memory>
#include <string>

namespace orvald {

inline constexpr int kMaxPoints = 116448;   // 32 blocks x 3639 whole fix records
inline constexpr int kMaxSegments = 20000;

// One accepted fix, in the exact form the fix record carries it: coordinates
// are decimal texts of five decimals and the altitude a 16-bit field, so
// integers hold them without loss and in a third of the room of floating
// point. Date and time fields hold local standard time: UTC minus
// `_timezone` seconds (daylight saving not included).
struct TrackPoint {
  int32_t latitudeE5;   // hundred-thousandths of a degree, north positive
  int32_t longitudeE5;  // hundred-thousandths of a degree, east positive
  int16_t altitudeFeet;
  int16_t aux;  // 0 to 332
  int16_t year;
  uint8_t month;
  uint8_t day;
  uint8_t hour;
  uint8_t minute;
  uint8_t second;
  uint8_t event;      // non-zero when the pilot's event mark is set
  uint8_t fixStatus;  // non-zero means a valid fix
};
static_assert(sizeof(TrackPoint) == 24, "116448 points should stay under 3 MB");

inline constexpr int32_t kE5PerDegree = 100000;

// Degrees for arithmetic (picture, distances). Over the whole range of
// coordinates this is the double nearest the decimal value.
inline double LatitudeDegrees(const TrackPoint& p) { return p.latitudeE5 / 1e5; }
inline double LongitudeDegrees(const TrackPoint& p) { return p.longitudeE5 / 1e5; }

// The altitude every file written from a point carries, and the picture
// shows: feet x 0.3048 truncated toward zero, in whole metres (x 0.3048 is
// exactly x 381 / 1250).
inline int64_t AltitudeMetres(int32_t feet) { return static_cast<int64_t>(feet) * 381 / 1250; }

// One row of the segments grid. Times are UTC seconds since 1970.
struct TrackSegment {
  int32_t start;
  int32_t finish;
  int32_t blind;
  int32_t recorded;
  int32_t points;
  int32_t events;
  int32_t firstPoint;
  int32_t lastPoint;  // inclusive
};

// Storage is fixed when the table is built and reused by every decode, so a
// decode allocates nothing per point. Building the table touches none of it:
// a page of points is first touched when a decode writes there, so a short
// log costs only its own points. Points from pointCount on carry no meaning;
// segments from segmentCount on are zero.
class TrackTable {
 public:
  TrackTable();
  TrackTable(const TrackTable&) = delete;
  TrackTable& operator=(const TrackTable&) = delete;

  TrackPoint* points() { return points_.get(); }
  const TrackPoint* points() const { return points_.get(); }
  TrackSegment* segments() { return segments_.get(); }
  const TrackSegment* segments() const { return segments_.get(); }

  // Empties the table: no points, no segments, no identity.
  void Clear();

  int pointCount = 0;
  int segmentCount = 0;
  std::string serialText;  // identity read back from the raw file header
  std::string typeText;

 private:
  struct FreeStorage {
    void operator()(void* storage) const;
  };
  std::unique_ptr<TrackPoint[]> points_;
  std::unique_ptr<TrackSegment[], FreeStorage> segments_;
};

}  // namespace orvald
