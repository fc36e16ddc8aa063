// LoadLog and the detection cycle against orvald-sim on a pseudo-terminal,
// over the real link and command set. The simulator writes the raw file a
// complete download of its memory must produce (--expect-g00) and its memory
// (--dump-memory); the downloaded file is compared with them byte for byte.
//
// Request numbers in --fault drop=@N count what the logger received: the
// probe is 1, the rate switch 2 and 3, identity 4, version 5, the header scan
// 6 to 37, the start block's header in the pass 38, its pieces from 39.
// After a lost read the logger is asked who it is (identity, version), then
// the replies are put in order (a marker read), then the read goes again:
// each further attempt at a read comes four requests after the one before.

#include <gtest/gtest.h>

#include <memory>

#include "link/link.h"
#include "link/port_names.h"
#include "logger/commands.h"
#include "logger/download_fixture.h"
#include "support/silent_terminal.h"
#include "support/sim_process.h"

#ifdef ORVALD_SIM_PATH

namespace orvald::testing {
namespace {

using orvald::test::SimProcess;

class SimDownloadTest : public ::testing::Test {
 protected:
  // Starts the simulator with `args` and a session over a link to it.
  void Start(std::vector<std::string> args, const std::string& lastSerialAtStart = "") {
    args.insert(args.end(), {"--expect-g00", work / "expected.G00", "--dump-memory", work / "memory.bin"});
    sim = std::make_unique<SimProcess>(args);
    ASSERT_TRUE(sim->started()) << sim->error();
    link = std::make_unique<Link>(nullptr);
    link->ChoosePort(1);
    link->SetPortResolver(FixedPortResolver(sim->ptyPath()));
    link->SetTranscript([this](const ExchangeRecord&) { ++requests; });
    commands = std::make_unique<LinkLoggerCommands>(*link);
    session = std::make_unique<DownloadSession>(DownloadSessionSetup{
        *commands, lookup, view, table, dataDir.path(), TimeBasis{0, 2026},
        [this] { return DownloadTime(clockTicks++); }, nullptr, lastSerialAtStart});
  }

  std::vector<uint8_t> ExpectedFile() const { return ReadBytes(work / "expected.G00"); }
  std::vector<uint8_t> Memory() const { return ReadBytes(work / "memory.bin"); }
  std::vector<std::string> Downloads() const {
    std::vector<std::string> names;
    for (const std::string& name : dataDir.Entries()) names.push_back(name);
    return names;
  }

  static constexpr const char* kName = "00000012345-20070410-153012.G00";
  static constexpr const char* kIncompleteName = "00000012345-20070410-153012-incomplete.G00";

  TempDir work;
  TempDir dataDir;
  RecordingView view;
  FixedLookup lookup;
  TrackTable table;
  int clockTicks = 0;
  size_t requests = 0;  // exchanges made
  std::unique_ptr<SimProcess> sim;
  std::unique_ptr<Link> link;
  std::unique_ptr<LinkLoggerCommands> commands;
  std::unique_ptr<DownloadSession> session;
};

struct SimLayout {
  const char* name;
  std::vector<std::string> args;
  std::vector<int> blockCaptionTotals;  // "of N" per block caption
  size_t fileSize;                      // 0: do not check
};

class SimLayoutTest : public SimDownloadTest, public ::testing::WithParamInterface<SimLayout> {};

TEST_P(SimLayoutTest, DownloadedFileIsTheExpectedImage) {
  Start(GetParam().args);
  session->PollOnce();

  ASSERT_TRUE(session->lastCycleFoundLogger());
  EXPECT_EQ(session->lastResult().end, LoadLogEnd::kComplete);
  EXPECT_EQ(Downloads(), std::vector<std::string>{kName});
  const std::vector<uint8_t> file = ReadBytes(dataDir / kName);
  EXPECT_EQ(file, ExpectedFile());
  if (GetParam().fileSize != 0) {
    EXPECT_EQ(file.size(), GetParam().fileSize);
  }
  EXPECT_EQ(view.blockCaptions.size(), GetParam().blockCaptionTotals.size());
  EXPECT_EQ(table.serialText, "00000012345");
  EXPECT_EQ(table.typeText, "5.1A");
  EXPECT_TRUE(view.scripted.asked.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SimLayoutTest,
    ::testing::Values(
        SimLayout{"BuiltInFlight", {}, {1}, 0},
        // 1200 fixes, 300 a block: blocks 30, 31, 0, 1; block 31 has a hole and comes whole.
        SimLayout{"WrapAndHole", {"--start-block", "30", "--records-per-block", "300", "--mask", "31=FFFD"},
                  {4, 4, 4, 4}, 32 + 3 * (8192 - 32) + 65504},
        // Blocks 5 to 8; 7 shares the lowest sequence number with 5; 6 is in use but empty.
        SimLayout{"EqualSequenceAndEmptyMask",
                  {"--start-block", "5", "--records-per-block", "300", "--sequence", "7=1", "--mask", "6=FFFF"},
                  {3, 3, 3}, 32 + 3 * (8192 - 32)},
        SimLayout{"NoUsedBlock", {"--unused", "0"}, {}, 32}),
    [](const ::testing::TestParamInfo<SimLayout>& info) { return std::string(info.param.name); });

// One reply late, with the logger answering in order behind it: a header of
// the scan (request 8), one of the pass (39) and pieces; the file is exact.
struct LateReply {
  int request;
  int delayMs;
};
class SimLateReplyTest : public SimDownloadTest, public ::testing::WithParamInterface<LateReply> {};

TEST_P(SimLateReplyTest, TheFileIsExactNeverShifted) {
  Start({"--start-block", "30", "--records-per-block", "300", "--turnaround-ms", "2", "--fault",
         "stall=@" + std::to_string(GetParam().request), "--stall-ms", std::to_string(GetParam().delayMs)});
  session->PollOnce();
  EXPECT_EQ(session->lastResult().end, LoadLogEnd::kComplete);
  EXPECT_EQ(ReadBytes(dataDir / kName), ExpectedFile());
}

INSTANTIATE_TEST_SUITE_P(Delays, SimLateReplyTest,
                         ::testing::Values(LateReply{8, 1000}, LateReply{39, 2000}, LateReply{45, 350},
                                           LateReply{60, 750}, LateReply{80, 1300}),
                         [](const ::testing::TestParamInfo<LateReply>& info) {
                           return "Request" + std::to_string(info.param.request) + "Late" +
                                  std::to_string(info.param.delayMs) + "ms";
                         });

TEST_F(SimDownloadTest, ThreeBlocksTheLastHalfFullEndTheProgressAt1280Of1536) {
  Start({"--records-per-block", "400", "--mask", "0=0000", "--mask", "1=0000", "--mask", "2=FF00"});
  session->PollOnce();

  EXPECT_EQ(session->lastResult().end, LoadLogEnd::kComplete);
  EXPECT_EQ(ReadBytes(dataDir / kName), ExpectedFile());
  EXPECT_EQ(view.blockCaptions, (std::vector<std::string>{"Downloading Block  1 of  3 ",
                                                          "Downloading Block  2 of  3 ",
                                                          "Downloading Block  3 of  3 "}));
  EXPECT_EQ(view.progressMax, 1536);
  EXPECT_EQ(view.progressPosition, 1280);
  EXPECT_EQ(view.fileCaptions, (std::vector<std::string>{std::string("Loading: ") + kName, kName}));
  EXPECT_EQ(view.started, std::vector<std::string>{kName});
  EXPECT_EQ(view.statusText, "Serial 00000012345 is not in the loggers table");
  EXPECT_EQ(view.rowCount, 3);  // the built-in flight's two segments
}

TEST_F(SimDownloadTest, ForceDownloadTakesTheSameLoggerAgainAndThenItIsLeftAlone) {
  Start({});
  session->PollOnce();
  ASSERT_EQ(session->lastResult().end, LoadLogEnd::kComplete);

  session->ForgetLastLogger();  // Force download
  session->PollOnce();
  EXPECT_EQ(session->lastResult().end, LoadLogEnd::kComplete);
  const std::vector<std::string> files = Downloads();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[1], "00000012345-20070410-153013.G00");
  EXPECT_EQ(ReadBytes(dataDir / files[1]), ExpectedFile());

  const size_t requestsBefore = requests;
  session->PollOnce();
  EXPECT_TRUE(session->lastCycleFoundLogger());
  EXPECT_EQ(session->lastResult().end, LoadLogEnd::kSameLogger);
  EXPECT_EQ(Downloads().size(), 2u);
  // probe, the rate switch's two sends, identity, and the two sends back to 9600
  EXPECT_EQ(requests - requestsBefore, 6u);
  EXPECT_TRUE(view.scripted.asked.empty());

  // Back at the detection rate, the logger still answers probes: a later
  // Force download takes it once more.
  session->ForgetLastLogger();
  session->PollOnce();
  EXPECT_EQ(session->lastResult().end, LoadLogEnd::kComplete);
  EXPECT_EQ(Downloads().size(), 3u);
}

TEST_F(SimDownloadTest, LoggerWithoutIdentityIsKeptUnderANameThatSaysIncomplete) {
  Start({"--fault", "no-identity"}, "OTHER");
  session->PollOnce();

  EXPECT_EQ(session->lastResult().end, LoadLogEnd::kReadError);
  EXPECT_EQ(session->lastResult().reason, "the logger gave no serial number");
  EXPECT_EQ(Downloads(), std::vector<std::string>{"-20070410-153012-incomplete.G00"});
  EXPECT_EQ(ReadBytes(dataDir / "-20070410-153012-incomplete.G00"), ExpectedRawFile(Memory(), "", "VER 5.1A"));
}

TEST_F(SimDownloadTest, EscapeAnsweredNoCompletesAndYesDeletes) {
  Start({"--records-per-block", "300"});
  int pieces = 0;
  view.onProcessEvents = [&] {
    if (++pieces == 30) session->RequestCancel();
  };
  view.scripted.answers = {PromptAnswer::kNo};
  session->PollOnce();
  EXPECT_EQ(session->lastResult().end, LoadLogEnd::kComplete);
  EXPECT_EQ(view.scripted.asked.size(), 1u);
  EXPECT_EQ(ReadBytes(dataDir / kName), ExpectedFile());

  const int pointsBefore = table.pointCount;
  std::filesystem::remove(dataDir / kName);
  session->ForgetLastLogger();
  pieces = 0;
  view.scripted.answers = {PromptAnswer::kYes};
  session->PollOnce();
  EXPECT_EQ(session->lastResult().end, LoadLogEnd::kAborted);
  EXPECT_TRUE(Downloads().empty());
  EXPECT_EQ(view.statusText, "Downloading aborted!");
  EXPECT_EQ(table.pointCount, pointsBefore);

  // The link is back at 9600: the next poll finds the logger again.
  session->ForgetLastLogger();
  view.onProcessEvents = nullptr;
  session->PollOnce();
  EXPECT_EQ(session->lastResult().end, LoadLogEnd::kComplete);
}

TEST_F(SimDownloadTest, EscapeDuringTheLastPieceOfABlockEndsWithoutAQuestion) {
  Start({"--records-per-block", "300"});  // 64 pieces a block
  int pieces = 0;
  view.onProcessEvents = [&] {
    if (++pieces == 64) session->RequestCancel();  // seen before the read of the last piece...
  };
  view.scripted.answers = {PromptAnswer::kNo};  // ...so this one is asked and answered No
  session->PollOnce();
  ASSERT_EQ(view.scripted.asked.size(), 1u);
  EXPECT_EQ(session->lastResult().end, LoadLogEnd::kComplete);

  // Escape while the last piece is on the way: seen only after the block.
  std::filesystem::remove(dataDir / kName);
  session->ForgetLastLogger();
  view.scripted.asked.clear();
  view.onProcessEvents = nullptr;
  link->SetTranscript([&](const ExchangeRecord& record) {
    // The request for block 0, offset 63 x 128.
    if (record.request.size() == 10 && record.request[2] == 0xB1 && record.request[4] == 0 &&
        record.request[5] == 0x80 && record.request[6] == 0x1F && record.request[7] == 0x80)
      session->RequestCancel();
  });
  session->PollOnce();
  EXPECT_EQ(session->lastResult().end, LoadLogEnd::kAborted);
  EXPECT_TRUE(view.scripted.asked.empty());
  EXPECT_EQ(session->lastResult().piecesRead, 64);
  EXPECT_TRUE(Downloads().empty());
}

std::vector<uint8_t> Prefix(const std::vector<uint8_t>& bytes, size_t size) {
  return std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(std::min(size, bytes.size())));
}

void ExpectReadError(const RecordingView& view) {
  ASSERT_EQ(view.scripted.asked.size(), 1u);
  EXPECT_EQ(view.scripted.asked[0].caption, "Logger Download");
  EXPECT_EQ(view.scripted.asked[0].text, " Error reading from logger");
  EXPECT_EQ(view.scripted.asked[0].buttons, PromptButtons::kOk);
}

TEST_F(SimDownloadTest, PieceLostFourTimesEndsWithAPartialDecodedFile) {
  // Requests 50, 54, 58 and 62: all four attempts at piece 11 of the first block.
  Start({"--fault", "drop=@50,54,58,62"});
  session->PollOnce();

  EXPECT_EQ(session->lastResult().end, LoadLogEnd::kReadError);
  ExpectReadError(view);
  EXPECT_EQ(Downloads(), std::vector<std::string>{kIncompleteName});
  EXPECT_EQ(ReadBytes(dataDir / kIncompleteName), Prefix(ExpectedFile(), 32 + 96 + 10 * 128));
  EXPECT_EQ(table.pointCount, (96 + 10 * 128) / 18);
  EXPECT_EQ(view.rowCount, 2);
  EXPECT_EQ(view.fileCaption, kIncompleteName);
}

TEST_F(SimDownloadTest, PieceLostThreeTimesIsReadOnTheFourth) {
  Start({"--fault", "drop=@50,54,58"});
  session->PollOnce();
  EXPECT_EQ(session->lastResult().end, LoadLogEnd::kComplete);
  EXPECT_EQ(ReadBytes(dataDir / kName), ExpectedFile());
}

TEST_F(SimDownloadTest, HeaderLostInThePassEndsWithTheBlocksBefore) {
  // 64 pieces a block: block 0 is requests 38 to 102, block 1's header 103.
  Start({"--records-per-block", "300", "--fault", "drop=@103,107,111,115"});
  session->PollOnce();

  EXPECT_EQ(session->lastResult().end, LoadLogEnd::kReadError);
  ExpectReadError(view);
  EXPECT_EQ(ReadBytes(dataDir / kIncompleteName), Prefix(ExpectedFile(), 32 + 8192 - 32));
  EXPECT_EQ(table.pointCount, 300);
}

TEST_F(SimDownloadTest, HeaderLostInTheScanLeavesItsBlockOutAndTheDownloadIncomplete) {
  // Block 0's header in the scan is request 6, its further attempts 10, 14, 18.
  Start({"--records-per-block", "300", "--fault", "drop=@6,10,14,18"});
  session->PollOnce();

  const LoadLogResult& result = session->lastResult();
  EXPECT_EQ(result.end, LoadLogEnd::kReadError);
  EXPECT_TRUE(view.scripted.asked.empty());
  EXPECT_EQ(result.reason, "the logger did not give the header of block 0; a block may be missing");
  // Blocks 1 to 3 arrived; block 0 is missing.
  const std::vector<uint8_t> expected = ExpectedFile();
  std::vector<uint8_t> withoutBlock0 = Prefix(expected, 32);
  withoutBlock0.insert(withoutBlock0.end(), expected.begin() + 32 + 8160, expected.end());
  EXPECT_EQ(ReadBytes(dataDir / kIncompleteName), withoutBlock0);
  EXPECT_EQ(table.pointCount, 900);
}

TEST_F(SimDownloadTest, HangUpMidDownloadKeepsAndDecodesWhatArrived) {
  // Requests 1 to 100 are answered: pieces 0 to 61 of the first block.
  Start({"--hangup-after", "100"});
  session->PollOnce();

  EXPECT_EQ(session->lastResult().end, LoadLogEnd::kReadError);
  ExpectReadError(view);
  EXPECT_EQ(session->lastResult().piecesRead, 62);
  EXPECT_EQ(ReadBytes(dataDir / kIncompleteName), Prefix(ExpectedFile(), 32 + 96 + 61 * 128));
  EXPECT_EQ(table.pointCount, (96 + 61 * 128) / 18);
  EXPECT_GE(view.rowCount, 2);
  EXPECT_FALSE(view.hourglass);
}

TEST_F(SimDownloadTest, OneReplyInFiftyLostStillGivesTheWholeFile) {
  // Lost replies to memory reads are retried. The rate switch, the identity
  // and the version are asked once: a lost identity or version changes the
  // header (and the name), a lost rate switch leaves the line and the logger
  // at different rates and that poll downloads nothing; the next poll
  // starts over at 9600.
  Start({"--records-per-block", "600", "--fault", "drop=0.02", "--seed", "7"}, "<before>");
  for (int cycle = 0; cycle < 6 && !(session->lastCycleFoundLogger() &&
                                     session->lastResult().end == LoadLogEnd::kComplete);
       ++cycle) {
    session->PollOnce();
  }
  ASSERT_EQ(session->lastResult().end, LoadLogEnd::kComplete);
  const std::vector<uint8_t> file = ReadBytes(session->lastResult().path);
  const std::string version = file.size() >= 32 && file[16] != 0 ? "VER 5.1A" : "";
  EXPECT_EQ(file, ExpectedRawFile(Memory(), table.serialText, version));
  EXPECT_EQ(file.size(), ExpectedFile().size());
}

TEST_F(SimDownloadTest, MissingDataDirectoryIsReportedAndTheNextPollDownloads) {
  Start({});
  const std::string folder = dataDir.path();
  rmdir(folder.c_str());
  session->PollOnce();
  EXPECT_EQ(session->lastResult().end, LoadLogEnd::kCannotCreate);
  ASSERT_EQ(view.scripted.asked.size(), 1u);
  EXPECT_EQ(view.scripted.asked[0].caption, "Logger Download");
  EXPECT_EQ(session->lastSerialText(), "");

  mkdir(folder.c_str(), 0755);
  session->PollOnce();
  EXPECT_EQ(session->lastResult().end, LoadLogEnd::kComplete);
  EXPECT_EQ(ReadBytes(session->lastResult().path), ExpectedFile());
}

// A cable pulled mid-download and, a second later, another logger left at
// the download rate plugged into the same port, with the port left up and
// with a hang-up: the first file says it is incomplete and holds none of the
// second logger's bytes; the next poll downloads the second on its own.
TEST_F(SimDownloadTest, AnotherLoggerPluggedInMidDownloadIsDownloadedOnItsOwn) {
  for (const bool hangUp : {false, true}) {
    SCOPED_TRACE(hangUp ? "the port hangs up" : "the port stays up");
    for (const std::string& name : dataDir.Entries()) std::filesystem::remove(dataDir / name);
    clockTicks = 0;
    std::vector<std::string> args = {"--records-per-block", "300", "--swap-after", "60", "--swap-gap-ms", "1000",
                                     "--swap-rate", "57600", "--link", work / "ttyLOGGER"};
    if (hangUp) args.push_back("--swap-hangup");
    Start(args);
    const std::vector<uint8_t> first = ExpectedFile();
    std::vector<uint8_t> otherMemory = Memory();
    for (size_t i = 0; i < otherMemory.size(); ++i) {
      if (i % kBlockSize >= kBlockHeaderSize) otherMemory[i] = static_cast<uint8_t>(~otherMemory[i]);
    }

    session->PollOnce();
    const LoadLogResult result = session->lastResult();
    EXPECT_EQ(result.end, LoadLogEnd::kOtherLogger) << result.reason;
    EXPECT_EQ(result.reason, "another logger answered: 00000067890");
    EXPECT_EQ(Downloads(), std::vector<std::string>{kIncompleteName});
    const std::vector<uint8_t> kept = ReadBytes(dataDir / kIncompleteName);
    EXPECT_EQ(kept, std::vector<uint8_t>(first.begin(), first.begin() + static_cast<long>(kept.size())));

    session->PollOnce();
    EXPECT_EQ(session->lastResult().end, LoadLogEnd::kComplete);
    EXPECT_EQ(ReadBytes(session->lastResult().path), ExpectedRawFile(otherMemory, "00000067890", "VER 5.1A"));
  }
}

TEST_F(SimDownloadTest, NoLoggerOnTheLine) {
  Start({});
  SilentTerminal silent;
  link->SetPortResolver(FixedPortResolver(silent.path()));
  session->PollOnce();
  EXPECT_FALSE(session->lastCycleFoundLogger());
  EXPECT_EQ(view.statusText, "No logger found to download");
}

}  // namespace
}  // namespace orvald::testing

#endif  // ORVALD_SIM_PATH
