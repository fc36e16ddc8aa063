#pragma once
// Turns a raw image into the track table: scans for 18-byte fix records,
// filters them, and cuts the retained points into segments.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "files/system_error.h"
#include "tracklog/damage_signs.h"
#include "tracklog/time_basis.h"
#include "tracklog/track_table.h"

namespace orvald {

inline constexpr int kFixRecordSize = 18;

// State carried from record to record through one decode.
struct FixDecodeState {
  TimeBasis basis;
  int auxHigh = 0;
};

// 0 when the record is accepted, -1 when it is rejected. Updates auxHigh.
int DecodeFixRecord(const uint8_t* record, TrackPoint& point, FixDecodeState& state);

// The drop rules of the scan for an accepted fix: no position (both
// coordinates below 1 degree), a repeat of the previous retained fix's minute
// and second, or the 90 N 0 E placeholder.
bool IsRetainedFix(const TrackPoint& point, const TrackPoint* previous);

// Continuous seconds scale (Julian Day Number based); only differences matter.
int64_t PointSeconds(const TrackPoint& point);
// The fix's UTC instant: the point's local standard fields plus `_timezone`.
int64_t PointUtcTime(const TrackPoint& point, long _timezone);

// Called with each closed segment, in order; index counts from 0.
using SegmentSink = std::function<void(int index, const TrackSegment& segment)>;

struct BuildResult {
  int segmentCount = 0;
  bool limitReached = false;  // 20000 segments made and points left over
};
BuildResult BuildSegments(TrackTable& table, long _timezone, const SegmentSink& sink = {});

// kNoFlightDate: an IGC text without a date record, so its fixes have no day.
// kInvalidFlightDate: its date record names no day that exists (290223).
enum class DecodeStatus { kOk, kCannotOpen, kReadError, kNoFlightDate, kInvalidFlightDate };

struct DecodeResult {
  DecodeStatus status = DecodeStatus::kOk;
  SystemError error;  // why the file could not be opened or read
  std::string dateRecord;  // kInvalidFlightDate: the record, printable ASCII, cut to 40 characters
  int pointCount = 0;
  // An IGC import's losses: fixes beyond the table's kMaxPoints left out, and
  // altitudes beyond the 16-bit feet of a point set to the nearer limit.
  int fixesDropped = 0;
  int altitudesClamped = 0;
  int unreadableFixes = 0;  // an IGC file's B records that are not B records the reader can read
  DamageSigns damage;       // a raw file's: what the decoded table holds that no logger writes
  BuildResult segments;
  bool ok() const { return status == DecodeStatus::kOk; }
};

// Decodes a raw image file. A file that cannot be opened leaves an empty table.
DecodeResult DecodeRawFile(const std::string& path, TrackTable& table, const TimeBasis& basis,
                           const SegmentSink& sink = {});
// The same over bytes already in memory.
DecodeResult DecodeRawImage(const uint8_t* bytes, size_t size, TrackTable& table,
                            const TimeBasis& basis, const SegmentSink& sink = {});

}  // namespace orvald
