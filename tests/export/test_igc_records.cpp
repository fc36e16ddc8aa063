// The IGC text byte for byte: header records, E and B records, G lines.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "export/igc_text.h"
#include "export/igc_writer.h"
#include "igc_test_table.h"
#include "support/temp_dir.h"

namespace orvald {
namespace {

using testing::AddSegment;
using testing::kApril10th2007;
using testing::PointSpec;

constexpr std::time_t kTransferTime = kApril10th2007 + 86400 + 8 * 3600 + 9 * 60 + 10;  // 2007-04-11 08:09:10 UTC

IgcSaveRequest Request(int first, int last, long _timezone = 0) {
  IgcSaveRequest r;
  r.firstSegment = first;
  r.lastSegment = last;
  r.competNo = "12";
  r.pilotNames = "Pilot One";
  r.loggerSN = "00000012345";
  r.loggerType = "5.1A";
  r.taskText = "3";
  r.now = kTransferTime;
  r._timezone = _timezone;
  return r;
}

// Lines without their CR LF; fails the test when a line lacks it.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t from = 0;
  while (from < text.size()) {
    const size_t end = text.find("\r\n", from);
    if (end == std::string::npos) {
      ADD_FAILURE() << "text does not end in CR LF: " << text.substr(from);
      break;
    }
    const std::string line = text.substr(from, end - from);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "bare CR or LF in " << line;
    lines.push_back(line);
    from = end + 2;
  }
  return lines;
}

// The E and B lines, in file order.
std::vector<std::string> FixLines(const std::string& text) {
  std::vector<std::string> fixes;
  for (const std::string& line : Lines(text)) {
    if (line[0] == 'B' || line[0] == 'E') fixes.push_back(line);
  }
  return fixes;
}

std::vector<std::string> GLines(const std::string& text) {
  std::vector<std::string> g;
  for (const std::string& line : Lines(text)) {
    if (line.rfind("G:", 0) == 0) g.push_back(line);
  }
  return g;
}

TEST(IgcRecords, WholeFileForTheWorkedExamplePoint) {
  TrackTable table;
  AddSegment(table, kApril10th2007 + 10 * 3600 + 15 * 60 + 30,
             {{.hour = 10, .minute = 15, .second = 30, .latitudeE5 = -2550000, .longitudeE5 = 2825000, .altitudeFeet = 1000}});

  testing::TempDir dir;
  IgcSaveRequest request = Request(0, 0);
  request.directory = dir.path();
  const IgcSaveResult result = WriteIgcFile(table, request);
  ASSERT_TRUE(result.saved()) << result.error;
  EXPECT_EQ(result.fileName, "12T3V1_Pilot_One.igc");
  EXPECT_EQ(dir.Entries(), std::set<std::string>{"12T3V1_Pilot_One.igc"});

  const std::string expected =
      "AXXXXXX 5.1A,00000012345\r\n"
      "HFDTE100407\r\n"
      "HSPLTPILOT:Pilot One\r\n"
      "HFDTM100GPSDATUM:WGS84\r\n"
      "HFRFWFIRMWAREVERSION:Vireline V5.1A\r\n"
      "HFRHWHARDWAREVERSION:FALDOR-X1\r\n"
      "HFFTYFRTYPE:QUORVEN,VIRELINE\r\n"
      "HFGPS:UBLOX,LJ,12ch,MAX18000M\r\n"
      "HFPRS:NOTFITTED\r\n"
      "HSDFSFILESPECIFICATION:CIMA,1.0\r\n"
      "HPCIDCOMPETITIONID:12\r\n"
      "LCMASTSNDATATRANSFERSOFTWARENAME:CIMA FLIGHT LOG DOWNLOADER (VL)\r\n"
      "LCMASTSVDATATRANSFERSOFTWAREVERSION:1.00a\r\n"
      "LCMASTSDDATATRANSFERDATE:110407\r\n"
      "LCMASTSTDATATRANSFERTIME:080910\r\n"
      "LCMAOTSKTASKNUMBER:3\r\n"
      "LCMAOPRSPRESSALTFILL:GNSSALT\r\n"
      "LCMASTZNTIMEZONEOFFSET:+0000\r\n"
      "B1015302530000S02815000EA0030400304\r\n"
      "G:fffffffe\r\n"
      "G:00000734\r\n";
  EXPECT_EQ(testing::ReadWholeFile(dir / result.fileName), expected);
}

TEST(IgcRecords, ModelTableByFirstCharacterOfTheLoggerType) {
  TrackTable table;
  AddSegment(table, kApril10th2007, {{.hour = 0, .minute = 0, .second = 0}});
  struct Case {
    const char* type;
    const char* hardware;
    const char* gps;
  };
  const Case cases[] = {
      {"5.1A", "HFRHWHARDWAREVERSION:FALDOR-X1", "HFGPS:UBLOX,LJ,12ch,MAX18000M"},
      {"3.0B", "HFRHWHARDWAREVERSION:PIKKET", "HFGPS:UBLOX,SAM,12ch,MAX18000M"},
      {"4.2", "HFRHWHARDWAREVERSION:TESSMA-X2", "HFGPS:TRIMBLE,ACEII,8ch,MAX18000M"},
      {"0.0", "HFRHWHARDWAREVERSION:UNKNOWN", "HFGPS:UNKNOWN,,,MAX18000M"},
      {":.5x", "HFRHWHARDWAREVERSION:UNKNOWN", "HFGPS:UNKNOWN,,,MAX18000M"},
      {"", "HFRHWHARDWAREVERSION:UNKNOWN", "HFGPS:UNKNOWN,,,MAX18000M"},
  };
  for (const Case& c : cases) {
    IgcSaveRequest request = Request(0, 0);
    request.loggerType = c.type;
    const std::vector<std::string> lines = Lines(IgcFileText(table, request));
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[0], std::string("AXXXXXX ") + c.type + ",00000012345");
    EXPECT_EQ(lines[4], std::string("HFRFWFIRMWAREVERSION:Vireline V") + c.type);
    EXPECT_EQ(lines[5], c.hardware) << c.type;
    EXPECT_EQ(lines[7], c.gps) << c.type;
  }
}

// ASCII within 76 characters a record, as scoring programs read them, in any locale.
TEST(IgcRecords, TextsAreAsciiWithinTheRecordLengthAndKeepTheirSpaces) {
  TrackTable table;
  AddSegment(table, kApril10th2007, {{.hour = 0, .minute = 0, .second = 0}});
  IgcSaveRequest request = Request(0, 0);
  request.competNo = "1 2";
  request.pilotNames = "Anna  Kova\xC4\x8D" "evi\xC4\x87 / \xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD \xE2\x82\xAC\xFF\t";
  request.taskText = "Task 3" + std::string(80, '!');
  request.loggerSN = "SN\xC3\xA9" "1";
  const std::vector<std::string> lines = Lines(IgcFileText(table, request));
  EXPECT_EQ(lines[0], "AXXXXXX 5.1A,SN__1");
  EXPECT_EQ(lines[2], "HSPLTPILOT:Anna  Kovacevic / Ivan ___");
  EXPECT_EQ(lines[10], "HPCIDCOMPETITIONID:1 2");
  EXPECT_EQ(lines[15], "LCMAOTSKTASKNUMBER:Task 3" + std::string(51, '!'));
}

TEST(IgcRecords, FlightDateIsTheUtcDateOfTheFirstSelectedSegment) {
  TrackTable table;
  // Local 23:59:59 with _timezone -3600 is 22:59:59 UTC on 31 Dec 2007; the second segment starts in 2008.
  const int32_t newYearsEve = 1199145599 - 3600;  // 2007-12-31 22:59:59 UTC
  AddSegment(table, newYearsEve, {{.hour = 23, .minute = 59, .second = 59}});
  AddSegment(table, newYearsEve + 3601, {{.hour = 1, .minute = 0, .second = 0}});
  EXPECT_EQ(Lines(IgcFileText(table, Request(0, 1, -3600)))[1], "HFDTE311207");
  EXPECT_EQ(Lines(IgcFileText(table, Request(1, 1, -3600)))[1], "HFDTE010108");
}

TEST(IgcRecords, TransferDateAndTimeAreOneUtcReadingOfTheClock) {
  TrackTable table;
  AddSegment(table, kApril10th2007, {{.hour = 0, .minute = 0, .second = 0}});
  IgcSaveRequest request = Request(0, 0, -36000);  // the writer's time zone does not shift the clock reading
  request.now = 946684799;                         // 1999-12-31 23:59:59 UTC
  const std::vector<std::string> lines = Lines(IgcFileText(table, request));
  EXPECT_EQ(lines[13], "LCMASTSDDATATRANSFERDATE:311299");
  EXPECT_EQ(lines[14], "LCMASTSTDATATRANSFERTIME:235959");
}

TEST(IgcRecords, EventGivesAnERecordRightBeforeItsBRecordWithTheSameTime) {
  TrackTable table;
  AddSegment(table, kApril10th2007, {{.hour = 10, .minute = 0, .second = 0},
                                     {.hour = 10, .minute = 0, .second = 1, .event = 1},
                                     {.hour = 10, .minute = 0, .second = 2, .event = 15},
                                     {.hour = 10, .minute = 0, .second = 3}});
  const std::vector<std::string> fixes = FixLines(IgcFileText(table, Request(0, 0)));
  ASSERT_EQ(fixes.size(), 6u);
  EXPECT_EQ(fixes[0].substr(0, 7), "B100000");
  EXPECT_EQ(fixes[1], "E100001PEV");
  EXPECT_EQ(fixes[2].substr(0, 7), "B100001");
  EXPECT_EQ(fixes[3], "E100002PEV");
  EXPECT_EQ(fixes[4].substr(0, 7), "B100002");
  EXPECT_EQ(fixes[5].substr(0, 7), "B100003");
}

TEST(IgcRecords, BRecordFields) {
  TrackTable table;
  AddSegment(table, kApril10th2007,
             {{.hour = 1, .minute = 2, .second = 3, .latitudeE5 = 5100005, .longitudeE5 = -234567, .altitudeFeet = -50},
              {.hour = 1, .minute = 2, .second = 4, .latitudeE5 = 0, .longitudeE5 = 0, .altitudeFeet = 0, .fixStatus = 0},
              {.hour = 1, .minute = 2, .second = 5, .latitudeE5 = 9000000, .longitudeE5 = 18000000, .altitudeFeet = 32767},
              {.hour = 1, .minute = 2, .second = 6, .latitudeE5 = -9000000, .longitudeE5 = -18000000, .altitudeFeet = -32768},
              {.hour = 1, .minute = 2, .second = 7, .latitudeE5 = 100000, .longitudeE5 = 100000, .altitudeFeet = 1250, .fixStatus = 9},
              {.hour = 1, .minute = 2, .second = 8, .latitudeE5 = 100000, .longitudeE5 = 100000, .altitudeFeet = -3}});
  const std::vector<std::string> fixes = FixLines(IgcFileText(table, Request(0, 0)));
  const std::vector<std::string> expected = {
      "B0102035100003N00220740WA-0015-0015",  // -15.24 m truncates toward zero
      "B0102040000000N00000000EV0000000000",
      "B0102059000000N18000000EA0998709987",
      "B0102069000000S18000000WA-9987-9987",
      "B0102070100000N00100000EA0038100381",  // exactly 381 m, not 380.99...
      "B0102080100000N00100000EA0000000000",  // -0.91 m is 0, without a sign
  };
  EXPECT_EQ(fixes, expected);
}

TEST(IgcRecords, TimeOfDayWrapsAtMidnightBothWays) {
  TrackTable table;
  AddSegment(table, kApril10th2007, {{.hour = 23, .minute = 30, .second = 0}});
  AddSegment(table, kApril10th2007, {{.hour = 0, .minute = 30, .second = 0}});
  EXPECT_EQ(FixLines(IgcFileText(table, Request(0, 0, 7200)))[0].substr(0, 7), "B013000");
  EXPECT_EQ(FixLines(IgcFileText(table, Request(1, 1, -7200)))[0].substr(0, 7), "B223000");
  EXPECT_EQ(FixLines(IgcFileText(table, Request(1, 1, -1800)))[0].substr(0, 7), "B000000");
  EXPECT_EQ(FixLines(IgcFileText(table, Request(0, 0, 1800)))[0].substr(0, 7), "B000000");
  EXPECT_EQ(FixLines(IgcFileText(table, Request(0, 0, -43200)))[0].substr(0, 7), "B113000");
}

TEST(IgcRecords, WritesExactlyThePointsOfTheSelectedSegments) {
  TrackTable table;
  AddSegment(table, kApril10th2007, {{.hour = 9, .minute = 0, .second = 0}, {.hour = 9, .minute = 0, .second = 1}});
  AddSegment(table, kApril10th2007, {{.hour = 9, .minute = 10, .second = 0}, {.hour = 9, .minute = 10, .second = 1}});
  AddSegment(table, kApril10th2007, {{.hour = 9, .minute = 20, .second = 0}});
  AddSegment(table, kApril10th2007, {{.hour = 9, .minute = 30, .second = 0}});
  std::vector<std::string> times;
  for (const std::string& line : FixLines(IgcFileText(table, Request(1, 2)))) times.push_back(line.substr(1, 6));
  EXPECT_EQ(times, (std::vector<std::string>{"091000", "091001", "092000"}));
}

// 97 points in two segments, the second selected with three events: end position 97 + 3 E records.
TEST(IgcRecords, RecordCheckCountsFromTheStartOfTheTable) {
  TrackTable table;
  for (int segment = 0; segment < 2; ++segment) {
    const int firstSecond = segment * 50;
    const int count = segment == 0 ? 50 : 47;
    const int32_t start = kApril10th2007 + 36000 + firstSecond;
    AddSegment(table, start, {});
    TrackSegment& s = table.segments()[segment];
    for (int i = 0; i < count; ++i) {
      const int sec = firstSecond + i;
      const bool event = segment == 1 && (i == 0 || i == 20 || i == 46);
      table.points()[table.pointCount++] = testing::MakePoint(
          {.hour = 10, .minute = sec / 60, .second = sec % 60, .event = static_cast<uint8_t>(event ? 1 : 0)});
    }
    s.lastPoint = table.pointCount - 1;
  }
  const std::string text = IgcFileText(table, Request(1, 1));
  EXPECT_EQ(FixLines(text).size(), 47u + 3u);
  EXPECT_EQ(GLines(text).at(0), "G:ffffff9b");

  // Without events the value is the complement of the end position alone.
  for (int i = 0; i < table.pointCount; ++i) table.points()[i].event = 0;
  EXPECT_EQ(GLines(IgcFileText(table, Request(1, 1))).at(0), "G:ffffff9e");

  // A run from point 0: the complement of the number of B and E records in the file.
  table.points()[3].event = 2;
  const std::string fromStart = IgcFileText(table, Request(0, 1));
  EXPECT_EQ(FixLines(fromStart).size(), 98u);
  EXPECT_EQ(GLines(fromStart).at(0), "G:ffffff9d");
}

TEST(IgcRecords, ByteSumCoversEveryEAndBLineWithItsLineEnd) {
  TrackTable table;
  AddSegment(table, kApril10th2007, {{.hour = 10, .minute = 15, .second = 30, .latitudeE5 = -2550000, .longitudeE5 = 2825000},
                                     {.hour = 10, .minute = 15, .second = 31, .latitudeE5 = -2550000, .longitudeE5 = 2825000, .event = 1}});
  // B line of the worked example: 1844. Its successor differs only in the last time digit (+1).
  // The E line "E101531PEV" CR LF: 69+49+48+49+53+51+49+80+69+86+13+10 = 626.
  const std::string text = IgcFileText(table, Request(0, 0));
  EXPECT_EQ(GLines(text), (std::vector<std::string>{"G:fffffffc", "G:000010db"}));  // 1844 + 1845 + 626 = 4315
}

TEST(IgcRecords, ALongSelectionGoesOutPieceByPieceWithTheByteSumOfAllOfThem) {
  static TrackTable table;
  table.pointCount = table.segmentCount = 0;
  std::vector<PointSpec> fixes;
  for (int i = 0; i < 6000; ++i) {  // some 220 kB of records: several pieces
    fixes.push_back({.hour = 10 + i / 3600, .minute = i / 60 % 60, .second = i % 60,
                     .latitudeE5 = -4500000 + i * 17, .longitudeE5 = 17999999 - i * 31,
                     .altitudeFeet = static_cast<int16_t>(i * 11 - 30000), .event = static_cast<uint8_t>(i % 97 == 0)});
  }
  for (size_t from = 0; from < fixes.size(); from += 1000) {
    AddSegment(table, kApril10th2007 + 36000 + static_cast<int32_t>(from), {});
    TrackSegment& s = table.segments()[table.segmentCount - 1];
    for (size_t i = from; i < from + 1000; ++i) table.points()[table.pointCount++] = testing::MakePoint(fixes[i]);
    s.firstPoint = static_cast<int32_t>(from);
    s.lastPoint = table.pointCount - 1;
  }

  std::vector<std::string> pieces;
  ASSERT_TRUE(WriteIgcText(table, Request(0, 5), [&](const char* bytes, size_t count) {
    pieces.emplace_back(bytes, count);
    return true;
  }));
  EXPECT_GT(pieces.size(), 4u);
  std::string whole;
  for (const std::string& piece : pieces) whole += piece;
  EXPECT_EQ(whole, IgcFileText(table, Request(0, 5)));
  uint32_t sum = 0;
  for (const std::string& line : FixLines(whole)) {
    for (char c : line + "\r\n") sum += static_cast<unsigned char>(c);
  }
  char expected[16];
  std::snprintf(expected, sizeof expected, "G:%08x", sum);
  EXPECT_EQ(GLines(whole).at(1), expected);

  // A piece that cannot be kept ends the writing there.
  int offered = 0;
  EXPECT_FALSE(WriteIgcText(table, Request(0, 5), [&](const char*, size_t) { return ++offered < 2; }));
  EXPECT_EQ(offered, 2);
}

TEST(IgcRecords, SelectionThatIsNotInTheTableIsNothingSelected) {
  TrackTable table;
  AddSegment(table, kApril10th2007, {{.hour = 0, .minute = 0, .second = 0}});
  testing::TempDir dir;
  for (auto [first, last] : {std::pair{-1, -1}, {-1, 0}, {0, -1}, {0, 1}, {1, 1}, {1, 0}}) {
    IgcSaveRequest request = Request(first, last);
    request.directory = dir.path();
    const IgcSaveResult result = WriteIgcFile(table, request);
    EXPECT_EQ(result.status, IgcSaveStatus::kNothingSelected) << first << ".." << last;
    EXPECT_FALSE(result.error.empty());
  }
  EXPECT_TRUE(dir.Entries().empty());
}

}  // namespace
}  // namespace orvald
