// A logger that stops answering, and files that cannot be made or written:
// what the operator is told and what stays on disk.

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <tuple>

#include "logger/download_fixture.h"
#include "tracklog/raw_file_name.h"
#include "tracklog/raw_image.h"

namespace orvald::testing {
namespace {

MemoryLayout TwoPagesPerBlock() {
  MemoryLayout layout;
  layout.recordsPerBlock = 400;  // 7232 bytes: 2 pages, 64 pieces, 8160 bytes in the file
  return layout;
}
constexpr size_t kBlockInFile = 2 * 4096 - 32;

bool IsPiece(const LoggerRequest& r) { return r.kind == LoggerRequest::Read && r.count == kPieceSize; }
bool IsHeader(const LoggerRequest& r) { return r.kind == LoggerRequest::Read && r.count == kBlockHeaderSize; }

std::vector<uint8_t> Prefix(const std::vector<uint8_t>& bytes, size_t size) {
  return std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(std::min(size, bytes.size())));
}

class DownloadErrorTest : public DownloadTest {
 protected:
  void SetUp() override { logger.memory = BuildMemoryImage(FlightFixes(1200), TwoPagesPerBlock()); }

  void ExpectReadErrorReported() {
    ASSERT_EQ(view.scripted.asked.size(), 1u);
    EXPECT_EQ(view.scripted.asked[0].caption, "Logger Download");
    EXPECT_EQ(view.scripted.asked[0].text, " Error reading from logger");
    EXPECT_EQ(view.scripted.asked[0].buttons, PromptButtons::kOk);
  }
};

TEST_F(DownloadErrorTest, PieceFailingFourTimesEndsWithAPartialDecodedFile) {
  logger.fails = [](const LoggerRequest& r) { return IsPiece(r) && r.block == 1 && r.offset == 10 * kPieceSize; };

  const LoadLogResult result = Session().LoadLog("");

  EXPECT_EQ(result.end, LoadLogEnd::kReadError);
  ExpectReadErrorReported();
  int attempts = 0;
  for (const auto& r : logger.requests) attempts += IsPiece(r) && r.block == 1 && r.offset == 10 * kPieceSize;
  EXPECT_EQ(attempts, 4);
  EXPECT_EQ(logger.CountOf(LoggerRequest::Read), 32 + 1 + 64 + 1 + 10 + 4) << "read on after the error";
  // Block 0 whole, then block 1's first ten pieces.
  const size_t kept = 32 + kBlockInFile + 96 + 9 * 128;
  // Kept under a name that says so, never one that looks complete.
  EXPECT_EQ(result.path, dataDir / kIncompleteName);
  EXPECT_EQ(ReadBytes(result.path), Prefix(Expected(), kept));
  EXPECT_EQ(FilesInDataDir(), std::vector<std::string>{kIncompleteName});
  EXPECT_EQ(result.reason, "the logger stopped answering at block 1, piece 11 of 64");
  // Decoded as usual: block 0's 400 records and the 69 whole ones of block 1.
  EXPECT_EQ(table.pointCount, 400 + (96 + 9 * 128) / 18);
  EXPECT_EQ(view.rowCount, 2);
  EXPECT_EQ(view.rows.size(), 1u);
  EXPECT_EQ(view.statusText, std::string("Download incomplete (the logger stopped answering at block 1, piece 11 of "
                                         "64): ") + kIncompleteName);
  EXPECT_EQ(view.fileCaption, kIncompleteName);
  EXPECT_EQ(view.identification[0], "007");
  EXPECT_EQ(logger.Rates().back(), 9600u);
  EXPECT_EQ(view.beeps, 1);
  // Not taken as this logger's download: the next poll downloads it again.
  EXPECT_EQ(Session().lastSerialText(), "");
}

TEST_F(DownloadErrorTest, PieceAnsweringOnTheFourthAttemptIsKept) {
  std::map<int, int> failures;
  logger.fails = [&](const LoggerRequest& r) {
    return IsPiece(r) && r.offset == 5 * kPieceSize && ++failures[r.block] <= 3;
  };
  EXPECT_EQ(Session().LoadLog("").end, LoadLogEnd::kComplete);
  EXPECT_TRUE(view.scripted.asked.empty());
  EXPECT_EQ(ReadBytes(dataDir / kFirstName), Expected());
}

TEST_F(DownloadErrorTest, FailedReadIsRetriedAsItsStatusSays) {
  // A lost or garbled reply and a line gone leave the logger in doubt: it is
  // asked who it is before the retry. A cancelled read is no retry at all:
  // the operator is asked at once, and going on asks the logger nothing more.
  const struct {
    LineStatus status;
    int identityQueries, questions;
  } cases[] = {{LineStatus::kTimeout, 2, 0}, {LineStatus::kProtocolError, 2, 0}, {LineStatus::kHangUp, 2, 0},
               {LineStatus::kIoError, 2, 0}, {LineStatus::kCancelled, 1, 1}};
  for (const auto& c : cases) {
    session.reset();
    logger = FakeLogger{};
    logger.memory = BuildMemoryImage(FlightFixes(1200), TwoPagesPerBlock());
    view = RecordingView{};
    bool failed = false;
    logger.failedReadStatus = c.status;
    logger.fails = [&](const LoggerRequest& r) {
      if (failed || !IsPiece(r) || r.block != 1 || r.offset != 5 * kPieceSize) return false;
      if (c.status == LineStatus::kCancelled) Session().cancellation().Request();
      return failed = true;
    };
    EXPECT_EQ(Session().LoadLog("").end, LoadLogEnd::kComplete) << static_cast<int>(c.status);
    EXPECT_EQ(logger.CountOf(LoggerRequest::Identity), c.identityQueries) << static_cast<int>(c.status);
    EXPECT_EQ(view.scripted.asked.size(), static_cast<size_t>(c.questions)) << static_cast<int>(c.status);
  }
}

TEST_F(DownloadErrorTest, HeaderFailingInThePassEndsWithTheBlocksReadSoFar) {
  std::map<int, int> headerReads;
  logger.fails = [&](const LoggerRequest& r) { return IsHeader(r) && r.block == 2 && ++headerReads[2] > 1; };

  const LoadLogResult result = Session().LoadLog("");

  EXPECT_EQ(result.end, LoadLogEnd::kReadError);
  ExpectReadErrorReported();
  EXPECT_EQ(headerReads[2], 1 + 4);  // the scan's read, then four attempts in the pass
  EXPECT_EQ(result.reason, "the logger stopped answering at the header of block 2");
  EXPECT_EQ(ReadBytes(dataDir / kIncompleteName), Prefix(Expected(), 32 + 2 * kBlockInFile));
  EXPECT_EQ(table.pointCount, 800);
}

TEST_F(DownloadErrorTest, HeaderUnreadableInTheScanLeavesItsBlockOutAndTheDownloadIncomplete) {
  logger.fails = [](const LoggerRequest& r) { return IsHeader(r) && r.block == 1; };

  const LoadLogResult result = Session().LoadLog("");

  EXPECT_EQ(result.end, LoadLogEnd::kReadError);
  EXPECT_TRUE(view.scripted.asked.empty()) << "the scan passes over the block without a message";
  int block1Reads = 0;
  for (const auto& r : logger.requests) block1Reads += IsHeader(r) && r.block == 1;
  EXPECT_EQ(block1Reads, 4);
  EXPECT_EQ(BlocksDownloaded(), (std::vector<int>{0, 2}));
  // Blocks 0 and 2 in the file, block 1 left out.
  const std::vector<uint8_t> expected = Expected();
  std::vector<uint8_t> withoutBlock1 = Prefix(expected, 32 + kBlockInFile);
  withoutBlock1.insert(withoutBlock1.end(), expected.begin() + 32 + 2 * kBlockInFile, expected.end());
  EXPECT_EQ(ReadBytes(result.path), withoutBlock1);
  EXPECT_EQ(result.path, dataDir / kIncompleteName);
  EXPECT_EQ(result.reason, "the logger did not give the header of block 1; a block may be missing");
  EXPECT_EQ(table.pointCount, 800);
  EXPECT_EQ(Session().lastSerialText(), "");
}

TEST_F(DownloadErrorTest, HeaderAnsweringOnTheFourthAttemptInTheScanIsUsed) {
  std::map<int, int> failures;
  logger.fails = [&](const LoggerRequest& r) { return IsHeader(r) && ++failures[r.block] <= 3; };
  EXPECT_EQ(Session().LoadLog("").end, LoadLogEnd::kComplete);
  EXPECT_EQ(ReadBytes(dataDir / kFirstName), Expected());
}

TEST_F(DownloadErrorTest, HangUpMidDownloadKeepsAndDecodesWhatArrived) {
  int pieces = 0;
  logger.onRequest = [&](const LoggerRequest& r) {
    if (IsPiece(r) && ++pieces == 100) logger.present = false;
  };

  const LoadLogResult result = Session().LoadLog("");

  EXPECT_EQ(result.end, LoadLogEnd::kReadError);
  ExpectReadErrorReported();
  EXPECT_EQ(result.piecesRead, 99);
  EXPECT_EQ(ReadBytes(dataDir / kIncompleteName), Prefix(Expected(), 32 + kBlockInFile + 96 + 34 * 128));
  EXPECT_GT(table.pointCount, 400);
  EXPECT_EQ(view.fileCaption, kIncompleteName);

  // Plugged in again: downloaded again at the next poll, complete this time.
  logger.present = true;
  logger.onRequest = nullptr;
  Session().PollOnce();
  EXPECT_EQ(Session().lastResult().end, LoadLogEnd::kComplete);
  EXPECT_EQ(ReadBytes(Session().lastResult().path), Expected());
  EXPECT_EQ(Session().lastSerialText(), "00000012345");
}

// A cable pulled and another logger plugged into the same port: the
// download ends as incomplete without a byte of the other logger, which is
// downloaded on its own at the next poll.
TEST_F(DownloadErrorTest, AnotherLoggerOnThePortIsNeverTakenForTheFirst) {
  struct Case {
    const char* how;
    int quietRequests;  // how long the port hears nobody
    bool reopened;      // whether the port hung up and was opened again
  };
  const std::vector<uint8_t> first = BuildMemoryImage(FlightFixes(1200), TwoPagesPerBlock());
  MemoryLayout otherLayout = TwoPagesPerBlock();
  otherLayout.startBlock = 7;
  const std::vector<uint8_t> second = BuildMemoryImage(FlightFixes(900), otherLayout);
  for (const Case& c : {Case{"the adapter stays plugged in", 3, false}, Case{"reopened at once", 0, true},
                        Case{"reopened after a pause", 2, true}}) {
    SCOPED_TRACE(c.how);
    StartOver();
    logger.serialText = "00000012345";
    logger.memory = first;
    const std::vector<uint8_t> expectedFirst = Expected();
    int pieces = 0;
    int quiet = 0;
    logger.fails = [&](const LoggerRequest&) { return quiet > 0 && quiet-- > 0; };
    logger.onRequest = [&](const LoggerRequest& r) {
      if (!IsPiece(r) || ++pieces != 100) return;
      quiet = c.quietRequests;
      logger.serialText = "00000067890";
      logger.memory = second;
      if (c.reopened) ++logger.lineOpens;
    };

    const LoadLogResult result = Session().LoadLog("");
    EXPECT_EQ(result.end, LoadLogEnd::kOtherLogger);
    EXPECT_EQ(result.reason, "another logger answered: 00000067890");
    EXPECT_EQ(result.path, dataDir / kIncompleteName);
    const std::vector<uint8_t> kept = ReadBytes(result.path);
    EXPECT_EQ(kept, Prefix(expectedFirst, kept.size()));
    EXPECT_EQ(result.piecesRead, 99);

    logger.onRequest = nullptr;
    Session().PollOnce();
    EXPECT_EQ(Session().lastResult().end, LoadLogEnd::kComplete);
    EXPECT_EQ(std::filesystem::path(Session().lastResult().path).filename(), "00000067890-20070410-153013.G00");
    EXPECT_EQ(ReadBytes(Session().lastResult().path), Expected());
  }
}

TEST_F(DownloadErrorTest, MissingDataDirectoryIsReportedAndRetriedOnTheNextPoll) {
  std::filesystem::remove_all(dataDir.path());

  Session().PollOnce();

  EXPECT_EQ(Session().lastResult().end, LoadLogEnd::kCannotCreate);
  ASSERT_EQ(view.scripted.asked.size(), 1u);
  const AskedQuestion& message = view.scripted.asked[0];
  EXPECT_EQ(message.caption, "Logger Download");
  EXPECT_EQ(message.buttons, PromptButtons::kOk);
  EXPECT_NE(message.text.find("00000012345-20070410-153012.G00"), std::string::npos) << message.text;
  EXPECT_NE(message.text.find(std::strerror(ENOENT)), std::string::npos) << message.text;
  EXPECT_EQ(Session().lastSerialText(), "");
  EXPECT_FALSE(view.hourglass);
  EXPECT_EQ(logger.CountOf(LoggerRequest::Read), 0);
  EXPECT_EQ(logger.Rates(), (std::vector<uint32_t>{57600, 9600}));

  // Once the folder is back, the next poll downloads the same logger.
  std::filesystem::create_directory(dataDir.path());
  Session().PollOnce();
  EXPECT_EQ(Session().lastResult().end, LoadLogEnd::kComplete);
  EXPECT_EQ(ReadBytes(Session().lastResult().path), Expected());
  EXPECT_EQ(Session().lastSerialText(), "00000012345");
}

TEST_F(DownloadErrorTest, ReadOnlyDataDirectoryIsReported) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  ASSERT_EQ(chmod(dataDir.path().c_str(), 0555), 0);
  const LoadLogResult result = Session().LoadLog("");
  chmod(dataDir.path().c_str(), 0755);
  EXPECT_EQ(result.end, LoadLogEnd::kCannotCreate);
  ASSERT_EQ(view.scripted.asked.size(), 1u);
  EXPECT_NE(view.scripted.asked[0].text.find(std::strerror(EACCES)), std::string::npos);
  EXPECT_EQ(Session().lastSerialText(), "");
}

// The file-size limit makes the kernel refuse writes past a size, as a full disk does.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit limited = previous_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit previous_{};
  void (*previousHandler_)(int);
};

TEST_F(DownloadErrorTest, FullDiskStopsTheDownloadKeepsWhatWasWrittenAndSaysItIsIncomplete) {
  const size_t limit = 32 + kBlockInFile + 5000;
  LoadLogResult result;
  {
    FileSizeLimit full(limit);
    result = Session().LoadLog("");
  }

  EXPECT_EQ(result.end, LoadLogEnd::kWriteError);
  EXPECT_EQ(result.path, dataDir / kIncompleteName);
  EXPECT_FALSE(std::filesystem::exists(dataDir / kFirstName)) << "an incomplete file under the final name";
  EXPECT_EQ(FilesInDataDir(), std::vector<std::string>{kIncompleteName});
  EXPECT_EQ(ReadBytes(result.path), Prefix(Expected(), limit));
  // Stopped at the failing piece.
  EXPECT_EQ(result.piecesRead, 64 + 1 + (5000 - 96) / 128);
  EXPECT_LE(logger.CountOf(LoggerRequest::Read), 32 + 2 + 64 + 40);
  ASSERT_EQ(view.scripted.asked.size(), 1u);
  EXPECT_EQ(view.scripted.asked[0].caption, "Logger Download");
  EXPECT_NE(view.scripted.asked[0].text.find(std::strerror(EFBIG)), std::string::npos) << view.scripted.asked[0].text;
  EXPECT_NE(view.scripted.asked[0].text.find("incomplete"), std::string::npos);
  EXPECT_EQ(view.statusText.rfind("Download incomplete (can't write ", 0), 0u) << view.statusText;
  EXPECT_NE(view.statusText.find(std::string("): ") + kIncompleteName), std::string::npos) << view.statusText;
  EXPECT_EQ(view.fileCaption, kIncompleteName);
  EXPECT_GT(table.pointCount, 400);  // what was written is decoded
  EXPECT_EQ(logger.Rates().back(), 9600u);
}

TEST_F(DownloadErrorTest, FullDiskBeforeTheHeaderStillEndsCleanly) {
  LoadLogResult result;
  {
    FileSizeLimit full(10);
    result = Session().LoadLog("");
    // Still full at the next poll: tried again, said once.
    EXPECT_EQ(Session().LoadLog("").end, LoadLogEnd::kCannotCreate);
  }
  // Nothing of the flight could be kept, so no file claims to hold any of it.
  EXPECT_EQ(result.end, LoadLogEnd::kCannotCreate);
  EXPECT_EQ(logger.CountOf(LoggerRequest::Read), 0);
  EXPECT_TRUE(FilesInDataDir().empty());
  EXPECT_TRUE(view.started.empty()) << "no download began";
  EXPECT_EQ(view.scripted.asked.size(), 1u);
  EXPECT_FALSE(view.hourglass);
  EXPECT_FALSE(view.progressShown);
}

// A folder that refused a download is looked at (for the room the download
// planned) before the next polls read the logger: while it fails they end
// with no file and no new box; once it passes, downloads go on (a change of
// folder is the window test's).
TEST_F(DownloadErrorTest, AFailedFolderIsCheckedBeforeTheLoggerIsReadAgain) {
  logger.memory = BuildMemoryImage(FlightFixes(4800), TwoPagesPerBlock());  // 12 blocks
  std::string problem = "/d: 12 bytes free";
  std::vector<uint64_t> asked;
  DownloadSessionSetup setup{logger, lookup, view, table, dataDir.path(), TimeBasis{0, 2026},
                             [this] { return DownloadTime(clockTicks++); }};
  setup.folderCheck = [&](const std::string&, uint64_t needed) { return asked.push_back(needed), problem; };
  DownloadSession folderSession(std::move(setup));
  auto failedDownload = [&] {
    FileSizeLimit full(32 + 3000);
    EXPECT_EQ(folderSession.LoadLog("").end, LoadLogEnd::kWriteError);
  };
  failedDownload();
  const std::vector<std::string> filesAfterFailure = FilesInDataDir();
  const size_t requestsAfterFailure = logger.requests.size();
  view.statusText.clear();
  EXPECT_EQ(folderSession.LoadLog("").end, LoadLogEnd::kFolderUnusable);
  EXPECT_EQ(asked, std::vector<uint64_t>{32 + 12 * 64 * kPieceSize});
  EXPECT_EQ(logger.requests.size(), requestsAfterFailure) << "the logger was read into a failed folder";
  EXPECT_EQ(FilesInDataDir(), filesAfterFailure);
  ASSERT_EQ(view.scripted.asked.size(), 1u);
  EXPECT_EQ(view.statusText, view.scripted.asked[0].text);
  problem.clear();  // room again
  EXPECT_EQ(folderSession.LoadLog("").end, LoadLogEnd::kComplete);
  EXPECT_EQ(asked.size(), 2u);
}

TEST(FolderRoom, WritePermissionAndFreeRoomAreLookedAt) {
  TempDir dir;
  EXPECT_EQ(CheckFolderRoom(dir.path(), 1), "");
  EXPECT_NE(CheckFolderRoom(dir.path(), UINT64_MAX).find("bytes free"), std::string::npos);
}

// Every request of a small download fails in turn, once or for good (a
// pulled cable): however it ends, the logger is put back to 9600, the view
// is idle, no temporary file is left, and the file is whole or named incomplete.
class FaultSweepTest : public DownloadTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FaultSweepTest, EveryRequestFailingLeavesTheLineTheViewAndTheFilesInOrder) {
  const bool forGood = GetParam();
  const std::vector<uint8_t> memory = BuildMemoryImage(FlightFixes(300), TwoPagesPerBlock());
  int requestsOfAWholeDownload = 0;
  {
    FakeLogger probe;
    probe.memory = memory;
    TempDir dir;
    RecordingView quiet;
    DownloadSession session(DownloadSessionSetup{probe, lookup, quiet, table, dir.path(), TimeBasis{0, 2026},
                                                 [] { return DownloadTime(); }});
    ASSERT_EQ(session.LoadLog("").end, LoadLogEnd::kComplete);
    requestsOfAWholeDownload = static_cast<int>(probe.requests.size());
  }
  for (int k = 0; k < requestsOfAWholeDownload; ++k) {
    TempDir dir;
    FakeLogger faulty;
    faulty.memory = memory;
    int seen = 0;
    faulty.fails = [&](const LoggerRequest&) { return forGood ? seen++ >= k : seen++ == k; };
    RecordingView sweepView;
    DownloadSession session(DownloadSessionSetup{faulty, lookup, sweepView, table, dir.path(), TimeBasis{0, 2026},
                                                 [] { return DownloadTime(); }});
    const LoadLogResult result = session.LoadLog("");
    SCOPED_TRACE("request " + std::to_string(k) + (forGood ? " and all after it" : " alone"));
    ASSERT_FALSE(faulty.Rates().empty());
    EXPECT_EQ(faulty.Rates().back(), 9600u);
    EXPECT_FALSE(sweepView.hourglass);
    EXPECT_FALSE(sweepView.progressShown);
    EXPECT_EQ(sweepView.ended, 1);
    const std::vector<uint8_t> expected = ExpectedRawFile(memory, faulty.serialText, faulty.versionText);
    for (const std::string& name : TempDir::EntriesOf(dir.path())) {
      EXPECT_EQ(name.find(".part"), std::string::npos) << name;
      const std::vector<uint8_t> file = ReadBytes(dir / name);
      // The blocks' bytes are the logger's, in order (the identity in the
      // header may be blank when its replies were lost for good).
      ASSERT_GE(file.size(), 32u);
      ASSERT_LE(file.size(), expected.size());
      EXPECT_TRUE(std::equal(file.begin() + 32, file.end(), expected.begin() + 32)) << name;
      if (IsIncompleteRawFileName(name)) {
        EXPECT_TRUE(result.incomplete()) << name;
      } else {
        EXPECT_EQ(result.end, LoadLogEnd::kComplete) << name;
        EXPECT_EQ(file.size(), expected.size()) << name;
      }
    }
    if (!forGood) {
      EXPECT_EQ(result.end, LoadLogEnd::kComplete) << "one lost reply is retried";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(LostOnceOrForGood, FaultSweepTest, ::testing::Bool());

}  // namespace
}  // namespace orvald::testing
