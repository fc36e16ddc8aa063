// orvald-sim as a program: a computer-side client on the pseudo-terminal.

#include <thread>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <tuple>

#include "line_client.h"
#include "support/sim_process.h"

namespace orvald::simtest {
namespace {

using orvald::test::SimProcess;
using std::chrono::milliseconds;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string TempPath(const std::string& name) {
  return std::string(ORVALD_BINARY_DIR) + "/sim-test-" + std::to_string(getpid()) + "-" + name;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(SimOnPty, AnswersTheCommandSetWithWholeFrames) {
  SimProcess sim({"--serial", "00000012345", "--version", "VER 1.2b"});
  ASSERT_TRUE(sim.started()) << sim.error();
  LineClient line(sim.ptyPath());
  ASSERT_TRUE(line.ok());

  // The worked frames: "x" out, the version reply back.
  Arrival version = line.SendRaw({0xF0, 0x01, 0x78, 0x79, 0xF2});
  EXPECT_EQ(version.bytes, Frame(Bytes{0x78, 'V', 'E', 'R', ' ', '1', '.', '2', 'b'}));
  EXPECT_EQ(line.Exchange({0x49}), Bytes({0x49, '0', '0', '0', '0', '0', '0', '1', '2', '3', '4', '5'}));
  EXPECT_EQ(line.SendRaw({0xF0, 0x03, 0xC1, 0x41, 0x03, 0x80, 0xF2}).bytes,
            Bytes({0xF0, 0x03, 0xC1, 0x41, 0x03, 0x80, 0xF2}));
  // Unknown commands get no reply at all.
  line.SetRate(57600);
  EXPECT_TRUE(line.Send({0x55}, 150).bytes.empty());
  // The memory read of the worked frame: block 5 is erased in the default memory.
  const auto piece = line.ReadMemory(5, 0x80, 0x80);
  ASSERT_TRUE(piece);
  EXPECT_EQ(*piece, Bytes(128, 0xFF));
}

TEST(SimOnPty, FramesAtAnotherRateAreIgnoredAndSetRateIsFollowed) {
  const std::string transcript = TempPath("rate.txt");
  SimProcess sim({"--transcript", transcript});
  ASSERT_TRUE(sim.started()) << sim.error();
  LineClient line(sim.ptyPath(), 38400);
  EXPECT_TRUE(line.Send({0x78}, 150).bytes.empty()) << "a frame at 38400 reached a logger at 9600";
  line.SetRate(9600);
  EXPECT_TRUE(line.Exchange({0x78}));

  // Ask for 57600 at 9600: echoed at 9600, after which 9600 is ignored.
  EXPECT_EQ(line.Exchange({0xC1, 0x41, 0x03}), Bytes({0xC1, 0x41, 0x03}));
  EXPECT_FALSE(line.Exchange({0x78}, 150));
  line.SetRate(57600);
  EXPECT_EQ(line.Exchange({0xC1, 0x41, 0x03}), Bytes({0xC1, 0x41, 0x03}));
  EXPECT_TRUE(line.Exchange({0x49}));
  // An unknown code is not taken up: the logger stays at 57600.
  EXPECT_FALSE(line.Exchange({0xC1, 0x41, 0x09}, 150));
  EXPECT_TRUE(line.Exchange({0x78}));
  // Back to 9600 as the end of a download does.
  EXPECT_TRUE(line.SwitchRate(9600, 0));
  EXPECT_TRUE(line.Exchange({0x78}));
  sim.Stop();

  const auto lines = ReadLines(transcript);
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_NE(lines[0].find("n=- cmd=version line=38400"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("ignored=rate logger=9600"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("n=1 cmd=version line=9600 req=F0 01 78 79 F2 reply=F0 09 78"), std::string::npos);
  EXPECT_NE(lines[3].find("ignored=rate logger=57600"), std::string::npos) << lines[3];
}

TEST(SimOnPty, IgnoreRateAndInitialRate) {
  SimProcess any({"--ignore-rate"});
  ASSERT_TRUE(any.started()) << any.error();
  LineClient line(any.ptyPath(), 115200);
  EXPECT_TRUE(line.Exchange({0x78}));

  SimProcess fast({"--rate", "115200"});
  ASSERT_TRUE(fast.started()) << fast.error();
  LineClient adapter(fast.ptyPath(), 115200);
  EXPECT_TRUE(adapter.Exchange({0x78}));
  adapter.SetRate(9600);
  EXPECT_FALSE(adapter.Exchange({0x78}, 150));
}

TEST(SimOnPty, EraseWipesTheMemory) {
  SimProcess sim;
  ASSERT_TRUE(sim.started()) << sim.error();
  LineClient line(sim.ptyPath());
  auto header = line.ReadMemory(0, 0, 32);
  ASSERT_TRUE(header);
  EXPECT_EQ((*header)[0] >> 4, 1) << "the built-in flight starts in block 0";

  Bytes erase = {0xB1, 0x46, 0x20, 0x80, 0x00, 0x80, 0x00, 0x21, 0x08, 0x21, 0x08};
  for (int i = 0; i < 28; ++i) erase.insert(erase.end(), {0x10, 0x12});
  const Arrival reply = line.Send(erase);
  EXPECT_EQ(reply.bytes, Bytes({0xF0, 0x02, 0xB1, 0x46, 0xF5, 0xF2}));
  for (int block = 0; block < 32; ++block) {
    header = line.ReadMemory(block, 0, 32);
    ASSERT_TRUE(header);
    EXPECT_EQ(*header, Bytes(32, 0xFF)) << block;
  }
}

// Each fault, seen from the computer's side of the line.
class FaultOnPty : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> args) {
    transcript_ = TempPath(std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".txt");
    args.insert(args.end(), {"--transcript", transcript_});
    sim_ = std::make_unique<SimProcess>(args);
    ASSERT_TRUE(sim_->started()) << sim_->error();
    line_ = std::make_unique<LineClient>(sim_->ptyPath());
    ASSERT_TRUE(line_->ok());
  }
  std::vector<std::string> Transcript() {
    line_.reset();
    sim_->Stop();
    return ReadLines(transcript_);
  }
  std::unique_ptr<SimProcess> sim_;
  std::unique_ptr<LineClient> line_;
  std::string transcript_;
};

TEST_F(FaultOnPty, DropAtListedRequestsOnly) {
  Start({"--fault", "drop=@2,3"});
  EXPECT_TRUE(line_->Exchange({0x78}));
  EXPECT_TRUE(line_->Send({0x78}, 350).bytes.empty());
  EXPECT_TRUE(line_->Send({0x78}, 350).bytes.empty());
  EXPECT_TRUE(line_->Exchange({0x78}));
  const auto lines = Transcript();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[1].find("n=2 cmd=version line=9600 req=F0 01 78 79 F2 reply=- fault=drop"), std::string::npos)
      << lines[1];
  EXPECT_NE(lines[3].find("fault=none"), std::string::npos);
}

TEST_F(FaultOnPty, DroppedEraseDoesNotWipe) {
  Start({"--fault", "drop=@1"});
  Bytes erase = {0xB1, 0x46, 0x20, 0x80, 0x00, 0x80, 0x00, 0x21, 0x08, 0x21, 0x08};
  for (int i = 0; i < 28; ++i) erase.insert(erase.end(), {0x10, 0x12});
  EXPECT_TRUE(line_->Send(erase, 350).bytes.empty());
  const auto header = line_->ReadMemory(0, 0, 32);
  ASSERT_TRUE(header);
  EXPECT_EQ((*header)[0] >> 4, 1);
}

TEST_F(FaultOnPty, BadChecksumGarbageAndOversizeAreRejected) {
  Start({"--fault", "bad-checksum=@1", "--fault", "garbage=@2", "--fault", "oversize=@3"});
  const Arrival badSum = line_->Send({0x78});
  EXPECT_EQ(badSum.bytes.size(), 13u);
  EXPECT_FALSE(AcceptReply(badSum.bytes));
  const Arrival garbage = line_->Send({0x78}, 350);
  EXPECT_FALSE(garbage.bytes.empty());
  EXPECT_FALSE(AcceptReply(garbage.bytes));
  const Arrival oversize = line_->Send({0x78}, 350, false);
  EXPECT_EQ(oversize.bytes.size(), 300u);
  EXPECT_FALSE(AcceptReply(oversize.bytes));
  EXPECT_TRUE(line_->Exchange({0x78}));
  const auto lines = Transcript();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[0].find("fault=bad-checksum"), std::string::npos);
  EXPECT_NE(lines[1].find("fault=garbage"), std::string::npos);
  EXPECT_NE(lines[2].find("fault=oversize"), std::string::npos);
}

TEST_F(FaultOnPty, SplitRepliesArriveInPiecesWithPauses) {
  Start({"--fault", "split=@1", "--split-pieces", "3", "--split-delay-ms", "60"});
  const Arrival a = line_->Send({0xB1, 0x52, 0, 0, 0, 128}, 1000);
  ASSERT_EQ(a.bytes.size(), 134u);
  EXPECT_TRUE(AcceptReply(a.bytes));
  ASSERT_GE(a.readSizes.size(), 3u);
  EXPECT_LT(a.readSizes[0], 134u);
  EXPECT_GE(a.readTimes.back() - a.readTimes.front(), milliseconds(100));
}

TEST_F(FaultOnPty, StalledRepliesComeAfterTheTimeLimit) {
  Start({"--fault", "stall=@1", "--stall-ms", "400"});
  EXPECT_TRUE(line_->Send({0x78}, 300).bytes.empty());
  // The late reply is still on its way and lands as the start of the next.
  const Arrival late = line_->SendRaw({}, 300);
  EXPECT_EQ(late.bytes, Frame(Text("xVER 5.1A")));
}

TEST_F(FaultOnPty, ShortMemoryRepliesAreValidFramesWithLessData) {
  Start({"--fault", "short=always", "--short-by", "28"});
  const auto data = line_->Exchange({0xB1, 0x52, 0, 0, 0, 128});
  ASSERT_TRUE(data);
  EXPECT_EQ(data->size(), 130u - 28u);
  EXPECT_EQ(line_->Exchange({0x78}), Text("xVER 5.1A"));
}

TEST_F(FaultOnPty, NoIdentityAndNoRateAcknowledgement) {
  Start({"--fault", "no-identity", "--fault", "no-rate-ack"});
  EXPECT_TRUE(line_->Send({0x49}, 350).bytes.empty());
  EXPECT_TRUE(line_->Exchange({0x78}));
  // The logger takes the new rate without confirming it.
  EXPECT_TRUE(line_->Send({0xC1, 0x41, 0x03}, 350).bytes.empty());
  EXPECT_FALSE(line_->Exchange({0x78}, 150));
  line_->SetRate(57600);
  EXPECT_TRUE(line_->Exchange({0x78}));
}

TEST_F(FaultOnPty, TrailingBytesFollowTheFrame) {
  Start({"--fault", "trailing", "--trailing-bytes", "5"});
  const Arrival a = line_->Send({0x78}, 200, false);
  ASSERT_EQ(a.bytes.size(), 13u + 5u);
  EXPECT_EQ(AcceptReply(a.bytes), Text("xVER 5.1A"));
}

TEST_F(FaultOnPty, EmptyForeignWrongEndsAndTruncatedReplies) {
  Start({"--fault", "empty=@1", "--fault", "foreign=@2", "--fault", "wrong-ends=@3", "--fault", "truncate=@4",
         "--truncate-bytes", "4"});
  EXPECT_EQ(line_->Send({0x78}).bytes, Bytes({0xF0, 0x00, 0x00, 0xF2}));
  EXPECT_EQ(line_->Exchange({0x78}), Text("yVER 5.1A"));
  const Arrival ends = line_->Send({0x78});
  EXPECT_EQ(ends.bytes.front(), 0x00);
  EXPECT_EQ(AcceptReply(ends.bytes), Text("xVER 5.1A"));
  EXPECT_EQ(line_->Send({0xC1, 0x41, 0x00}, 350).bytes, Bytes({0xF0, 0x03, 0xC1, 0x41}));
}

TEST_F(FaultOnPty, ProbabilitiesReplayWithTheSeed) {
  // The pattern is read from the transcript, which names the fault of every
  // request, so a slow machine cannot shift a late reply into the next slot.
  auto run = [&](const std::string& seed) {
    Start({"--fault", "drop=0.5", "--seed", seed});
    for (int i = 0; i < 12; ++i) line_->Exchange({0x78}, 120);
    std::string pattern;
    for (const std::string& line : Transcript()) {
      pattern += line.find("fault=drop") != std::string::npos ? '-' : 'r';
    }
    return pattern;
  };
  const std::string a = run("5");
  EXPECT_EQ(a, run("5"));
  EXPECT_NE(a.find('r'), std::string::npos);
  EXPECT_NE(a.find('-'), std::string::npos);
}

TEST(SimOnPty, HangUpAfterNRequestsEndsTheLine) {
  SimProcess sim({"--hangup-after", "2"});
  ASSERT_TRUE(sim.started()) << sim.error();
  LineClient line(sim.ptyPath());
  EXPECT_TRUE(line.Exchange({0x78}));
  EXPECT_TRUE(line.Exchange({0x49}));
  const Arrival a = line.Send({0x78}, 1000);
  EXPECT_TRUE(a.hungUp);
  EXPECT_TRUE(a.bytes.empty());
  EXPECT_EQ(sim.WaitForExit(2000), 0);
  struct stat st;
  EXPECT_NE(stat(sim.ptyPath().c_str(), &st), 0) << "the terminal outlived the simulator";
}

TEST(SimOnPty, HangUpWithReopenComesBackBehindTheLink) {
  const std::string link = TempPath("link");
  SimProcess sim({"--hangup-after", "2", "--reopen", "--link", link});
  ASSERT_TRUE(sim.started()) << sim.error();
  EXPECT_EQ(sim.ptyPath(), link);
  {
    LineClient line(link);
    ASSERT_TRUE(line.ok());
    EXPECT_TRUE(line.SwitchRate(57600, 3));
    EXPECT_TRUE(line.Send({0x78}, 1000).hungUp);
  }
  // Plugged in again: a fresh logger at 9600 behind the same name. The new
  // terminal appears a moment after the hang-up, as a replugged cable does.
  bool answered = false;
  for (int attempt = 0; attempt < 100 && !answered; ++attempt) {
    LineClient again(link);
    answered = again.ok() && again.Exchange({0x78});
    if (!answered) std::this_thread::sleep_for(milliseconds(20));
  }
  EXPECT_TRUE(answered) << "no logger behind the link after the hang-up";
  sim.Stop();
  struct stat st;
  EXPECT_NE(lstat(link.c_str(), &st), 0) << "the link outlived the simulator";
}

TEST(SimOnPty, PacedRepliesTakeTheLineTimeAtTheCurrentRate) {
  SimProcess sim({"--pace"});
  ASSERT_TRUE(sim.started()) << sim.error();
  LineClient line(sim.ptyPath());
  // 134 bytes of 10 bits: the last is in 139.6 ms after the reply starts at
  // 9600 bit/s, never sooner.
  const Arrival a = line.Send({0xB1, 0x52, 0, 0, 0, 128}, 1000);
  ASSERT_EQ(a.bytes.size(), 134u);
  EXPECT_GE(a.readTimes.back(), milliseconds(139));
  EXPECT_GT(a.readSizes.size(), 5u);
  // After a switch, at the new rate: 23.3 ms at 57600, 11.6 ms at 115200.
  for (const auto& [rate, code, lineMs] : {std::tuple{57600, 3, 23}, std::tuple{115200, 4, 11}}) {
    ASSERT_TRUE(line.SwitchRate(rate, static_cast<uint8_t>(code))) << rate;
    const Arrival b = line.Send({0xB1, 0x52, 0, 0, 0, 128}, 1000);
    ASSERT_EQ(b.bytes.size(), 134u) << rate;
    EXPECT_GE(b.readTimes.back(), milliseconds(lineMs)) << rate;
    EXPECT_LT(b.readTimes.back(), milliseconds(100)) << rate << ": paced at the old rate";
  }
}

TEST(SimOnPty, TurnaroundDelaysTheReply) {
  SimProcess sim({"--turnaround-ms", "80"});
  ASSERT_TRUE(sim.started()) << sim.error();
  LineClient line(sim.ptyPath());
  const Arrival a = line.Send({0x78}, 500);
  ASSERT_EQ(a.bytes.size(), 13u);
  EXPECT_GE(a.readTimes.front(), milliseconds(75));
}

TEST(SimOnPty, BadArgumentsAreReported) {
  SimProcess sim({"--start-block", "99"});
  EXPECT_FALSE(sim.started());
  EXPECT_EQ(sim.WaitForExit(2000), 2);
}

}  // namespace
}  // namespace orvald::simtest
