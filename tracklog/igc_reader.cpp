#include "tracklog/igc_reader.h"

#include "files/file_reader.h"

#include <algorithm>

#include "tracklog/calendar.h"
#include "tracklog/raw_image.h"

namespace orvald {
namespace {

constexpr int64_t kSecondsPerDay = 86400;
// B records carry only the time of day. A clock that steps back by seconds is
// a receiver's hiccup (the raw log has those too); a step back of more than an
// hour is the UTC day changing, also across a night between two flights.
constexpr int kNewDayStepBack = 3600;
// Far beyond any flight's file (116448 fixes with long extensions stay under
// 30 MB); a bigger file is refused rather than read in part.
constexpr size_t kMaxFileBytes = 64u << 20;
constexpr size_t kMaxTypeText = 4;
constexpr size_t kMaxDateRecordShown = 40;

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Upper(text[i]) != prefix[i]) return false;
  }
  return true;
}

// Degrees DD(D) and minutes MMmmm with a hemisphere letter; false when out of range.
bool Angle(std::string_view line, size_t pos, int degreeDigits, int maxDegrees, char positive, char negative,
           int32_t& e5) {
  int degrees = 0;
  int minutes = 0;
  if (!IgcDigits(line, pos, degreeDigits, degrees) || !IgcDigits(line, pos + degreeDigits, 5, minutes)) return false;
  if (minutes >= 60000 || degrees > maxDegrees || (degrees == maxDegrees && minutes != 0)) return false;
  const char hemisphere = Upper(line[pos + degreeDigits + 5]);
  if (hemisphere != positive && hemisphere != negative) return false;
  const int32_t value = degrees * 100000 + HundredThousandthsFromMinutes(minutes);
  e5 = hemisphere == positive ? value : -value;
  return true;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Printable ASCII only, cut to `limit`: the identity ends up in file names and headers.
std::string IdentityText(std::string_view s, size_t limit) {
  std::string text;
  for (char c : Trimmed(s)) {
    if (text.size() == limit) break;
    if (c >= 0x20 && c < 0x7F) text += c;
  }
  return text;
}

// Calls `visit` with every line; a line ends at CR, LF or both.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a byte order mark from an editor
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trimmed(text.substr(start, end - start));
    if (!line.empty()) visit(line);
    start = end + 1;
  }
}

// The identity a file carries. ORVALD's own A record is "AXXXXXX TYPE,SERIAL";
// other recorders write A, a three-letter maker and a three-character serial,
// and their firmware in HFRFW.
void ReadIdentity(std::string_view text, TrackTable& table) {
  bool seenA = false;
  std::string firmware;
  ForEachLine(text, [&](std::string_view line) {
    if (!seenA && line[0] == 'A') {
      seenA = true;
      const std::string_view extension = line.size() > 7 ? line.substr(7) : std::string_view();
      const size_t comma = extension.find(',');
      if (!extension.empty() && extension[0] == ' ' && comma != std::string_view::npos) {
        table.typeText = IdentityText(extension.substr(1, comma - 1), kMaxTypeText);
        table.serialText = IdentityText(extension.substr(comma + 1), kSerialTextMax);
      } else if (line.size() >= 7) {
        table.serialText = IdentityText(line.substr(4, 3), kSerialTextMax);
      }
    } else if (firmware.empty() && StartsWithNoCase(line, "HFRFW")) {
      const size_t colon = line.find(':');
      firmware = IdentityText(colon == std::string_view::npos ? line.substr(5) : line.substr(colon + 1), 64);
    }
  });
  if (table.typeText.empty() && !firmware.empty()) {
    // "Maker V5.1A" keeps the part after the last " V"; "6.20" stays as it is.
    const size_t v = firmware.rfind(" V");
    table.typeText = IdentityText(v == std::string::npos ? firmware : firmware.substr(v + 2), kMaxTypeText);
  }
}

// The writer prints feet x 381 / 1250 truncated toward zero; the smallest
// feet count (in magnitude) that prints these metres is the ceiling.
int64_t FeetMagnitude(int32_t metres) {
  const int64_t magnitude = metres < 0 ? -static_cast<int64_t>(metres) : metres;
  return (magnitude * 1250 + 380) / 381;
}

// A point's feet are 16 bits: -32768..32767.
int64_t FeetLimit(int32_t metres) { return metres < 0 ? 32768 : 32767; }

// HFDTE, or HPDTE as some old files have it.
bool IsDateRecord(std::string_view line) {
  return line.size() >= 5 && line[0] == 'H' && StartsWithNoCase(line.substr(2), "DTE");
}

bool IsEventRecord(std::string_view line) {
  return line.size() >= 10 && line[0] == 'E' && StartsWithNoCase(line.substr(7), "PEV");
}

}  // namespace

bool IgcDigits(std::string_view s, size_t pos, size_t count, int& value) {
  if (pos + count > s.size()) return false;
  value = 0;
  for (size_t i = pos; i < pos + count; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    value = value * 10 + (s[i] - '0');
  }
  return true;
}

bool IgcAltitude(std::string_view s, size_t pos, int32_t& metres) {
  if (pos + 5 > s.size()) return false;
  const bool negative = s[pos] == '-';
  int value = 0;
  if (!IgcDigits(s, pos + (negative ? 1 : 0), negative ? 4 : 5, value)) return false;
  metres = negative ? -value : value;
  return true;
}

int32_t HundredThousandthsFromMinutes(int thousandthsOfMinute) {
  // The writer prints floor(k x 0.6) for k hundred-thousandths of a degree;
  // the smallest k that prints m is ceil(m / 0.6) = ceil(5m / 3).
  return (thousandthsOfMinute * 5 + 2) / 3;
}

int16_t FeetFromIgcMetres(int32_t metres) {
  const int64_t feet = std::min(FeetMagnitude(metres), FeetLimit(metres));
  return static_cast<int16_t>(metres < 0 ? -feet : feet);
}

bool IgcMetresBeyondFeet(int32_t metres) { return FeetMagnitude(metres) > FeetLimit(metres); }

bool ParseBRecord(std::string_view line, IgcFix& fix) {
  if (line.size() < 35 || line[0] != 'B') return false;
  int hour = 0, minute = 0, second = 0;
  if (!IgcDigits(line, 1, 2, hour) || !IgcDigits(line, 3, 2, minute) || !IgcDigits(line, 5, 2, second)) return false;
  if (hour > 23 || minute > 59 || second > 59) return false;
  if (!Angle(line, 7, 2, 90, 'N', 'S', fix.latitudeE5)) return false;
  if (!Angle(line, 15, 3, 180, 'E', 'W', fix.longitudeE5)) return false;
  const char validity = Upper(line[24]);
  if (validity != 'A' && validity != 'V') return false;
  if (!IgcAltitude(line, 25, fix.pressureMetres) || !IgcAltitude(line, 30, fix.gnssMetres)) return false;
  fix.secondOfDay = hour * 3600 + minute * 60 + second;
  fix.valid = validity == 'A';
  return true;
}

bool ParseIgcDate(std::string_view line, int& year, int& month, int& day) {
  if (!IsDateRecord(line)) return false;
  const size_t first = line.find_first_of("0123456789", 5);
  int dd = 0, mm = 0, yy = 0;
  if (first == std::string_view::npos || !IgcDigits(line, first, 2, dd) || !IgcDigits(line, first + 2, 2, mm) ||
      !IgcDigits(line, first + 4, 2, yy)) {
    return false;
  }
  const int fullYear = yy < 80 ? 2000 + yy : 1900 + yy;  // IGC files began in the 1990s
  if (mm < 1 || mm > 12 || dd < 1 || dd > DaysInMonth(fullYear, mm)) return false;
  year = fullYear;
  month = mm;
  day = dd;
  return true;
}

DecodeResult DecodeIgcText(std::string_view text, TrackTable& table, const TimeBasis& basis,
                           const SegmentSink& sink) {
  table.Clear();
  DecodeResult result;

  int year = 0, month = 0, day = 0;
  bool dated = false;
  std::string_view invalidDate;  // the first date record that names no real day
  ForEachLine(text, [&](std::string_view line) {
    if (dated || !IsDateRecord(line)) return;
    dated = ParseIgcDate(line, year, month, day);
    if (!dated && invalidDate.empty()) invalidDate = line;
  });
  if (!dated) {
    // A record with a day that does not exist is mended otherwise than a
    // missing one, so the two are told apart.
    result.status = invalidDate.empty() ? DecodeStatus::kNoFlightDate : DecodeStatus::kInvalidFlightDate;
    result.dateRecord = IdentityText(invalidDate, kMaxDateRecordShown);
    return result;
  }
  ReadIdentity(text, table);

  TrackPoint* points = table.points();
  int64_t dayStart = DaysFromCivil(year, month, day) * kSecondsPerDay;
  int previousSecond = -1;
  bool eventPending = false;
  int count = 0;
  // The last fix kept, or that would have been had there been room: past
  // the table's end the same rules tell a fix of its own from a repeat.
  TrackPoint previous{};
  bool havePrevious = false;
  ForEachLine(text, [&](std::string_view line) {
    if (IsEventRecord(line)) {
      eventPending = true;
      return;
    }
    IgcFix fix;
    if (!ParseBRecord(line, fix)) {
      if (!line.empty() && line[0] == 'B') ++result.unreadableFixes;
      return;
    }
    if (previousSecond >= 0 && fix.secondOfDay + kNewDayStepBack < previousSecond) dayStart += kSecondsPerDay;
    previousSecond = fix.secondOfDay;

    const CivilDateTime local = CivilFromSeconds(dayStart + fix.secondOfDay - basis._timezone);
    TrackPoint p{};
    p.latitudeE5 = fix.latitudeE5;
    p.longitudeE5 = fix.longitudeE5;
    // GNSS altitude, as ORVALD's files and the loggers carry; a recorder
    // without it writes zeros there and the pressure altitude is all there is.
    const int32_t metres = fix.gnssMetres == 0 ? fix.pressureMetres : fix.gnssMetres;
    p.altitudeFeet = FeetFromIgcMetres(metres);
    p.year = static_cast<int16_t>(local.year);
    p.month = static_cast<uint8_t>(local.month);
    p.day = static_cast<uint8_t>(local.day);
    p.hour = static_cast<uint8_t>(local.hour);
    p.minute = static_cast<uint8_t>(local.minute);
    p.second = static_cast<uint8_t>(local.second);
    p.event = eventPending ? 1 : 0;
    p.fixStatus = fix.valid ? 1 : 0;
    eventPending = false;
    // The raw decode's rules, so both ways in give the same table.
    if (!IsRetainedFix(p, havePrevious ? &previous : nullptr)) return;
    previous = p;
    havePrevious = true;
    if (count == kMaxPoints) {
      ++result.fixesDropped;
      return;
    }
    if (IgcMetresBeyondFeet(metres)) ++result.altitudesClamped;
    points[count++] = p;
  });
  table.pointCount = count;
  result.pointCount = count;
  result.segments = BuildSegments(table, basis._timezone, sink);
  return result;
}

DecodeResult DecodeIgcFile(const std::string& path, TrackTable& table, const TimeBasis& basis,
                           const SegmentSink& sink) {
  // Only a regular file (/dev/zero would never end, a FIFO would block), and
  // never a part of one: a file beyond the limit is refused, not cut.
  const WholeFile file = ReadWholeFile(path, kMaxFileBytes);
  if (!file.ok) {
    table.Clear();
    DecodeResult result;
    result.status = file.opened ? DecodeStatus::kReadError : DecodeStatus::kCannotOpen;
    result.error = file.error;
    return result;
  }
  return DecodeIgcText(file.bytes, table, basis, sink);
}

}  // namespace orvald
