// The link and the logger commands against orvald-sim on a pseudo-terminal.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "link/exchange.h"
#include "logger/commands.h"
#include "logger/erase.h"
#include "logger/identity.h"
#include "link/sysfs_usb_adapter.h"
#include "support/fake_sysfs_tree.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "tracklog/raw_image.h"

#ifdef ORVALD_SIM_PATH

namespace orvald {
namespace {

using test::SimProcess;

const std::string kFlight = std::string(ORVALD_FLIGHTS_DIR) + "/27GLQKF3.igc";

// A link to a simulator started with `args`; serial port only.
class SimLink {
 public:
  explicit SimLink(const std::vector<std::string>& args) : sim(args), link(nullptr) {
    link.ChoosePort(1);
    link.SetPortResolver(FixedPortResolver(sim.ptyPath()));
  }
  SimProcess sim;
  Link link;
  ReplyOrder order;
};

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(SimLink, ProbeIdentityAndVersion) {
  SimLink s({"--serial", "ABC12345678", "--version", "ABCD1.2b"});
  ASSERT_TRUE(s.sim.started()) << s.sim.error();
  EXPECT_EQ(ProbeLogger(s.link), 1);
  EXPECT_EQ(QueryIdentity(s.link, s.order), "ABC12345678");
  LoggerIdentity identity = MakeLoggerIdentity(QueryIdentity(s.link, s.order), QueryVersion(s.link, s.order));
  EXPECT_EQ(identity.versionText, "ABCD1.2b");
  EXPECT_EQ(identity.typeText, "1.2b");
}

TEST(SimLink, ProbeFindsALoggerThatAnswersTheThirdVersionRequest) {
  SimLink s({"--fault", "drop=@1,2"});
  ASSERT_TRUE(s.sim.started()) << s.sim.error();
  EXPECT_EQ(ProbeLogger(s.link), 1);
}

TEST(SimLink, LoggerWithoutIdentityReplyGivesAnEmptySerialText) {
  SimLink s({"--fault", "no-identity"});
  ASSERT_TRUE(s.sim.started()) << s.sim.error();
  EXPECT_EQ(QueryIdentity(s.link, s.order), "");
  EXPECT_EQ(QueryVersion(s.link, s.order), "VER 5.1A");
}

TEST(SimLink, AdapterCarriesEveryExchangeAtItsOwnRate) {
  SimProcess sim({"--rate", "115200", "--serial", "VIAUSB"});
  ASSERT_TRUE(sim.started()) << sim.error();
  testing::FakeSystemTree tree;
  tree.Plug("ttyUSB0", kUsbAdapterProduct, sim.ptyPath());
  Link link(std::make_unique<SysfsUsbAdapter>(tree.sys(), tree.dev()));
  link.ChoosePort(1);
  link.SetPortResolver(FixedPortResolver("/nonexistent/ttyS0"));
  ReplyOrder order;
  EXPECT_EQ(ProbeLogger(link), 1);
  EXPECT_EQ(SetLoggerRate(link, order, 57600), 57600u) << "nothing sent: the adapter keeps 115200";
  EXPECT_EQ(QueryIdentity(link, order), "VIAUSB");
  EXPECT_FALSE(link.serialPort().IsOpen() || link.serialPort().OpenError().failed());
}

TEST(SimLink, RateSwitchUpAndBack) {
  SimLink s({"--serial", "RATE1"});
  ASSERT_TRUE(s.sim.started()) << s.sim.error();
  ASSERT_EQ(ProbeLogger(s.link), 1);
  EXPECT_EQ(SetLoggerRate(s.link, s.order, 57600), 57600u);
  EXPECT_EQ(s.link.lineRate(), 57600u);
  EXPECT_EQ(QueryIdentity(s.link, s.order), "RATE1") << "logger and line agree on the new rate";
  EXPECT_EQ(SetLoggerRate(s.link, s.order, 9600), 9600u);
  EXPECT_EQ(ProbeLogger(s.link), 1);
}

TEST(SimLink, ARateCountsOnlyWhenTheLoggerAnswersThere) {
  {
    // The echo never comes, but the logger did switch and answers there.
    SimLink s({"--fault", "no-rate-ack"});
    ASSERT_TRUE(s.sim.started()) << s.sim.error();
    EXPECT_EQ(SetLoggerRate(s.link, s.order, 57600), 57600u);
    EXPECT_EQ(QueryIdentity(s.link, s.order), "00000012345");
  }
  {
    // An older logger that does not go that fast stays where it was.
    SimLink s({"--max-rate", "9600"});
    ASSERT_TRUE(s.sim.started()) << s.sim.error();
    EXPECT_EQ(SetLoggerRate(s.link, s.order, 57600), 9600u);
    EXPECT_EQ(s.link.lineRate(), 9600u);
  }
}

TEST(SimLink, MemoryOfABuiltImageReadsBackAsServed) {
  testing::TempDir dir;
  const std::string dump = dir.path() + "/memory.bin";
  SimLink s({"--igc", kFlight, "--start-block", "30", "--dump-memory", dump});
  ASSERT_TRUE(s.sim.started()) << s.sim.error();
  const std::vector<uint8_t> memory = ReadWholeFile(dump);
  ASSERT_EQ(memory.size(), static_cast<size_t>(kBlockCount) * kBlockSize);
  ASSERT_EQ(SetLoggerRate(s.link, s.order, 57600), 57600u);

  for (int block = 0; block < kBlockCount; ++block) {
    uint8_t header[kBlockHeaderSize];
    ASSERT_EQ(ReadLoggerMemory(s.link, s.order, header, kBlockHeaderSize, block, 0), kBlockHeaderSize) << block;
    EXPECT_TRUE(std::equal(header, header + kBlockHeaderSize, memory.begin() + block * kBlockSize)) << block;
  }
  // The start block and the wrap into block 0, piece by piece.
  for (int block : {30, 31, 0}) {
    for (int offset = 0; offset < 64 * kPieceSize; offset += kPieceSize) {
      uint8_t piece[kPieceSize];
      ASSERT_EQ(ReadLoggerMemory(s.link, s.order, piece, kPieceSize, block, offset), kPieceSize) << block << "/" << offset;
      ASSERT_TRUE(std::equal(piece, piece + kPieceSize, memory.begin() + block * kBlockSize + offset))
          << block << "/" << offset;
    }
  }
}

TEST(SimLink, ShortMemoryReplyFailsAndTheRetrySucceeds) {
  SimLink s({"--fault", "short=@1"});
  ASSERT_TRUE(s.sim.started()) << s.sim.error();
  uint8_t piece[kPieceSize];
  EXPECT_EQ(ReadLoggerMemory(s.link, s.order, piece, kPieceSize, 0, 0), 0);
  EXPECT_EQ(ReadLoggerMemory(s.link, s.order, piece, kPieceSize, 0, 0), kPieceSize);
}

TEST(SimLink, DamagedRepliesFailAndLeaveTheLineUsable) {
  SimLink s({"--fault", "oversize=@1", "--fault", "garbage=@2", "--fault", "bad-checksum=@3", "--fault",
             "split=@4", "--fault", "trailing=@5"});
  ASSERT_TRUE(s.sim.started()) << s.sim.error();
  EXPECT_EQ(QueryIdentity(s.link, s.order), "") << "oversize";
  EXPECT_EQ(QueryIdentity(s.link, s.order), "") << "garbage";
  EXPECT_EQ(QueryIdentity(s.link, s.order), "") << "bad checksum";
  EXPECT_EQ(QueryIdentity(s.link, s.order), "00000012345") << "split into pieces";
  EXPECT_EQ(QueryIdentity(s.link, s.order), "00000012345") << "trailing bytes";
  EXPECT_EQ(QueryIdentity(s.link, s.order), "00000012345");
}

TEST(SimLink, ALateIdentityReplyGivesItsTextLaterAndSpoilsNothing) {
  SimLink s({"--fault", "stall=@1", "--stall-ms", "1300"});
  ASSERT_TRUE(s.sim.started()) << s.sim.error();
  EXPECT_EQ(QueryIdentity(s.link, s.order), "");
  EXPECT_EQ(QueryIdentity(s.link, s.order), "00000012345");
  // The second identify reply is still on its way: passed over, as it is
  // not a version's, and put behind before any memory read.
  EXPECT_EQ(QueryVersion(s.link, s.order), "VER 5.1A");
  uint8_t header[kBlockHeaderSize];
  EXPECT_EQ(ReadLoggerMemory(s.link, s.order, header, kBlockHeaderSize, 0, 0), kBlockHeaderSize);
}

TEST(SimLink, HangUpThenReopenOnTheSamePath) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/ttyLOGGER";
  SimLink s({"--hangup-after", "2", "--reopen", "--link", path});
  ASSERT_TRUE(s.sim.started()) << s.sim.error();
  EXPECT_EQ(QueryIdentity(s.link, s.order), "00000012345");
  EXPECT_EQ(QueryIdentity(s.link, s.order), "00000012345");
  EXPECT_EQ(QueryIdentity(s.link, s.order), "") << "the line goes dead";
  EXPECT_EQ(s.link.serialPort().Fault().status, LineStatus::kHangUp);
  // The simulator makes a new terminal behind the same link path.
  std::string answer;
  for (int attempt = 0; attempt < 5 && answer.empty(); ++attempt) answer = QueryIdentity(s.link, s.order);
  EXPECT_EQ(answer, "00000012345");
}

class SimPrompts : public Prompts {
 public:
  std::vector<std::string> texts;
  PromptAnswer Ask(const std::string&, const std::string& text, PromptButtons, PromptIcon) override {
    texts.push_back(text);
    return PromptAnswer::kOk;
  }
};

TEST(SimLink, EraseWipesTheMemory) {
  SimLink s({"--igc", kFlight});
  ASSERT_TRUE(s.sim.started()) << s.sim.error();
  SimPrompts prompts;
  uint8_t header[kBlockHeaderSize];
  ASSERT_EQ(ReadLoggerMemory(s.link, s.order, header, kBlockHeaderSize, 0, 0), kBlockHeaderSize);
  ASSERT_TRUE(ParseBlockHeader(header).used());
  EXPECT_EQ(EraseLogger(s.link, s.order, prompts), EraseOutcome::kErased);
  EXPECT_EQ(prompts.texts, (std::vector<std::string>{kEraseQuestion}));
  ASSERT_EQ(ReadLoggerMemory(s.link, s.order, header, kBlockHeaderSize, 0, 0), kBlockHeaderSize);
  EXPECT_FALSE(ParseBlockHeader(header).used());
}

TEST(SimLink, LoggerThatDoesNotAgreeToTheEraseIsReported) {
  SimLink s({"--erase-reply", "0000"});
  ASSERT_TRUE(s.sim.started()) << s.sim.error();
  SimPrompts prompts;
  EXPECT_EQ(EraseLogger(s.link, s.order, prompts), EraseOutcome::kNotErased);
  EXPECT_EQ(prompts.texts, (std::vector<std::string>{kEraseQuestion, kEraseFailed}));
}

}  // namespace
}  // namespace orvald

#endif  // ORVALD_SIM_PATH
