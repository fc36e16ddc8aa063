// A download from start to finish: the file, its order of blocks, what the
// operator sees, and the detection cycle around it.

#include <gtest/gtest.h>

#include <algorithm>

#include "logger/download_fixture.h"
#include "tracklog/raw_image.h"

namespace orvald::testing {
namespace {

// Three used blocks, the last half full: 2 x 3639 records fill two blocks,
// 1800 more take 8 pages of the third (fill mask 0xFF00, 256 pieces).
constexpr int kThreeBlockFixes = 2 * kRecordsPerBlock + 1800;

TEST_F(DownloadTest, ThreeBlockDownloadWritesTheImageAndShowsItsProgress) {
  logger.memory = BuildMemoryImage(FlightFixes(kThreeBlockFixes, 3000));
  ASSERT_EQ(ParseBlockHeader(&logger.memory[2 * kBlockSize]).fillMask, 0xFF00);

  const LoadLogResult result = Session().LoadLog("");

  EXPECT_EQ(result.end, LoadLogEnd::kComplete);
  EXPECT_EQ(result.path, dataDir / kFirstName);
  const std::vector<uint8_t> file = ReadBytes(dataDir / kFirstName);
  EXPECT_EQ(file, Expected());
  EXPECT_EQ(file.size(), 32u + 2 * 65504 + (32768 - 32));
  EXPECT_EQ(FilesInDataDir(), std::vector<std::string>{kFirstName});  // no ".part" left over

  // Header: version byte 0x51 and 'A' from "ORVL5.1A", serial at 18.
  EXPECT_EQ(file[16], 0x51);
  EXPECT_EQ(file[17], 'A');
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[18]), 11), "00000012345");

  EXPECT_EQ(view.blockCaptions, (std::vector<std::string>{"Downloading Block  1 of  3 ",
                                                          "Downloading Block  2 of  3 ",
                                                          "Downloading Block  3 of  3 "}));
  EXPECT_EQ(view.progressMax, 1536);
  EXPECT_EQ(view.progressPosition, 1280);
  // The share the operator reads ends at 100 although the last block is half
  // full, and is said once per change: 0, 1, ... 100.
  ASSERT_EQ(view.shares.size(), 101u);
  EXPECT_EQ(view.shares.back(), 100);
  EXPECT_EQ(result.piecesRead, 1280);
  EXPECT_EQ(view.eventsProcessed, 1280);  // once before every piece
  EXPECT_EQ(view.fileCaptions,
            (std::vector<std::string>{"Loading: 00000012345-20070410-153012.G00", kFirstName}));
  EXPECT_EQ(view.started, std::vector<std::string>{kFirstName});
  EXPECT_EQ(view.statusText, "Decoding file : 00000012345-20070410-153012.G00...");
  EXPECT_FALSE(view.progressShown);
  EXPECT_FALSE(view.hourglass);
  EXPECT_EQ(view.beeps, 1);
  EXPECT_EQ(view.ended, 1);
  EXPECT_TRUE(view.scripted.asked.empty());

  // The link: 57600 first, identity before version, 9600 at the end.
  EXPECT_EQ(logger.Rates(), (std::vector<uint32_t>{57600, 9600}));
  EXPECT_EQ(logger.requests[1].kind, LoggerRequest::Identity);
  EXPECT_EQ(logger.requests[2].kind, LoggerRequest::Version);
  EXPECT_EQ(logger.requests.back().kind, LoggerRequest::Rate);

  // Decoded: one row per run of fixes; the last fix closes no segment.
  EXPECT_EQ(view.gridResets, 1);
  EXPECT_EQ(view.rowCount, 5);
  ASSERT_EQ(view.rows.size(), 4u);
  EXPECT_EQ(view.rows[1][0], "1");
  EXPECT_EQ(view.rows[1][1], "2007/04/10  10:00:00");
  EXPECT_EQ(view.rows[1][2], "2007/04/10  10:49:59");
  EXPECT_EQ(view.rows[1][3], "");
  EXPECT_EQ(view.rows[2][1], "2007/04/10  10:51:00");
  EXPECT_EQ(view.rows[4][5], std::to_string(kThreeBlockFixes - 9000));  // the final segment keeps its last fix
  EXPECT_EQ(table.pointCount, kThreeBlockFixes);

  EXPECT_EQ(view.identification, (std::array<std::string, 4>{"007", "Crew One", "00000012345", "5.1A"}));
  EXPECT_EQ(Session().lastSerialText(), "00000012345");
}

struct LayoutCase {
  const char* name;
  int fixes;
  MemoryLayout layout;
  std::vector<int> blockOrder;  // blocks whose pieces are read, in order
  size_t fileSize;
  int usedBlocks = -1;  // -1: as many as are downloaded
};

class DownloadLayoutTest : public DownloadTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(DownloadLayoutTest, FileIsTheUsedBlocksInDownloadOrder) {
  const LayoutCase& c = GetParam();
  logger.memory = c.fixes > 0 ? BuildMemoryImage(FlightFixes(c.fixes), c.layout) : ErasedMemory();

  const LoadLogResult result = Session().LoadLog("");

  ASSERT_EQ(result.end, LoadLogEnd::kComplete);
  const std::vector<uint8_t> file = ReadBytes(dataDir / kFirstName);
  EXPECT_EQ(file, Expected());
  EXPECT_EQ(file.size(), c.fileSize);
  EXPECT_EQ(BlocksDownloaded(), c.blockOrder);
  const int used = c.usedBlocks >= 0 ? c.usedBlocks : static_cast<int>(c.blockOrder.size());
  EXPECT_EQ(view.progressMax, used * 512);
}

MemoryLayout Layout(int startBlock, int32_t firstSequence, int recordsPerBlock,
                    std::vector<std::pair<int, uint16_t>> masks = {},
                    std::vector<std::pair<int, int32_t>> sequences = {}) {
  MemoryLayout layout;
  layout.startBlock = startBlock;
  layout.firstSequence = firstSequence;
  layout.recordsPerBlock = recordsPerBlock;
  layout.fillMaskOverrides = std::move(masks);
  layout.sequenceOverrides = std::move(sequences);
  return layout;
}

// 200 records per block take 3632 bytes: one page, fill mask 0xFFFE, 32 pieces.
constexpr size_t kOnePage = 4096 - 32;

INSTANTIATE_TEST_SUITE_P(
    Layouts, DownloadLayoutTest,
    ::testing::Values(
        LayoutCase{"NoUsedBlock", 0, {}, {}, 32},
        LayoutCase{"WrapFrom31To0", 800, Layout(30, 7, 200), {30, 31, 0, 1}, 32 + 4 * kOnePage},
        LayoutCase{"HoleInMaskTakesWholeBlock", 400, Layout(0, 1, 200, {{1, 0xFFFD}}), {0, 1}, 32 + kOnePage + 65504},
        LayoutCase{"InUseButEmptyMaskIsPassedOver", 600, Layout(4, 1, 200, {{5, 0xFFFF}}), {4, 6}, 32 + 2 * kOnePage},
        LayoutCase{"EqualSequenceStartsAtLowerBlock", 600, Layout(10, 5, 200, {}, {{12, 5}}), {10, 11, 12},
                   32 + 3 * kOnePage},
        LayoutCase{"EqualSequenceWrapsFromTheLowerBlock", 1200, Layout(28, 10, 200, {}, {{30, 3}, {1, 3}}),
                   {1, 28, 29, 30, 31, 0}, 32 + 6 * kOnePage},
        LayoutCase{"OldestBlockInTheMiddle", 600, Layout(3, 20, 200, {}, {{5, 2}}), {5, 3, 4}, 32 + 3 * kOnePage},
        LayoutCase{"SequenceAtNoStartValueIsNoStart", 200, Layout(0, 0x0FFFFFFF, 200), {}, 32, 1},
        LayoutCase{"FullMemory", 32 * kRecordsPerBlock, Layout(17, 100, kRecordsPerBlock),
                   {17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 0,
                    1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16},
                   32 + 32 * 65504}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

TEST_F(DownloadTest, DetectionCyclePollsDownloadsOnceAndRearmsEveryTime) {
  logger.memory = BuildMemoryImage(FlightFixes(300), Layout(2, 1, 200));

  EXPECT_TRUE(Session().PollOnce());
  EXPECT_TRUE(Session().lastCycleFoundLogger());
  EXPECT_EQ(Session().lastResult().end, LoadLogEnd::kComplete);
  const std::vector<uint8_t> first = ReadBytes(dataDir / kFirstName);
  EXPECT_EQ(first, Expected());

  // Still plugged in: the next poll asks who it is and stops there.
  logger.requests.clear();
  view.scripted.asked.clear();
  const auto statusBefore = view.statusTexts.size();
  Session().PollOnce();
  EXPECT_EQ(Session().lastResult().end, LoadLogEnd::kSameLogger);
  EXPECT_EQ(FilesInDataDir(), std::vector<std::string>{kFirstName});
  EXPECT_EQ(logger.CountOf(LoggerRequest::Read), 0);
  EXPECT_EQ(logger.CountOf(LoggerRequest::Identity), 1);
  EXPECT_TRUE(view.scripted.asked.empty());
  EXPECT_EQ(view.statusTexts.size(), statusBefore);

  // Force download: the same logger again, under a new time-stamped name.
  Session().ForgetLastLogger();
  Session().PollOnce();
  EXPECT_EQ(Session().lastResult().end, LoadLogEnd::kComplete);
  const std::vector<std::string> files = FilesInDataDir();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[1], "00000012345-20070410-153013.G00");
  EXPECT_EQ(ReadBytes(dataDir / files[1]), first);

  // Unplugged, then back with its next flight: downloaded again.
  logger.present = false;
  EXPECT_FALSE(Session().PollOnce());
  logger.present = true;
  Session().PollOnce();
  EXPECT_EQ(Session().lastResult().end, LoadLogEnd::kComplete);
  EXPECT_EQ(FilesInDataDir().size(), 3u);
  // The view was told each download's logger and end as they happened, not
  // only through the status texts.
  EXPECT_EQ(view.startedSerials, std::vector<std::string>(3, logger.serialText));
  using End = std::pair<LoadLogEnd, std::string>;
  EXPECT_EQ(view.finished, (std::vector<End>{{LoadLogEnd::kComplete, logger.serialText},
                                             {LoadLogEnd::kSameLogger, logger.serialText},
                                             {LoadLogEnd::kComplete, logger.serialText},
                                             {LoadLogEnd::kComplete, logger.serialText}}));
}

TEST_F(DownloadTest, NoLoggerIsReportedInTheStatusBar) {
  logger.present = false;
  EXPECT_FALSE(Session().PollOnce());
  EXPECT_FALSE(Session().lastCycleFoundLogger());
  EXPECT_EQ(view.statusText, "No logger found to download");
  // The detection rate, then once at each rate a cut-off download leaves a logger at.
  std::vector<uint32_t> probed;
  for (const LoggerRequest& request : logger.requests) {
    EXPECT_EQ(request.kind, LoggerRequest::Probe);
    probed.push_back(request.rate);
  }
  EXPECT_EQ(probed, (std::vector<uint32_t>{9600, 57600, 115200}));
  EXPECT_TRUE(FilesInDataDir().empty());
}

// A serial or a version that never came leaves a file that cannot say whose
// it is or what wrote it: kept, named incomplete, and downloaded again.
TEST_F(DownloadTest, ALoggerThatGivesNoSerialOrNoVersionIsKeptAsIncompleteAndDownloadedAgain) {
  struct Case {
    LoggerRequest::Kind lost;
    const char* reason;
    const char* name;
  };
  for (const Case& c : {Case{LoggerRequest::Identity, "the logger gave no serial number", "-20070410-153012-incomplete.G00"},
                        Case{LoggerRequest::Version, "the logger gave no version",
                             "00000012345-20070410-153012-incomplete.G00"}}) {
    SCOPED_TRACE(c.reason);
    StartOver();
    logger.memory = BuildMemoryImage(FlightFixes(300), Layout(0, 1, 200));
    logger.fails = [&c](const LoggerRequest& r) { return r.kind == c.lost; };
    const bool noSerial = c.lost == LoggerRequest::Identity;

    Session().PollOnce();
    EXPECT_EQ(Session().lastResult().end, LoadLogEnd::kReadError);
    EXPECT_EQ(Session().lastResult().reason, c.reason);
    EXPECT_EQ(FilesInDataDir(), std::vector<std::string>{c.name});
    EXPECT_EQ(ReadBytes(dataDir / c.name), ExpectedRawFile(logger.memory, noSerial ? "" : logger.serialText,
                                                           noSerial ? logger.versionText : ""));
    Session().PollOnce();
    EXPECT_EQ(Session().lastResult().end, LoadLogEnd::kReadError);
    EXPECT_EQ(FilesInDataDir().size(), 2u);
  }
}

TEST_F(DownloadTest, ExistingFilesAreNeverOverwrittenATakenNameGetsTheNextNumber) {
  logger.memory = BuildMemoryImage(FlightFixes(300), Layout(0, 1, 200));
  WriteBytes(dataDir / kFirstName, {1, 2, 3});
  WriteBytes(dataDir / "00000012345-20070410-153012-2.G00", {4});

  const LoadLogResult result = Session().LoadLog("");
  EXPECT_EQ(result.end, LoadLogEnd::kComplete);
  EXPECT_EQ(result.path, dataDir / "00000012345-20070410-153012-3.G00");
  EXPECT_TRUE(view.scripted.asked.empty());
  EXPECT_EQ(ReadBytes(dataDir / kFirstName), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(ReadBytes(result.path), Expected());

  // A second download in the same second by a logger of the same serial.
  Session().ForgetLastLogger();
  clockTicks = 0;
  EXPECT_EQ(Session().LoadLog("").path, dataDir / "00000012345-20070410-153012-4.G00");
}

TEST_F(DownloadTest, UnsafeSerialTextIsMadeSafeForTheFileNameOnly) {
  logger.serialText = "../AB:C*D";
  logger.memory = BuildMemoryImage(FlightFixes(300), Layout(0, 1, 200));

  ASSERT_EQ(Session().LoadLog("").end, LoadLogEnd::kComplete);
  EXPECT_EQ(FilesInDataDir(), std::vector<std::string>{".._AB_C_D-20070410-153012.G00"});
  const std::vector<uint8_t> file = ReadBytes(dataDir / ".._AB_C_D-20070410-153012.G00");
  EXPECT_EQ(file, Expected());  // the header keeps the serial text as the logger gave it
  EXPECT_EQ(table.serialText, "../AB:C*D");
}

TEST_F(DownloadTest, FileUnderItsFinalNameOnlyOnceTheDownloadEnded) {
  logger.memory = BuildMemoryImage(FlightFixes(600), Layout(0, 1, 200));
  int checks = 0;
  logger.onRequest = [&](const LoggerRequest& r) {
    if (r.kind == LoggerRequest::Read && r.count == kPieceSize) {
      EXPECT_FALSE(std::filesystem::exists(dataDir / kFirstName));
      EXPECT_TRUE(std::filesystem::exists(dataDir / (std::string(kFirstName) + ".part")));
      ++checks;
    }
  };
  ASSERT_EQ(Session().LoadLog("").end, LoadLogEnd::kComplete);
  EXPECT_EQ(checks, 96);
  EXPECT_EQ(FilesInDataDir(), std::vector<std::string>{kFirstName});
}

TEST_F(DownloadTest, OneLostIdentityOrVersionReplyIsAskedAgain) {
  logger.memory = BuildMemoryImage(FlightFixes(300), Layout(0, 1, 200));
  int identities = 0, versions = 0;
  logger.fails = [&](const LoggerRequest& r) {
    if (r.kind == LoggerRequest::Identity) return ++identities <= 3;
    if (r.kind == LoggerRequest::Version) return ++versions <= 3;
    return false;
  };
  ASSERT_EQ(Session().LoadLog("").end, LoadLogEnd::kComplete);
  EXPECT_EQ(identities, 4);
  EXPECT_EQ(versions, 4);
  EXPECT_EQ(ReadBytes(dataDir / kFirstName), Expected());
}

TEST_F(DownloadTest, TheCurrentYearIsTakenAtEveryDecodeAtTheDecodesOffset) {
  // Fixes of the first minutes of 2027 UTC, decoded at two offsets by a
  // session that started on 31 December 2026.
  const std::string path = dataDir / "newyear.G00";
  RawFix fix;
  fix.year = 2027, fix.month = 1, fix.day = 1, fix.hour = 0, fix.minute = 5, fix.second = 0;
  fix.latitudeE5 = 4700000, fix.longitudeE5 = 800000;
  std::vector<uint8_t> bytes = ExpectedRawFile(ErasedMemory(), "NY", "ORVL5.1A");
  for (int i = 0; i < 3; ++i, ++fix.second) {
    const auto record = EncodeFixRecord(fix);
    bytes.insert(bytes.end(), record.begin(), record.end());
  }
  WriteBytes(path, bytes);
  std::time_t now = SecondsFromCivil({2026, 12, 31, 23, 0, 0});
  DownloadSession session(DownloadSessionSetup{logger, lookup, view, table, dataDir.path(), TimeBasis{0, 2026},
                                               [] { return DownloadTime(); }, [&now] { return now; }});
  session.LoadLog(path);
  EXPECT_EQ(table.pointCount, 0) << "2027 has not begun yet";
  now = SecondsFromCivil({2027, 1, 1, 0, 30, 0});
  session.LoadLog(path);
  EXPECT_EQ(table.pointCount, 3) << "the same session, after midnight";
}

TEST_F(DownloadTest, TheFasterRateIsAskedForAndALoggerThatDoesNotConfirmItIsDownloadedAtTheUsualOne) {
  logger.memory = BuildMemoryImage(FlightFixes(300), Layout(0, 1, 200));
  downloadRate = kFastDownloadRate;
  ASSERT_EQ(Session().LoadLog("").end, LoadLogEnd::kComplete);
  EXPECT_EQ(logger.Rates(), (std::vector<uint32_t>{115200, 9600}));

  // An older logger: no switch to 115200; the usual switch, and one line saying so.
  logger.fails = [](const LoggerRequest& r) { return r.kind == LoggerRequest::Rate && r.rate == kFastDownloadRate; };
  logger.requests.clear();
  view.statusTexts.clear();
  Session().ForgetLastLogger();
  ASSERT_EQ(Session().LoadLog("").end, LoadLogEnd::kComplete);
  EXPECT_EQ(logger.Rates(), (std::vector<uint32_t>{115200, 57600, 9600}));
  EXPECT_EQ(std::count(view.statusTexts.begin(), view.statusTexts.end(),
                       "The logger did not confirm 115200 bit/s; downloading at 57600 bit/s"),
            1);
  EXPECT_EQ(ReadBytes(dataDir / "00000012345-20070410-153013.G00"), Expected());
}

// A logger left at a download rate (the program killed mid-download, the
// power gone) answers no probe at 9600; it is found where it is, downloaded,
// and put back.
TEST_F(DownloadTest, ALoggerLeftAtADownloadRateIsFoundThereAndPutBack) {
  for (const uint32_t leftAt : {kDownloadRate, kFastDownloadRate}) {
    SCOPED_TRACE(leftAt);
    StartOver();
    logger.memory = BuildMemoryImage(FlightFixes(300), Layout(0, 1, 200));
    logger.listensAt = leftAt;
    EXPECT_TRUE(Session().PollOnce());
    EXPECT_EQ(Session().lastResult().end, LoadLogEnd::kComplete);
    EXPECT_EQ(ReadBytes(dataDir / kFirstName), Expected());
    const std::string found = "Found 00000012345 at " + std::to_string(leftAt) + " bit/s";
    EXPECT_EQ(view.statusText, found) << "still there once the log is shown";
    EXPECT_EQ(logger.listensAt, 9600u);
  }
}

// A switch nobody confirmed is no rate to download at: the download tries
// again, or ends before it makes a file, and leaves the logger where the
// next probe finds it.
TEST_F(DownloadTest, ADownloadGoesOnlyAtARateTheLoggerConfirmed) {
  struct Case {
    uint32_t asked;
    int lostSwitches;
    LoadLogEnd end;
  };
  for (const Case& c : {Case{kDownloadRate, 1, LoadLogEnd::kComplete}, Case{kFastDownloadRate, 2, LoadLogEnd::kComplete},
                        Case{kDownloadRate, 3, LoadLogEnd::kNoRate}, Case{kFastDownloadRate, 3, LoadLogEnd::kNoRate}}) {
    SCOPED_TRACE(std::to_string(c.asked) + ", lost " + std::to_string(c.lostSwitches));
    StartOver();
    downloadRate = c.asked;
    logger.memory = BuildMemoryImage(FlightFixes(300), Layout(0, 1, 200));
    int lost = 0;
    logger.fails = [&](const LoggerRequest& r) { return r.kind == LoggerRequest::Rate && lost++ < c.lostSwitches; };
    EXPECT_TRUE(Session().PollOnce());
    EXPECT_EQ(Session().lastResult().end, c.end);
    EXPECT_EQ(FilesInDataDir().size(), c.end == LoadLogEnd::kComplete ? 1u : 0u);
    EXPECT_EQ(logger.Rates().back(), 9600u);
    if (c.end == LoadLogEnd::kNoRate) {
      Session().PollOnce();
      EXPECT_EQ(Session().lastResult().end, LoadLogEnd::kComplete) << "the next poll";
    }
  }
}

TEST_F(DownloadTest, ALoggerAnotherStationIsDownloadingIsLeftAloneUntilThatDownloadIsOver) {
  logger.memory = BuildMemoryImage(FlightFixes(300), Layout(0, 1, 200));
  LoggerClaims shared;
  claims = &shared;
  ASSERT_TRUE(shared.Claim("00000012345", "COM2"));

  EXPECT_EQ(Session().LoadLog("").end, LoadLogEnd::kBusyElsewhere);
  EXPECT_EQ(view.statusText, "Logger 00000012345 is being downloaded on COM2");
  EXPECT_EQ(logger.CountOf(LoggerRequest::Read), 0);
  EXPECT_EQ(logger.Rates().back(), 9600u);  // put back for the next probe
  EXPECT_TRUE(FilesInDataDir().empty());
  EXPECT_TRUE(view.started.empty());

  shared.Release("00000012345", "COM2");
  ASSERT_EQ(Session().LoadLog("").end, LoadLogEnd::kComplete);
  // The claim went with the download; a logger without a serial is never refused.
  EXPECT_TRUE(shared.Claim("00000012345", "COM2"));
  EXPECT_TRUE(shared.Claim("", "COM3"));
}

}  // namespace
}  // namespace orvald::testing
