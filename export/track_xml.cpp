#include "export/track_xml.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

#include "export/coordinate_digits.h"
#include "export/igc_text.h"
#include "export/xml_text.h"
#include "tracklog/calendar.h"
#include "tracklog/decoder.h"

namespace orvald {
namespace {

// The coordinate that the IGC file of the same save holds (thousandths of a
// minute, truncated) in millionths of a degree, so that every reader finds
// the same fix in all three files.
int WriteIgcDegrees(char* out, int32_t e5) {
  int64_t whole = 0, thousandths = 0;
  IgcCoordinateParts(e5, whole, thousandths);
  const int64_t millionths = (thousandths * 50 + 1) / 3;  // m / 60000 degree, rounded
  return std::snprintf(out, 24, "%s%" PRId64 ".%06" PRId64, e5 < 0 && (whole != 0 || millionths != 0) ? "-" : "",
                       whole, millionths);
}

int WriteIsoUtc(char* out, int64_t utcSeconds) {
  const CivilDateTime t = CivilFromSeconds(utcSeconds);
  return std::snprintf(out, 32, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day, t.hour, t.minute,
                       t.second);
}

std::string TimeOfDay(int64_t utcSeconds) {
  const CivilDateTime t = CivilFromSeconds(utcSeconds);
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return text;
}

std::string Description(const IgcSaveRequest& request) {
  return "Competition number " + request.competNo + ", task " + request.taskText + ", pilot " +
         request.pilotNames + ", logger " + request.loggerSN + " (" + request.loggerType +
         "). Times are UTC; altitudes are GNSS altitudes in metres above sea level.";
}

struct Fix {
  const TrackPoint* point;
  int64_t utc;
  char latitude[24];
  char longitude[24];
  char when[32];
  long long metres;
};

Fix FixOf(const TrackPoint& p, long _timezone) {
  Fix fix;
  fix.point = &p;
  fix.utc = PointUtcTime(p, _timezone);
  WriteIgcDegrees(fix.latitude, p.latitudeE5);
  WriteIgcDegrees(fix.longitude, p.longitudeE5);
  WriteIsoUtc(fix.when, fix.utc);
  fix.metres = static_cast<long long>(AltitudeMetres(p.altitudeFeet));
  return fix;
}

template <typename Visit>
void ForEachSelectedSegment(const TrackTable& table, const IgcSaveRequest& request, Visit visit) {
  for (int s = request.firstSegment; s <= request.lastSegment; ++s) visit(s, table.segments()[s]);
}

}  // namespace

std::string IsoUtcText(int64_t utcSeconds) {
  char text[32];
  WriteIsoUtc(text, utcSeconds);
  return text;
}

std::string KmlFileText(const TrackTable& table, const IgcSaveRequest& request, const std::string& title) {
  XmlWriter xml;
  xml.Open("kml", {{"xmlns", "http://www.opengis.net/kml/2.2"}, {"xmlns:gx", "http://www.google.com/kml/ext/2.2"}});
  xml.Open("Document");
  xml.Leaf("name", title);
  xml.Leaf("description", Description(request));
  xml.Open("Style", {{"id", "segment"}});
  xml.Open("LineStyle");
  xml.Leaf("color", "ff1f77b4");
  xml.Leaf("width", "2");
  xml.Close();
  xml.Close();
  xml.Open("Folder");
  xml.Leaf("name", "Segments");
  std::vector<Fix> events;
  char line[160];
  ForEachSelectedSegment(table, request, [&](int index, const TrackSegment& segment) {
    xml.Open("Placemark");
    xml.Leaf("name", "Segment " + std::to_string(index + 1) + ", " + TimeOfDay(segment.start) + " to " +
                         TimeOfDay(segment.finish) + " UTC");
    xml.Leaf("styleUrl", "#segment");
    xml.Open("TimeSpan");
    xml.Leaf("begin", IsoUtcText(segment.start));
    xml.Leaf("end", IsoUtcText(segment.finish));
    xml.Close();
    xml.Open("gx:Track");
    xml.Leaf("altitudeMode", "absolute");
    std::vector<Fix> fixes;
    fixes.reserve(static_cast<size_t>(segment.lastPoint - segment.firstPoint + 1));
    for (int i = segment.firstPoint; i <= segment.lastPoint; ++i) {
      fixes.push_back(FixOf(table.points()[i], request._timezone));
      if (table.points()[i].event != 0) events.push_back(fixes.back());
    }
    for (const Fix& fix : fixes) {
      std::snprintf(line, sizeof line, "<when>%s</when>", fix.when);
      xml.Markup(line);
    }
    for (const Fix& fix : fixes) {
      std::snprintf(line, sizeof line, "<gx:coord>%s %s %lld</gx:coord>", fix.longitude, fix.latitude, fix.metres);
      xml.Markup(line);
    }
    xml.Close();
    xml.Close();
  });
  xml.Close();
  if (!events.empty()) {
    xml.Open("Folder");
    xml.Leaf("name", "Event marks");
    for (const Fix& fix : events) {
      xml.Open("Placemark");
      xml.Leaf("name", "Event " + TimeOfDay(fix.utc) + " UTC");
      xml.Open("TimeStamp");
      xml.Leaf("when", fix.when);
      xml.Close();
      xml.Open("Point");
      xml.Leaf("altitudeMode", "absolute");
      std::snprintf(line, sizeof line, "%s,%s,%lld", fix.longitude, fix.latitude, fix.metres);
      xml.Leaf("coordinates", line);
      xml.Close();
      xml.Close();
    }
    xml.Close();
  }
  return xml.Finish();
}

std::string GpxFileText(const TrackTable& table, const IgcSaveRequest& request, const std::string& title) {
  XmlWriter xml;
  xml.Open("gpx", {{"version", "1.1"},
                   {"creator", "ORVALD"},
                   {"xmlns", "http://www.topografix.com/GPX/1/1"},
                   {"xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance"},
                   {"xsi:schemaLocation", "http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd"}});
  xml.Open("metadata");
  xml.Leaf("name", title);
  xml.Leaf("desc", Description(request));
  xml.Leaf("time", IsoUtcText(request.now));
  xml.Close();
  char line[200];
  // Waypoints come before tracks in GPX.
  for (int i = table.segments()[request.firstSegment].firstPoint; i <= table.segments()[request.lastSegment].lastPoint;
       ++i) {
    if (table.points()[i].event == 0) continue;
    const Fix fix = FixOf(table.points()[i], request._timezone);
    xml.Open("wpt", {{"lat", fix.latitude}, {"lon", fix.longitude}});
    xml.Leaf("ele", std::to_string(fix.metres));
    xml.Leaf("time", fix.when);
    xml.Leaf("name", "Event " + TimeOfDay(fix.utc) + " UTC");
    xml.Close();
  }
  xml.Open("trk");
  xml.Leaf("name", title);
  ForEachSelectedSegment(table, request, [&](int, const TrackSegment& segment) {
    xml.Open("trkseg");
    for (int i = segment.firstPoint; i <= segment.lastPoint; ++i) {
      const Fix fix = FixOf(table.points()[i], request._timezone);
      std::snprintf(line, sizeof line, "<trkpt lat=\"%s\" lon=\"%s\"><ele>%lld</ele><time>%s</time></trkpt>",
                    fix.latitude, fix.longitude, fix.metres, fix.when);
      xml.Markup(line);
    }
    xml.Close();
  });
  return xml.Finish();
}

}  // namespace orvald
