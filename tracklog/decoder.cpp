#include "tracklog/decoder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/file_reader.h"
#include "tracklog/calendar.h"
#include "tracklog/raw_image.h"

namespace orvald {

namespace {

constexpr int kSecondsPerDay = 86400;

inline uint8_t High(uint8_t byte) { return byte >> 4; }
inline uint8_t Low(uint8_t byte) { return byte & 0x0F; }

inline uint8_t Xor18(const uint8_t* r) {
  uint64_t a, b;
  std::memcpy(&a, r, 8);
  std::memcpy(&b, r + 8, 8);
  uint64_t x = a ^ b;
  x ^= x >> 32;
  x ^= x >> 16;
  x ^= x >> 8;
  return static_cast<uint8_t>(x ^ r[16] ^ r[17]);
}

// The value the C library's text-to-number conversion would give for the
// text sign, integer digits, '.', decimal digits, where a nibble above 9
// stands for a character after '9' and so ends the number, in
// hundred-thousandths: the text has at most five decimals, so this is exact.
// A negative zero reads as plain 0; no reader tells the two apart.
int32_t E5FromNibbles(bool negative, const uint8_t* integerDigits, int integerCount, const uint8_t* decimalDigits,
                      int decimalCount) {
  static constexpr int32_t kScale[] = {100000, 10000, 1000, 100, 10, 1};
  int32_t mantissa = 0;
  int decimals = 0;
  bool ended = false;
  for (int i = 0; i < integerCount; ++i) {
    if (integerDigits[i] > 9) {
      ended = true;
      break;
    }
    mantissa = mantissa * 10 + integerDigits[i];
  }
  if (!ended) {
    for (int i = 0; i < decimalCount && decimalDigits[i] <= 9; ++i) {
      mantissa = mantissa * 10 + decimalDigits[i];
      ++decimals;
    }
  }
  const int32_t magnitude = mantissa * kScale[decimals];
  return negative ? -magnitude : magnitude;
}

// Per byte: both nibbles are decimal digits, and their two-digit value.
struct DigitPairTables {
  bool decimal[256];
  uint8_t value[256];
};
constexpr DigitPairTables MakeDigitPairTables() {
  DigitPairTables t{};
  for (int b = 0; b < 256; ++b) {
    t.decimal[b] = (b >> 4) <= 9 && (b & 0x0F) <= 9;
    t.value[b] = static_cast<uint8_t>((b >> 4) * 10 + (b & 0x0F));
  }
  return t;
}
constexpr DigitPairTables kDigitPairs = MakeDigitPairTables();

// Most records hold only decimal digits; those take one lookup per byte.
// Anything else goes the digit-by-digit way.
int32_t LatitudeE5(const uint8_t* r) {
  const bool negative = High(r[5]) == 0;
  if (Low(r[5]) <= 9 && kDigitPairs.decimal[r[6]] && kDigitPairs.decimal[r[7]] && kDigitPairs.decimal[r[8]]) {
    const int32_t magnitude = Low(r[5]) * 1000000 + kDigitPairs.value[r[6]] * 10000 +
                              kDigitPairs.value[r[7]] * 100 + kDigitPairs.value[r[8]];
    return negative ? -magnitude : magnitude;
  }
  const uint8_t integer[] = {Low(r[5]), High(r[6])};
  const uint8_t decimals[] = {Low(r[6]), High(r[7]), Low(r[7]), High(r[8]), Low(r[8])};
  return E5FromNibbles(negative, integer, 2, decimals, 5);
}

int32_t LongitudeE5(const uint8_t* r) {
  const bool negative = High(r[9]) == 0;
  if (Low(r[9]) <= 9 && kDigitPairs.decimal[r[10]] && kDigitPairs.decimal[r[11]] && kDigitPairs.decimal[r[12]] &&
      High(r[13]) <= 9) {
    const int32_t magnitude = Low(r[9]) * 10000000 + kDigitPairs.value[r[10]] * 100000 +
                              kDigitPairs.value[r[11]] * 1000 + kDigitPairs.value[r[12]] * 10 + High(r[13]);
    return negative ? -magnitude : magnitude;
  }
  const uint8_t integer[] = {Low(r[9]), High(r[10]), Low(r[10])};
  const uint8_t decimals[] = {High(r[11]), Low(r[11]), High(r[12]), Low(r[12]), High(r[13])};
  return E5FromNibbles(negative, integer, 3, decimals, 5);
}

// Shifts a UTC date and second of the day by -offset seconds into the point.
void StoreLocalTime(int year, int month, int day, int secondOfDay, long _timezone, TrackPoint& point) {
  int64_t local = static_cast<int64_t>(secondOfDay) - _timezone;
  if (local < 0 || local >= kSecondsPerDay) {
    int64_t dayShift = local / kSecondsPerDay;
    local -= dayShift * kSecondsPerDay;
    if (local < 0) {
      local += kSecondsPerDay;
      --dayShift;
    }
    CivilFromDays(DaysFromCivil(year, month, day) + dayShift, year, month, day);
  }
  point.year = static_cast<int16_t>(year);
  point.month = static_cast<uint8_t>(month);
  point.day = static_cast<uint8_t>(day);
  point.hour = static_cast<uint8_t>(local / 3600);
  point.minute = static_cast<uint8_t>(local % 3600 / 60);
  point.second = static_cast<uint8_t>(local % 60);
}

// DecodeFixRecord after the check byte test, for callers that know the XOR is zero.
int DecodeCheckedRecord(const uint8_t* r, TrackPoint& point, FixDecodeState& state) {
  const int year = (r[0] >> 1) + 1980;
  const int month = (r[0] & 1) << 3 | r[1] >> 5;
  const int day = r[1] & 0x1F;
  if (month < 1 || month > 12 || day == 0 || day > DaysInMonth(year, month)) return -1;

  const int secondOfDay = (Low(r[2]) * 10000 + High(r[3]) * 1000 + Low(r[3]) * 100 + High(r[4]) * 10 + Low(r[4])) %
                          kSecondsPerDay;
  StoreLocalTime(year, month, day, secondOfDay, state.basis._timezone, point);

  point.latitudeE5 = LatitudeE5(r);
  point.longitudeE5 = LongitudeE5(r);

  // Byte 14 wraps past 255; a value of 220 or more announces the wrap, any
  // other value of 128 or more withdraws it. Every record with a real date
  // steers the state, even one rejected below or dropped by the scan.
  int aux = r[14];
  if (aux >= 220) {
    state.auxHigh = 1;
  } else if (aux >= 128) {
    state.auxHigh = 0;
  }
  if (aux < 128 && state.auxHigh == 1) aux += 256;
  point.aux = static_cast<int16_t>(aux * 86842 / 100000);  // x 0.86842, truncated; exact in integers

  point.event = static_cast<uint8_t>(15 - Low(r[13]));
  point.altitudeFeet = static_cast<int16_t>(static_cast<uint16_t>(r[15] << 8 | r[16]));
  point.fixStatus = High(r[2]);

  if (point.latitudeE5 > 90 * kE5PerDegree || point.latitudeE5 < -90 * kE5PerDegree) return -1;
  if (point.longitudeE5 > 180 * kE5PerDegree || point.longitudeE5 < -180 * kE5PerDegree) return -1;
  if (point.year < 2000 || point.year > state.basis.currentYear) return -1;
  return 0;
}

}  // namespace

// In their order of test.
bool IsRetainedFix(const TrackPoint& point, const TrackPoint* previous) {
  if (std::abs(point.latitudeE5) < kE5PerDegree && std::abs(point.longitudeE5) < kE5PerDegree) return false;
  // Only minute and second: a fix exactly an hour (or a day) later is a repeat too.
  if (previous != nullptr && point.minute == previous->minute && point.second == previous->second) return false;
  if (point.latitudeE5 == 90 * kE5PerDegree && point.longitudeE5 == 0) return false;
  return true;
}

namespace {

// One decode's progress through the record stream.
struct Scan {
  TrackTable& table;
  FixDecodeState state;
  int count = 0;
  bool full = false;
};

// Examines every 18-byte window of data[from, size) that fits, in order: a
// rejected window moves on by one byte, an accepted one by a whole record.
// Returns where the next window starts (with fewer than 18 bytes left there,
// or right after the point capacity was reached). A rolling XOR over the
// window lets the many windows that fail the check byte go by without a decode.
size_t ScanWindows(const uint8_t* data, size_t size, size_t from, Scan& scan) {
  if (size < kFixRecordSize || from > size - kFixRecordSize) return from;
  const size_t lastWindow = size - kFixRecordSize;
  TrackPoint* points = scan.table.points();
  size_t p = from;
  uint8_t x = Xor18(data + p);
  for (;;) {
    // Decoded straight into the next free slot; a rejected or dropped record
    // leaves it to be overwritten.
    if (x == 0 && DecodeCheckedRecord(data + p, points[scan.count], scan.state) == 0) {
      if (IsRetainedFix(points[scan.count], scan.count > 0 ? &points[scan.count - 1] : nullptr)) {
        ++scan.count;
        if (scan.count >= kMaxPoints) {
          scan.full = true;
          return p + kFixRecordSize;
        }
      }
      p += kFixRecordSize;
      if (p > lastWindow) return p;
      x = Xor18(data + p);
      continue;
    }
    if (p >= lastWindow) return p + 1;
    x ^= data[p] ^ data[p + kFixRecordSize];
    ++p;
  }
}

// The points of the previous decode are overwritten as the scan goes; those
// beyond the new count are left as they are, since nothing reads them.
Scan BeginScan(TrackTable& table, const TimeBasis& basis, const FileHeaderIdentity& identity) {
  Scan scan{table, FixDecodeState{basis, 0}};
  table.pointCount = 0;
  table.serialText = identity.serialText;
  table.typeText = identity.typeText;
  return scan;
}

DecodeResult FinishDecode(Scan& scan, long _timezone, const SegmentSink& sink, DecodeResult result) {
  scan.table.pointCount = scan.count;
  result.pointCount = scan.count;
  result.segments = BuildSegments(scan.table, _timezone, sink);
  result.damage = SurveyDamage(scan.table);
  return result;
}

// Reads until `buffer` holds `want` bytes or the file ends. Returns the count
// read, or -1 with errno set on a read error.
ssize_t ReadFully(int fd, uint8_t* buffer, size_t want) {
  size_t got = 0;
  while (got < want) {
    const ssize_t n = read(fd, buffer + got, want - got);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

class FileCloser {
 public:
  explicit FileCloser(int fd) : fd_(fd) {}
  ~FileCloser() { close(fd_); }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  int fd_;
};

}  // namespace

int DecodeFixRecord(const uint8_t* record, TrackPoint& point, FixDecodeState& state) {
  if (Xor18(record) != 0) return -1;
  return DecodeCheckedRecord(record, point, state);
}

int64_t PointSeconds(const TrackPoint& point) {
  return JulianDayNumber(point.year, point.month, point.day) * kSecondsPerDay + point.hour * 3600 +
         point.minute * 60 + point.second;
}

int64_t PointUtcTime(const TrackPoint& point, long _timezone) {
  const CivilDateTime local{point.year, point.month, point.day, point.hour, point.minute, point.second};
  return SecondsFromCivil(local) + _timezone;
}

BuildResult BuildSegments(TrackTable& table, long _timezone, const SegmentSink& sink) {
  TrackSegment* segments = table.segments();
  std::fill_n(segments, std::clamp(table.segmentCount, 0, kMaxSegments), TrackSegment{});
  table.segmentCount = 0;

  const TrackPoint* points = table.points();
  const int pointCount = std::clamp(table.pointCount, 0, kMaxPoints);
  BuildResult result;

  auto close = [&](int first, int last) {
    TrackSegment& s = segments[result.segmentCount];
    s.start = static_cast<int32_t>(PointUtcTime(points[first], _timezone));
    s.finish = static_cast<int32_t>(PointUtcTime(points[last], _timezone));
    s.blind = result.segmentCount > 0 ? s.start - segments[result.segmentCount - 1].finish : 0;
    s.recorded = s.finish - s.start;
    s.points = last - first + 1;
    s.events = static_cast<int32_t>(
        std::count_if(points + first, points + last + 1, [](const TrackPoint& p) { return p.event != 0; }));
    s.firstPoint = first;
    s.lastPoint = last;
    if (sink) sink(result.segmentCount, s);
    ++result.segmentCount;
  };

  // Consecutive points nearly always share a date: its day number is reused.
  int64_t dayNumber = 0;
  int32_t dayYear = -1;
  uint8_t dayMonth = 0, dayOfMonth = 0;
  auto secondsOf = [&](const TrackPoint& p) {
    if (p.year != dayYear || p.month != dayMonth || p.day != dayOfMonth) {
      dayYear = p.year;
      dayMonth = p.month;
      dayOfMonth = p.day;
      dayNumber = JulianDayNumber(p.year, p.month, p.day);
    }
    return dayNumber * kSecondsPerDay + p.hour * 3600 + p.minute * 60 + p.second;
  };

  int64_t previous = 0;
  int segmentStart = 0;
  for (int n = 0; n < pointCount; ++n) {
    const int64_t t = secondsOf(points[n]);
    if (previous == 0) previous = t;
    // Only a forward step of more than 5 s cuts; a clock going back does not.
    if (t - previous > 5) {
      close(segmentStart, n - 1);
      segmentStart = n;
      if (result.segmentCount >= kMaxSegments) {
        result.limitReached = true;
        break;
      }
    }
    previous = t;
  }
  // The points after the last gap form the final segment, however few.
  if (!result.limitReached && segmentStart < pointCount) close(segmentStart, pointCount - 1);

  table.segmentCount = result.segmentCount;
  return result;
}

DecodeResult DecodeRawImage(const uint8_t* bytes, size_t size, TrackTable& table, const TimeBasis& basis,
                            const SegmentSink& sink) {
  Scan scan = BeginScan(table, basis, ReadFileHeader(bytes, size));
  if (size > static_cast<size_t>(kFileHeaderSize)) ScanWindows(bytes, size, kFileHeaderSize, scan);
  return FinishDecode(scan, basis._timezone, sink, DecodeResult{});
}

DecodeResult DecodeRawFile(const std::string& path, TrackTable& table, const TimeBasis& basis,
                           const SegmentSink& sink) {
  DecodeResult result;
  // Only a regular file: /dev/zero would never end, and a FIFO would block.
  const int fd = OpenRegularFile(path, result.error);
  if (fd < 0) {
    table.Clear();
    result.status = DecodeStatus::kCannotOpen;
    return result;
  }
  FileCloser closer(fd);

  // A foreign file may be of any size: it passes through one chunk at a time,
  // carrying the (at most 17) bytes of a window that straddles two chunks.
  constexpr size_t kChunk = 64 * 1024;
  constexpr size_t kCarry = kFixRecordSize - 1;
  std::vector<uint8_t> buffer(kChunk + kCarry);

  ssize_t got = ReadFully(fd, buffer.data(), buffer.size());
  if (got < 0) {
    result.status = DecodeStatus::kReadError;
    result.error = SystemError{errno, path};
    table.Clear();
    return result;
  }
  size_t filled = static_cast<size_t>(got);
  Scan scan = BeginScan(table, basis, ReadFileHeader(buffer.data(), filled));
  size_t next = std::min(filled, static_cast<size_t>(kFileHeaderSize));
  bool atEnd = filled < buffer.size();
  for (;;) {
    next = ScanWindows(buffer.data(), filled, next, scan);
    if (scan.full || atEnd) break;
    const size_t kept = filled - next;
    std::memmove(buffer.data(), buffer.data() + next, kept);
    got = ReadFully(fd, buffer.data() + kept, buffer.size() - kept);
    if (got < 0) {
      result.status = DecodeStatus::kReadError;
      result.error = SystemError{errno, path};
      break;
    }
    filled = kept + static_cast<size_t>(got);
    atEnd = filled < buffer.size();
    next = 0;
  }
  return FinishDecode(scan, basis._timezone, sink, result);
}

}  // namespace orvald
