#include "tracklog/decoder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "tracklog/calendar.h"
#include "tracklog/raw_image.h"

namespace orvald {

namespace {

constexpr int kSecondsPerDay = 86400;

inline uint8_t High(uint8_t byte) { return byte >> 4; }
inline uint8_t Low(uint8_t byte) { return byte & 0x0F; }

inline uint8_t Xor18(const uint8_t* r) {
  uint8_t x = 0;
  for (int i = 0; i < kFixRecordSize; ++i) x ^= r[i];
  return x;
}

// The value the C library's text-to-number conversion gives for the text
// sign, integer digits, '.', decimal digits, where a nibble above 9 stands for
// a character after '9' and so ends the number. The text is exactly
// mantissa / 10^k, and both are exact in long double, so one IEEE division
// gives the correctly rounded value the conversion would.
long double DecimalFromNibbles(bool negative, const uint8_t* integerDigits, int integerCount,
                               const uint8_t* decimalDigits, int decimalCount) {
  static constexpr long double kPowersOfTen[] = {1.0L, 10.0L, 100.0L, 1000.0L, 10000.0L, 100000.0L};
  int64_t mantissa = 0;
  int digits = 0;
  int decimals = 0;
  bool ended = false;
  for (int i = 0; i < integerCount; ++i) {
    if (integerDigits[i] > 9) {
      ended = true;
      break;
    }
    mantissa = mantissa * 10 + integerDigits[i];
    ++digits;
  }
  if (!ended) {
    for (int i = 0; i < decimalCount && decimalDigits[i] <= 9; ++i) {
      mantissa = mantissa * 10 + decimalDigits[i];
      ++decimals;
    }
  }
  // A sign followed by no digit converts nothing, which reads as plain 0.
  if (digits == 0) return 0.0L;
  const long double magnitude = static_cast<long double>(mantissa) / kPowersOfTen[decimals];
  return negative ? -magnitude : magnitude;
}

// Shifts a UTC date and second of the day by -offset seconds into the point.
void StoreLocalTime(int year, int month, int day, int secondOfDay, long timezoneOffset, TrackPoint& point) {
  int64_t local = static_cast<int64_t>(secondOfDay) - timezoneOffset;
  if (local < 0 || local >= kSecondsPerDay) {
    int64_t dayShift = local / kSecondsPerDay;
    local -= dayShift * kSecondsPerDay;
    if (local < 0) {
      local += kSecondsPerDay;
      --dayShift;
    }
    CivilFromDays(DaysFromCivil(year, month, day) + dayShift, year, month, day);
  }
  point.year = year;
  point.month = static_cast<uint8_t>(month);
  point.day = static_cast<uint8_t>(day);
  point.hour = static_cast<uint8_t>(local / 3600);
  point.minute = static_cast<uint8_t>(local % 3600 / 60);
  point.second = static_cast<uint8_t>(local % 60);
}

// The drop rules for an accepted record, in their order of test.
bool IsRetained(const TrackPoint& point, const TrackPoint* previous) {
  if (std::fabs(point.latitude) < 1.0L && std::fabs(point.longitude) < 1.0L) return false;
  // Only minute and second: a fix exactly an hour (or a day) later is a repeat too.
  if (previous != nullptr && point.minute == previous->minute && point.second == previous->second) return false;
  if (point.latitude == 90.0L && point.longitude == 0.0L) return false;
  return true;
}

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
// window lets the many windows that fail the check byte go by without a decode;
// the record decode checks the XOR again itself.
size_t ScanWindows(const uint8_t* data, size_t size, size_t from, Scan& scan) {
  if (size < kFixRecordSize || from > size - kFixRecordSize) return from;
  const size_t lastWindow = size - kFixRecordSize;
  TrackPoint* points = scan.table.points();
  TrackPoint candidate{};
  size_t p = from;
  uint8_t x = Xor18(data + p);
  for (;;) {
    if (x == 0 && DecodeFixRecord(data + p, candidate, scan.state) == 0) {
      if (IsRetained(candidate, scan.count > 0 ? &points[scan.count - 1] : nullptr)) {
        points[scan.count++] = candidate;
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

void StartDecode(TrackTable& table, const FileHeaderIdentity& identity) {
  table.serialText = identity.serialText;
  table.typeText = identity.typeText;
}

DecodeResult FinishDecode(Scan& scan, long timezoneOffset, const SegmentSink& sink, DecodeResult result) {
  scan.table.pointCount = scan.count;
  result.pointCount = scan.count;
  result.segments = BuildSegments(scan.table, timezoneOffset, sink);
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

int DecodeFixRecord(const uint8_t* r, TrackPoint& point, FixDecodeState& state) {
  if (Xor18(r) != 0) return -1;

  const int year = (r[0] >> 1) + 1980;
  const int month = (r[0] & 1) << 3 | r[1] >> 5;
  const int day = r[1] & 0x1F;
  if (month < 1 || month > 12 || day == 0 || day > DaysInMonth(year, month)) return -1;

  // Every record that gets this far steers auxHigh, even one rejected below.
  const int secondOfDay = (Low(r[2]) * 10000 + High(r[3]) * 1000 + Low(r[3]) * 100 + High(r[4]) * 10 + Low(r[4])) %
                          kSecondsPerDay;
  StoreLocalTime(year, month, day, secondOfDay, state.basis._timezone, point);

  const uint8_t latitudeInteger[] = {Low(r[5]), High(r[6])};
  const uint8_t latitudeDecimals[] = {Low(r[6]), High(r[7]), Low(r[7]), High(r[8]), Low(r[8])};
  point.latitude = DecimalFromNibbles(High(r[5]) == 0, latitudeInteger, 2, latitudeDecimals, 5);
  const uint8_t longitudeInteger[] = {Low(r[9]), High(r[10]), Low(r[10])};
  const uint8_t longitudeDecimals[] = {High(r[11]), Low(r[11]), High(r[12]), Low(r[12]), High(r[13])};
  point.longitude = DecimalFromNibbles(High(r[9]) == 0, longitudeInteger, 3, longitudeDecimals, 5);

  // Byte 14 wraps past 255; a value of 220 or more announces the wrap, any
  // other value of 128 or more withdraws it.
  int aux = r[14];
  if (aux >= 220) {
    state.auxHigh = 1;
  } else if (aux >= 128) {
    state.auxHigh = 0;
  }
  if (aux < 128 && state.auxHigh == 1) aux += 256;
  point.aux = aux * 86842 / 100000;  // x 0.86842, truncated; exact in integers

  point.event = static_cast<uint8_t>(15 - Low(r[13]));
  point.altitudeFeet = static_cast<int16_t>(static_cast<uint16_t>(r[15] << 8 | r[16]));
  point.fixStatus = High(r[2]);

  if (point.latitude > 90.0L || point.latitude < -90.0L) return -1;
  if (point.longitude > 180.0L || point.longitude < -180.0L) return -1;
  if (point.year < 2000 || point.year > state.basis.currentYear) return -1;
  return 0;
}

int64_t PointSeconds(const TrackPoint& point) {
  return JulianDayNumber(point.year, point.month, point.day) * kSecondsPerDay + point.hour * 3600 +
         point.minute * 60 + point.second;
}

int64_t PointUtcTime(const TrackPoint& point, long timezoneOffset) {
  const CivilDateTime local{point.year, point.month, point.day, point.hour, point.minute, point.second};
  return SecondsFromCivil(local) + timezoneOffset;
}

BuildResult BuildSegments(TrackTable& table, long timezoneOffset, const SegmentSink& sink) {
  TrackSegment* segments = table.segments();
  std::fill_n(segments, std::clamp(table.segmentCount, 0, kMaxSegments), TrackSegment{});
  table.segmentCount = 0;

  const TrackPoint* points = table.points();
  const int pointCount = std::clamp(table.pointCount, 0, kMaxPoints);
  BuildResult result;

  auto close = [&](int first, int last) {
    TrackSegment& s = segments[result.segmentCount];
    s.start = static_cast<int32_t>(PointUtcTime(points[first], timezoneOffset));
    s.finish = static_cast<int32_t>(PointUtcTime(points[last], timezoneOffset));
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

  int64_t previous = 0;
  int segmentStart = 0;
  for (int n = 0; n < pointCount; ++n) {
    const int64_t t = PointSeconds(points[n]);
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
  table.Clear();
  StartDecode(table, ReadFileHeader(bytes, size));
  Scan scan{table, FixDecodeState{basis, 0}};
  if (size > static_cast<size_t>(kFileHeaderSize)) ScanWindows(bytes, size, kFileHeaderSize, scan);
  return FinishDecode(scan, basis._timezone, sink, DecodeResult{});
}

DecodeResult DecodeRawFile(const std::string& path, TrackTable& table, const TimeBasis& basis,
                           const SegmentSink& sink) {
  table.Clear();
  DecodeResult result;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    result.status = DecodeStatus::CannotOpen;
    result.errorNumber = errno;
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
    result.status = DecodeStatus::ReadError;
    result.errorNumber = errno;
    return result;
  }
  size_t filled = static_cast<size_t>(got);
  StartDecode(table, ReadFileHeader(buffer.data(), filled));

  Scan scan{table, FixDecodeState{basis, 0}};
  size_t next = std::min(filled, static_cast<size_t>(kFileHeaderSize));
  bool atEnd = filled < buffer.size();
  for (;;) {
    next = ScanWindows(buffer.data(), filled, next, scan);
    if (scan.full || atEnd) break;
    const size_t kept = filled - next;
    std::memmove(buffer.data(), buffer.data() + next, kept);
    got = ReadFully(fd, buffer.data() + kept, buffer.size() - kept);
    if (got < 0) {
      result.status = DecodeStatus::ReadError;
      result.errorNumber = errno;
      break;
    }
    filled = kept + static_cast<size_t>(got);
    atEnd = filled < buffer.size();
    next = 0;
  }
  return FinishDecode(scan, basis._timezone, sink, result);
}

}  // namespace orvald
