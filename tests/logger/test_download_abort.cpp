// The Escape key during a download: the question between pieces, the
// answers, and the places where it ends the download without asking.

#include <gtest/gtest.h>

#include "logger/download_fixture.h"
#include "tracklog/raw_file_name.h"

namespace orvald::testing {
namespace {

MemoryLayout TwoPagesPerBlock() {
  MemoryLayout layout;
  layout.recordsPerBlock = 400;  // 7232 bytes: 2 pages, 64 pieces
  return layout;
}

class DownloadAbortTest : public DownloadTest {
 protected:
  // A log decoded before, to show that an aborted download leaves it alone.
  void LoadPreviousLog() {
    const std::string previous = dataDir / "previous.dat";
    WriteBytes(previous, ExpectedRawFile(BuildMemoryImage(FlightFixes(500, 100)), "PREV", "ORVL4.2x"));
    ASSERT_EQ(Session().LoadLog(previous).end, LoadLogEnd::kOpened);
    ASSERT_EQ(table.pointCount, 500);
    std::filesystem::remove(previous);
    view.statusTexts.clear();
  }

  void PressEscapeBeforePiece(int n) {
    view.onProcessEvents = [this, n] {
      if (++piecesSeen == n) Session().RequestCancel();
    };
  }
  int piecesSeen = 0;
};

TEST_F(DownloadAbortTest, EscapeAnsweredNoGoesOnToACompleteFile) {
  logger.memory = BuildMemoryImage(FlightFixes(1200), TwoPagesPerBlock());
  PressEscapeBeforePiece(70);
  view.scripted.answers = {PromptAnswer::kNo};

  const LoadLogResult result = Session().LoadLog("");

  EXPECT_EQ(result.end, LoadLogEnd::kComplete);
  ASSERT_EQ(view.scripted.asked.size(), 1u);
  EXPECT_EQ(view.scripted.asked[0].caption, "Logger Download");
  EXPECT_EQ(view.scripted.asked[0].text, " Cancel downloading?");
  EXPECT_EQ(view.scripted.asked[0].buttons, PromptButtons::kYesNo);
  EXPECT_EQ(ReadBytes(dataDir / kFirstName), Expected());
  EXPECT_FALSE(Session().cancelRequested());
  EXPECT_EQ(view.progressPosition, 3 * 64);
}

TEST_F(DownloadAbortTest, EscapeAnsweredYesDeletesTheFileAndKeepsThePreviousLog) {
  LoadPreviousLog();
  const auto rowsBefore = view.rows;
  const int resetsBefore = view.gridResets;
  logger.memory = BuildMemoryImage(FlightFixes(1200), TwoPagesPerBlock());
  PressEscapeBeforePiece(70);
  view.scripted.answers = {PromptAnswer::kYes};
  int readsAfterQuestion = -1;
  view.scripted.onAsk = [&] { readsAfterQuestion = logger.CountOf(LoggerRequest::Read); };

  const LoadLogResult result = Session().LoadLog("");

  EXPECT_EQ(result.end, LoadLogEnd::kAborted);
  EXPECT_EQ(logger.CountOf(LoggerRequest::Read), readsAfterQuestion) << "a piece was read after Yes";
  EXPECT_TRUE(FilesInDataDir().empty());  // neither the file nor its ".part"
  EXPECT_EQ(view.statusText, "Downloading aborted!");
  EXPECT_FALSE(Session().cancelRequested());
  EXPECT_EQ(view.fileCaption, "");
  EXPECT_FALSE(view.progressShown);
  EXPECT_FALSE(view.hourglass);
  EXPECT_EQ(view.beeps, 1);
  EXPECT_EQ(logger.Rates().back(), 9600u);
  // The table, the grid and the identity still describe the earlier log.
  EXPECT_EQ(table.pointCount, 500);
  EXPECT_EQ(table.serialText, "PREV");
  EXPECT_EQ(view.gridResets, resetsBefore);
  EXPECT_EQ(view.rows, rowsBefore);
  // The logger stays the last one seen: the next poll does not start over.
  EXPECT_EQ(Session().lastSerialText(), "00000012345");
}

TEST_F(DownloadAbortTest, EscapeDuringTheLastPieceOfABlockEndsWithoutAQuestion) {
  logger.memory = BuildMemoryImage(FlightFixes(1200), TwoPagesPerBlock());
  // The window sees the key while the link waits for the last piece of the second block.
  logger.onRequest = [this](const LoggerRequest& r) {
    if (r.kind == LoggerRequest::Read && r.block == 1 && r.offset == 63 * kPieceSize) Session().RequestCancel();
  };

  const LoadLogResult result = Session().LoadLog("");

  EXPECT_EQ(result.end, LoadLogEnd::kAborted);
  EXPECT_TRUE(view.scripted.asked.empty());
  EXPECT_EQ(result.piecesRead, 128);
  EXPECT_EQ(BlocksDownloaded(), (std::vector<int>{0, 1}));
  EXPECT_TRUE(FilesInDataDir().empty());
  EXPECT_EQ(view.statusText, "Downloading aborted!");
}

TEST_F(DownloadAbortTest, AStationStoppedFromOutsideKeepsWhatArrivedAsIncomplete) {
  logger.memory = BuildMemoryImage(FlightFixes(1200), TwoPagesPerBlock());
  logger.onRequest = [this](const LoggerRequest& r) {
    if (r.kind == LoggerRequest::Read && r.block == 1 && r.offset == 63 * kPieceSize) {
      Session().cancellation().Request(CancelKeeps::kWhatArrived);
    }
  };

  const LoadLogResult result = Session().LoadLog("");

  EXPECT_EQ(result.end, LoadLogEnd::kReadError);
  EXPECT_EQ(result.reason, "the station was stopped before the end");
  EXPECT_EQ(result.piecesRead, 128);
  EXPECT_EQ(FilesInDataDir(), std::vector<std::string>{IncompleteRawFileName(kFirstName)});
  EXPECT_FALSE(Session().cancelRequested());
}

TEST_F(DownloadAbortTest, EscapeWhileTheLoggerIsAskedWhoItIsEndsThePollNotADownload) {
  LoadPreviousLog();
  logger.memory = BuildMemoryImage(FlightFixes(1200), TwoPagesPerBlock());
  bool pressed = false;
  logger.onRequest = [&](const LoggerRequest& r) {
    if (r.kind == LoggerRequest::Identity && !pressed) {
      pressed = true;
      Session().RequestCancel();
    }
  };

  LoadLogResult result = Session().LoadLog("");

  EXPECT_EQ(result.end, LoadLogEnd::kNotBegun);
  EXPECT_EQ(logger.CountOf(LoggerRequest::Read), 0);
  EXPECT_TRUE(FilesInDataDir().empty()) << "no file of a logger that did not say who it is";
  EXPECT_TRUE(view.started.empty());
  EXPECT_EQ(table.serialText, "PREV");  // the flight on show stays
  EXPECT_FALSE(Session().cancelRequested());
  // The next poll downloads it as usual.
  result = Session().LoadLog("");
  EXPECT_EQ(result.end, LoadLogEnd::kComplete);
}

TEST_F(DownloadAbortTest, EscapeDuringTheHeaderScanEndsBeforeAnyPiece) {
  logger.memory = BuildMemoryImage(FlightFixes(1200), TwoPagesPerBlock());
  logger.onRequest = [this](const LoggerRequest& r) {
    if (r.kind == LoggerRequest::Read && r.block == 5) Session().RequestCancel();
  };

  const LoadLogResult result = Session().LoadLog("");

  EXPECT_EQ(result.end, LoadLogEnd::kAborted);
  EXPECT_TRUE(view.scripted.asked.empty());
  EXPECT_EQ(logger.CountOf(LoggerRequest::Read), 6);  // headers 0 to 5, then the scan stops
  EXPECT_TRUE(FilesInDataDir().empty());
}

TEST_F(DownloadAbortTest, EscapeWhileIdleDoesNotSpoilFileOpen) {
  const std::string saved = dataDir / "saved.G00";
  WriteBytes(saved, ExpectedRawFile(BuildMemoryImage(FlightFixes(500, 100)), "00000012345", "ORVL5.1A"));
  Session().RequestCancel();

  EXPECT_EQ(Session().LoadLog(saved).end, LoadLogEnd::kOpened);
  EXPECT_TRUE(std::filesystem::exists(saved));
  EXPECT_EQ(table.pointCount, 500);
  EXPECT_EQ(view.rowCount, 6);
}

TEST_F(DownloadAbortTest, AbortFlagLeftFromIdleIsClearedWhenTheDownloadStarts) {
  logger.memory = BuildMemoryImage(FlightFixes(400), TwoPagesPerBlock());
  Session().RequestCancel();
  EXPECT_EQ(Session().LoadLog("").end, LoadLogEnd::kComplete);
  EXPECT_TRUE(view.scripted.asked.empty());
  EXPECT_EQ(ReadBytes(dataDir / kFirstName), Expected());
}

TEST_F(DownloadAbortTest, EscapeDuringARetriedReadIsSeenBeforeTheNextAttempt) {
  // A piece that fails: the key pressed while its first attempt waits stops
  // the attempts there instead of after all four.
  logger.memory = BuildMemoryImage(FlightFixes(1200), TwoPagesPerBlock());
  logger.fails = [](const LoggerRequest& r) { return r.kind == LoggerRequest::Read && r.count == kPieceSize && r.offset == 5 * kPieceSize; };
  logger.onRequest = [this](const LoggerRequest& r) {
    if (r.kind == LoggerRequest::Read && r.offset == 5 * kPieceSize) Session().RequestCancel();
  };
  view.scripted.answers = {PromptAnswer::kYes};

  const LoadLogResult result = Session().LoadLog("");

  EXPECT_EQ(result.end, LoadLogEnd::kAborted);
  int attempts = 0;
  for (const auto& r : logger.requests) attempts += r.kind == LoggerRequest::Read && r.offset == 5 * kPieceSize;
  EXPECT_EQ(attempts, 1);
  ASSERT_EQ(view.scripted.asked.size(), 1u);
  EXPECT_EQ(view.scripted.asked[0].text, " Cancel downloading?");
  EXPECT_TRUE(FilesInDataDir().empty());
}

}  // namespace
}  // namespace orvald::testing
