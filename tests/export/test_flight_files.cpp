// KML and GPX files beside the IGC file: escaped text, the same points and
// UTC times as the IGC file, and names that always share the IGC file's version.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "export/flight_files.h"
#include "export/track_xml.h"
#include "export/xml_text.h"
#include "igc_test_table.h"
#include "support/temp_dir.h"

namespace orvald {
namespace {

using testing::AddSegment;
using testing::kApril10th2007;

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

struct TwoSegments {
  TrackTable table;
  IgcSaveRequest request;
  TwoSegments() {
    // Local 12:00 with the zone 2 h east: 10:00 UTC.
    AddSegment(table, kApril10th2007 + 36000, {{12, 0, 0, 4700005, -812345, 1000, 1}, {12, 0, 1, 4700010, -812350}});
    AddSegment(table, kApril10th2007 + 36100, {{12, 1, 40, -50000, 100001, -50}});
    request.firstSegment = 0;
    request.lastSegment = 1;
    request.competNo = "12";
    request.taskText = "3";
    request.pilotNames = "Anna & <Bo>";
    request._timezone = -7200;
  }
};

TEST(XmlText, EscapesMarkupKeepsUtf8AndReadsStrayBytesAsLatin1) {
  EXPECT_EQ(XmlEscaped("a&b<c>\"d'"), "a&amp;b&lt;c&gt;&quot;d&apos;");
  EXPECT_EQ(XmlEscaped("M\xC3\xBCller \xE2\x82\xAC"), "M\xC3\xBCller \xE2\x82\xAC");
  EXPECT_EQ(XmlEscaped("M\xFCller"), "M\xC3\xBCller");        // Latin-1 u-umlaut
  EXPECT_EQ(XmlEscaped("\xC0\xAF\xED\xA0\x80"), "\xC3\x80\xC2\xAF\xC3\xAD\xC2\xA0\xC2\x80");  // overlong, surrogate
  EXPECT_EQ(XmlEscaped(std::string("a\0b\x01\tc", 6)), "ab\tc");
  XmlWriter xml;
  xml.Open("a", {{"k", "1 & 2"}});
  xml.Leaf("b", "<x>");
  EXPECT_EQ(xml.Finish(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a k=\"1 &amp; 2\">\n  <b>&lt;x&gt;</b>\n</a>\n");
}

TEST(TrackXml, KmlAndGpxHoldEverySelectedPointWithItsUtcTime) {
  TwoSegments t;
  const std::string kml = KmlFileText(t.table, t.request, "12T3V1");
  EXPECT_EQ(Count(kml, "<Placemark>"), 3u);  // two segments, one event mark
  EXPECT_EQ(Count(kml, "<gx:Track>"), 2u);
  EXPECT_EQ(Count(kml, "<when>"), 4u);  // three fixes and the event's time stamp
  EXPECT_NE(kml.find("<when>2007-04-10T10:00:00Z</when>"), std::string::npos);
  EXPECT_NE(kml.find("<gx:coord>-8.123450 47.000050 304</gx:coord>"), std::string::npos);
  EXPECT_NE(kml.find("<gx:coord>1.000000 -0.500000 -15</gx:coord>"), std::string::npos);
  EXPECT_NE(kml.find("Anna &amp; &lt;Bo&gt;"), std::string::npos);

  const std::string gpx = GpxFileText(t.table, t.request, "12T3V1");
  EXPECT_EQ(Count(gpx, "<trk>"), 1u);
  EXPECT_EQ(Count(gpx, "<trkseg>"), 2u);
  EXPECT_EQ(Count(gpx, "<trkpt "), 3u);
  EXPECT_NE(gpx.find("<trkpt lat=\"47.000100\" lon=\"-8.123500\"><ele>304</ele><time>2007-04-10T10:00:01Z</time></trkpt>"),
            std::string::npos);
  EXPECT_NE(gpx.find("<wpt lat=\"47.000050\" lon=\"-8.123450\">"), std::string::npos);

  t.request.firstSegment = t.request.lastSegment = 1;
  EXPECT_EQ(Count(GpxFileText(t.table, t.request, "x"), "<trkpt "), 1u);
}

TEST(FlightFiles, CompanionsShareTheVersionAndNothingIsEverReplaced) {
  TwoSegments t;
  testing::TempDir dir;
  t.request.directory = dir.path();
  t.request.pilotNames = "\xC3\x84nna";  // named in ASCII, as the IGC file
  std::ofstream(dir.path() + "/12T3V1_Anna.kml") << "kept";  // an old companion blocks version 1
  const FlightFilesResult first = WriteFlightFiles(t.table, t.request, {true, true});
  ASSERT_TRUE(first.igc.saved()) << first.igc.error;
  EXPECT_EQ(first.igc.fileName, "12T3V2_Anna.igc");
  EXPECT_EQ(first.companions, (std::vector<std::string>{"12T3V2_Anna.kml", "12T3V2_Anna.gpx"}));
  EXPECT_TRUE(first.companionError.empty());

  // Without companions the blocked version is free again for the IGC file alone.
  const FlightFilesResult plain = WriteFlightFiles(t.table, t.request, {});
  EXPECT_EQ(plain.igc.fileName, "12T3V1_Anna.igc");
  EXPECT_TRUE(plain.companions.empty());
  std::ifstream kept(dir.path() + "/12T3V1_Anna.kml");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept");

  t.request.firstSegment = -1;
  EXPECT_EQ(WriteFlightFiles(t.table, t.request, {true, true}).igc.status, IgcSaveStatus::kNothingSelected);
}

}  // namespace
}  // namespace orvald
