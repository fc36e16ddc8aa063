#include "export/igc_text.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "export/ascii_text.h"
#include "export/coordinate_digits.h"

namespace orvald {
namespace {

constexpr long kSecondsPerDay = 86400;
// "B" hhmmss, at most 24 coordinate characters each, "A", two altitudes of at
// most 20 characters (an int64's digits and sign), CR LF.
constexpr size_t kMaxBRecord = 1 + 6 + 24 + 24 + 1 + 20 + 20 + 2;
constexpr size_t kERecord = 12;  // "E" hhmmss "PEV" CR LF

// A record ends at CR LF: the longest its text may be before them.
constexpr size_t kMaxRecordText = 76;

// printf's %s stops at a zero byte; so do the records. A control character
// (a CR or LF above all) would break the record and start a forged one.
std::string UpToZero(const std::string& text) { return text.substr(0, text.find('\0')); }
// What a logger sent, byte by byte.
std::string LoggerText(const std::string& text) { return AsciiBytes(UpToZero(text)); }
// What a person typed, spelled in ASCII.
std::string TypedText(const std::string& text) { return AsciiSpelling(UpToZero(text)); }

// The texts are ASCII, so any cut falls between characters.
void AddRecord(std::string& records, std::string record) {
  if (record.size() > kMaxRecordText) record.resize(kMaxRecordText);
  records += record;
  records += "\r\n";
}

std::tm UtcFields(std::time_t seconds) {
  std::tm fields{};
  gmtime_r(&seconds, &fields);
  return fields;
}

std::string TwoDigitsEach(int a, int b, int c) {
  char text[40];
  std::snprintf(text, sizeof text, "%02d%02d%02d", a, b, c);
  return text;
}

struct ModelLines {
  const char* hardware;
  const char* gps;
};

ModelLines ModelFor(const std::string& loggerType) {
  switch (loggerType.empty() ? '\0' : loggerType[0]) {
    case '5': return {"HFRHWHARDWAREVERSION:FALDOR-X1\r\n", "HFGPS:UBLOX,LJ,12ch,MAX18000M\r\n"};
    case '3': return {"HFRHWHARDWAREVERSION:PIKKET\r\n", "HFGPS:UBLOX,SAM,12ch,MAX18000M\r\n"};
    case '4': return {"HFRHWHARDWAREVERSION:TESSMA-X2\r\n", "HFGPS:TRIMBLE,ACEII,8ch,MAX18000M\r\n"};
    default: return {"HFRHWHARDWAREVERSION:UNKNOWN\r\n", "HFGPS:UNKNOWN,,,MAX18000M\r\n"};
  }
}

std::string HeaderRecords(const TrackTable& table, const IgcSaveRequest& request) {
  const std::string loggerType = LoggerText(request.loggerType);
  const std::tm flightDate = UtcFields(table.segments()[request.firstSegment].start);
  const std::tm transfer = UtcFields(request.now);
  const ModelLines model = ModelFor(loggerType);

  std::string text;
  AddRecord(text, "AXXXXXX " + loggerType + "," + LoggerText(request.loggerSN));
  text += "HFDTE" + TwoDigitsEach(flightDate.tm_mday, flightDate.tm_mon + 1, flightDate.tm_year % 100) + "\r\n";
  AddRecord(text, "HSPLTPILOT:" + TypedText(request.pilotNames));
  text += "HFDTM100GPSDATUM:WGS84\r\n";
  AddRecord(text, "HFRFWFIRMWAREVERSION:Vireline V" + loggerType);
  text += model.hardware;
  text += "HFFTYFRTYPE:QUORVEN,VIRELINE\r\n";
  text += model.gps;
  text += "HFPRS:NOTFITTED\r\n";
  text += "HSDFSFILESPECIFICATION:CIMA,1.0\r\n";
  AddRecord(text, "HPCIDCOMPETITIONID:" + TypedText(request.competNo));
  text += "LCMASTSNDATATRANSFERSOFTWARENAME:CIMA FLIGHT LOG DOWNLOADER (VL)\r\n";
  text += "LCMASTSVDATATRANSFERSOFTWAREVERSION:1.00a\r\n";
  text += "LCMASTSDDATATRANSFERDATE:" + TwoDigitsEach(transfer.tm_mday, transfer.tm_mon + 1, transfer.tm_year % 100) + "\r\n";
  text += "LCMASTSTDATATRANSFERTIME:" + TwoDigitsEach(transfer.tm_hour, transfer.tm_min, transfer.tm_sec) + "\r\n";
  AddRecord(text, "LCMAOTSKTASKNUMBER:" + TypedText(request.taskText));
  text += "LCMAOPRSPRESSALTFILL:GNSSALT\r\n";
  text += "LCMASTZNTIMEZONEOFFSET:+0000\r\n";
  return text;
}

// "%05d": a minus sign counts toward the five characters.
char* AltitudeField(char* out, int64_t metres) {
  // Every 16-bit feet value is within 9987 m: sign or leading digit, then two pairs.
  if (metres > -10000 && metres < 100000) {
    const auto magnitude = static_cast<unsigned>(metres < 0 ? -metres : metres);
    *out++ = metres < 0 ? '-' : static_cast<char>('0' + magnitude / 10000);
    out = WriteTwoDigits(out, magnitude / 100 % 100);
    return WriteTwoDigits(out, magnitude % 100);
  }
  char digits[24];
  int count = 0;
  uint64_t magnitude = metres < 0 ? 0 - static_cast<uint64_t>(metres) : static_cast<uint64_t>(metres);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  if (metres < 0) *out++ = '-';
  while (count > 0) *out++ = digits[--count];
  return out;
}

// Eight bytes at a time: the bytes of a word are added in four 16-bit lanes,
// which cannot overflow within 128 words.
uint32_t ByteSum(const char* begin, const char* end) {
  constexpr uint64_t kLowBytes = 0x00FF00FF00FF00FFull;
  uint32_t sum = 0;
  while (end - begin >= 8) {
    uint64_t lanes = 0;
    for (int word = 0; word < 128 && end - begin >= 8; ++word, begin += 8) {
      uint64_t w;
      std::memcpy(&w, begin, 8);
      lanes += (w & kLowBytes) + (w >> 8 & kLowBytes);
    }
    lanes = (lanes & 0x0000FFFF0000FFFFull) + (lanes >> 16 & 0x0000FFFF0000FFFFull);
    sum += static_cast<uint32_t>(lanes + (lanes >> 32));
  }
  for (; begin != end; ++begin) sum += static_cast<unsigned char>(*begin);
  return sum;
}

}  // namespace

std::string IgcSelectionProblem(const TrackTable& table, int firstSegment, int lastSegment) {
  if (firstSegment < 0 || lastSegment < 0) return "No segment is selected.";
  if (firstSegment > lastSegment || lastSegment >= table.segmentCount) {
    return "Segments " + std::to_string(firstSegment + 1) + " to " + std::to_string(lastSegment + 1) +
           " are not in the table, which has " + std::to_string(table.segmentCount) + " segments.";
  }
  const int firstPoint = table.segments()[firstSegment].firstPoint;
  const int lastPoint = table.segments()[lastSegment].lastPoint;
  if (firstPoint < 0 || lastPoint < firstPoint || lastPoint >= table.pointCount) {
    return "The selected segments do not match the decoded points.";
  }
  return {};
}

bool WriteIgcText(const TrackTable& table, const IgcSaveRequest& request, const TextSink& sink) {
  const int firstPoint = table.segments()[request.firstSegment].firstPoint;
  const int lastPoint = table.segments()[request.lastSegment].lastPoint;

  const std::string header = HeaderRecords(table, request);
  if (!sink(header.data(), header.size())) return false;

  // The records go out a piece at a time from one buffer that stays in the
  // cache; the byte sum is taken over each piece on its way.
  constexpr size_t kPiece = 64 * 1024;
  const auto buffer = std::make_unique_for_overwrite<char[]>(kPiece + kERecord + kMaxBRecord);
  char* const begin = buffer.get();
  char* out = begin;
  uint32_t byteSum = 0;
  auto handOn = [&] {
    byteSum += ByteSum(begin, out);
    const bool kept = sink(begin, static_cast<size_t>(out - begin));
    out = begin;
    return kept;
  };

  uint32_t eventRecords = 0;
  const TrackPoint* points = table.points();
  for (int i = firstPoint; i <= lastPoint; ++i) {
    const TrackPoint& p = points[i];
    long t = (p.hour * 3600L + p.minute * 60L + p.second + request._timezone) % kSecondsPerDay;
    if (t < 0) t += kSecondsPerDay;
    char hhmmss[6];
    WriteTwoDigits(WriteTwoDigits(WriteTwoDigits(hhmmss, static_cast<unsigned>(t / 3600)),
                                  static_cast<unsigned>(t % 3600 / 60)),
                   static_cast<unsigned>(t % 60));
    if (p.event != 0) {
      *out = 'E';
      std::memcpy(out + 1, hhmmss, 6);
      std::memcpy(out + 7, "PEV\r\n", 5);
      out += kERecord;
      ++eventRecords;
    }
    *out = 'B';
    std::memcpy(out + 1, hhmmss, 6);
    out += 7;
    out += WriteLatitudeText(out, p.latitudeE5);
    out += WriteLongitudeText(out, p.longitudeE5);
    *out++ = p.fixStatus != 0 ? 'A' : 'V';
    char* const altitude = out;
    out = AltitudeField(out, AltitudeMetres(p.altitudeFeet));
    const size_t altitudeWidth = static_cast<size_t>(out - altitude);
    std::memcpy(out, altitude, altitudeWidth);  // the pressure altitude field repeats the GNSS one
    out += altitudeWidth;
    *out++ = '\r';
    *out++ = '\n';
    if (static_cast<size_t>(out - begin) >= kPiece && !handOn()) return false;
  }
  if (out != begin && !handOn()) return false;

  // The record check counts from the start of the table, not of the selection.
  const uint32_t recordCheck = ~(static_cast<uint32_t>(lastPoint) + 1u + eventRecords);
  char gLines[40];
  const int gLength = std::snprintf(gLines, sizeof gLines, "G:%04x\r\nG:%08lx\r\n",
                                    static_cast<unsigned>(recordCheck), static_cast<unsigned long>(byteSum));
  return sink(gLines, static_cast<size_t>(gLength));
}

std::string IgcFileText(const TrackTable& table, const IgcSaveRequest& request) {
  std::string text;
  WriteIgcText(table, request, [&text](const char* bytes, size_t count) {
    text.append(bytes, count);
    return true;
  });
  return text;
}

}  // namespace orvald
