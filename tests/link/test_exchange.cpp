#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "link/exchange.h"
#include "support/pty_fake_logger.h"

namespace orvald {
namespace {

using testing::Framed;
using testing::FramedReply;
using testing::NoReply;
using testing::PtyFakeLogger;
using testing::Reply;
using testing::ReplyPiece;
using testing::SeenRequest;
using testing::Whole;

// Sleeps as the command line does and counts how often it was asked to, so a
// test can tell a wait that slept from one that spun.
class CountingWaiter : public Waiter {
 public:
  void Wait(int fd, int timeoutMs) override {
    ++waits;
    if (onWait) onWait();
    inner.Wait(fd, timeoutMs);
  }
  int waits = 0;
  std::function<void()> onWait;
  PollWaiter inner;
};

class ExchangeTest : public ::testing::Test {
 protected:
  ExchangeTest() : link(nullptr) {
    link.portNo = 1;
    link.SetPortResolver([this](const std::string&) { return devicePath; });
    link.SetWaiter(waiter);
    devicePath = logger.path();
  }

  std::vector<uint8_t> reply = std::vector<uint8_t>(256, 0xEE);
  int Exchange(const std::vector<uint8_t>& request) {
    int64_t started = SteadyMilliseconds();
    int result = ExchangeFrame(link, request.data(), static_cast<uint8_t>(request.size()), reply.data());
    lastMs = SteadyMilliseconds() - started;
    return result;
  }
  void Answer(std::function<Reply(const SeenRequest&)> answer) {
    logger.SetResponder([answer](const SeenRequest& request, int) { return answer(request); });
  }
  void AnswerAlways(Reply reply) {
    logger.SetResponder([reply](const SeenRequest&, int) { return reply; });
  }

  PtyFakeLogger logger;
  std::string devicePath;
  CountingWaiter waiter;
  Link link;
  int64_t lastMs = 0;
};

TEST_F(ExchangeTest, VersionRequestGoesOutFramedAndItsEchoComesBack) {
  AnswerAlways(Whole({0xF0, 0x01, 0x78, 0x79, 0xF2}));
  ASSERT_EQ(Exchange({0x78}), 1);
  EXPECT_EQ(reply[0], 0x78);
  auto requests = logger.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].frame, (std::vector<uint8_t>{0xF0, 0x01, 0x78, 0x79, 0xF2}));
  EXPECT_EQ(requests[0].speed, B9600) << "a freshly opened port takes baudRate";
}

TEST_F(ExchangeTest, WorkedFramesOnTheWire) {
  AnswerAlways(FramedReply({0xB1, 0x46}));
  const std::vector<std::vector<uint8_t>> requests{
      {0x49}, {0xC1, 0x41, 0x03}, {0xB1, 0x52, 0x05, 0x80, 0x00, 0x80}};
  for (const auto& request : requests) {
    ASSERT_EQ(Exchange(request), 2);
    EXPECT_EQ(reply[0], 0xB1);
    EXPECT_EQ(reply[1], 0x46);
  }
  auto seen = logger.Requests();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].frame, (std::vector<uint8_t>{0xF0, 0x01, 0x49, 0x48, 0xF2}));
  EXPECT_EQ(seen[1].frame, (std::vector<uint8_t>{0xF0, 0x03, 0xC1, 0x41, 0x03, 0x80, 0xF2}));
  EXPECT_EQ(seen[2].frame, (std::vector<uint8_t>{0xF0, 0x06, 0xB1, 0x52, 0x05, 0x80, 0x00, 0x80, 0xE0, 0xF2}));
  EXPECT_EQ(Framed({0xB1, 0x46}), (std::vector<uint8_t>{0xF0, 0x02, 0xB1, 0x46, 0xF5, 0xF2}));
}

TEST_F(ExchangeTest, ReplyInPiecesIsAssembledAndTheWaitEndsWhenItIsComplete) {
  std::vector<uint8_t> data{0x49, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K'};
  std::vector<uint8_t> frame = Framed(data);
  // The length byte comes alone, so the exchange first expects 5 bytes and
  // only learns the real size from the second piece onwards.
  Reply pieces{{{frame[0]}, 0},
               {{frame[1]}, 20},
               {{frame.begin() + 2, frame.begin() + 6}, 20},
               {{frame.begin() + 6, frame.end()}, 20},
               {{0x55, 0x66}, 200}};
  AnswerAlways(pieces);
  ASSERT_EQ(Exchange({0x49}), 12);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), reply.begin()));
  EXPECT_LT(lastMs, 200) << "the loop must end once length + 4 bytes are in, not at the time limit";
  EXPECT_LT(waiter.waits, 20) << "each piece costs a wait, not a spin";
}

TEST_F(ExchangeTest, WrongStartAndEndBytesAreAccepted) {
  std::vector<uint8_t> frame = Framed({0x78, '1', '2'});
  frame.front() = 0x00;
  frame.back() = 0x99;
  AnswerAlways(Whole(frame));
  EXPECT_EQ(Exchange({0x78}), 3);
  EXPECT_EQ(reply[1], '1');
}

TEST_F(ExchangeTest, TrailingBytesAfterTheFrameAreIgnored) {
  std::vector<uint8_t> bytes = Framed({0x78, 'v'});
  bytes.insert(bytes.end(), {0xF0, 0x05, 0x01});
  AnswerAlways(Whole(bytes));
  EXPECT_EQ(Exchange({0x78}), 2);
  EXPECT_EQ(reply[1], 'v');
}

TEST_F(ExchangeTest, TwoHundredFiftyOneBytesPassAndTwoHundredFiftyTwoAreRefused) {
  std::vector<uint8_t> data(247);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i ^ 0xA5);
  std::vector<uint8_t> frame = Framed(data);
  ASSERT_EQ(frame.size(), 251u);

  AnswerAlways(Whole(frame));
  ASSERT_EQ(Exchange({0x78}), 247);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), reply.begin()));

  // The same valid frame with one byte more after it: 252 bytes in all.
  std::vector<uint8_t> longer = frame;
  longer.push_back(0x00);
  AnswerAlways(Whole(longer));
  EXPECT_EQ(Exchange({0x78}), 0);
}

TEST_F(ExchangeTest, OversizeReplyIsRefusedAndConsumedSoTheNextExchangeIsClean) {
  std::vector<uint8_t> garbage(300);
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(0xFF - i);
  garbage[1] = 0xFF;
  Answer([&](const SeenRequest& request) {
    return request.data[0] == 0x78 ? Whole(garbage) : FramedReply({0x49, 'S', 'N'});
  });
  EXPECT_EQ(Exchange({0x78}), 0);
  ASSERT_EQ(Exchange({0x49}), 3);
  EXPECT_EQ(reply[1], 'S');
}

TEST_F(ExchangeTest, PartialReplyAtTheTimeLimitIsRefused) {
  // Announces three data bytes, then stops after four bytes.
  AnswerAlways(Whole({0xF0, 0x03, 0x78, 0x31}));
  EXPECT_EQ(Exchange({0x78}), 0);
  EXPECT_GE(lastMs, kReplyTimeLimitMs);
  EXPECT_LT(waiter.waits, 20);
}

TEST_F(ExchangeTest, ReplyWithoutDataYieldsZero) {
  AnswerAlways(Whole({0xF0, 0x00, 0x00, 0xF2}));
  EXPECT_EQ(Exchange({0x78}), 0);
  EXPECT_LT(lastMs, kReplyTimeLimitMs) << "the empty frame is complete; no need to wait it out";
}

TEST_F(ExchangeTest, BadChecksumIsRefused) {
  std::vector<uint8_t> frame = Framed({0x78, 'a'});
  frame[frame.size() - 2] ^= 0x01;
  AnswerAlways(Whole(frame));
  EXPECT_EQ(Exchange({0x78}), 0);
}

TEST_F(ExchangeTest, SilentLoggerCostsTheTimeLimitAsleep) {
  AnswerAlways(NoReply());
  EXPECT_EQ(Exchange({0x78}), 0);
  EXPECT_GE(lastMs, kReplyTimeLimitMs);
  EXPECT_LT(lastMs, kReplyTimeLimitMs + 200);
  EXPECT_LE(waiter.waits, 5);
}

TEST_F(ExchangeTest, MissingPortSleepsOutTheLimitAndIsTriedAgainNextTime) {
  devicePath = "/nonexistent/ttyUSB0";
  EXPECT_EQ(Exchange({0x78}), 0);
  EXPECT_FALSE(link.comm.IsOk());
  EXPECT_EQ(link.comm.WaitDescriptor(), -1);
  EXPECT_GE(lastMs, kReplyTimeLimitMs);
  EXPECT_LE(waiter.waits, 5);

  devicePath = logger.path();
  AnswerAlways(FramedReply({0x78}));
  EXPECT_EQ(Exchange({0x78}), 1);
  EXPECT_EQ(link.comm.Status(), kCommOk);
}

TEST_F(ExchangeTest, HealthyPortKeepsItsRateUntilItIsReopened) {
  AnswerAlways(FramedReply({0x78}));
  ASSERT_EQ(Exchange({0x78}), 1);
  link.baudRate = 57600;
  ASSERT_EQ(Exchange({0x78}), 1);
  auto seen = logger.Requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].speed, B9600) << "a healthy port is used as it stands";
}

TEST_F(ExchangeTest, LateBytesOfAnEarlierReplyCountAsTheStartOfTheNext) {
  Answer([](const SeenRequest& request) {
    if (request.data[0] == 0x78) return Reply{{Framed({0x78, 'a'}), 350}};
    return FramedReply({0x49, 'b'});
  });
  EXPECT_EQ(Exchange({0x78}), 0);
  // Give the late reply time to land in the queue before the next request.
  waiter.inner.Wait(-1, 120);
  EXPECT_EQ(Exchange({0x49}), 2) << "the late frame is taken as this reply";
  EXPECT_EQ(reply[0], 0x78);
  EXPECT_EQ(Exchange({0x49}), 2);
  EXPECT_EQ(reply[0], 0x49) << "the retry starts with an empty queue";
}

TEST_F(ExchangeTest, NestedExchangeIsRefusedAtOnce) {
  AnswerAlways({{Framed({0x78}), 60}});
  int nestedResult = -1;
  int64_t nestedMs = -1;
  waiter.onWait = [&] {
    if (nestedResult != -1) return;
    EXPECT_TRUE(link.Exchanging());
    const uint8_t erase[2] = {0xB1, 0x46};
    uint8_t nestedReply[256];
    int64_t started = SteadyMilliseconds();
    nestedResult = ExchangeFrame(link, erase, 2, nestedReply);
    nestedMs = SteadyMilliseconds() - started;
  };
  EXPECT_EQ(Exchange({0x78}), 1);
  EXPECT_EQ(nestedResult, 0);
  EXPECT_LT(nestedMs, 5);
  EXPECT_EQ(logger.Requests().size(), 1u) << "nothing of the nested request reached the line";
  EXPECT_FALSE(link.Exchanging());
}

TEST_F(ExchangeTest, HangUpMidReplyEndsTheWaitAndTheNextExchangeReopens) {
  AnswerAlways({ReplyPiece{{0xF0, 0x05, 0x78}, 0, true}});
  EXPECT_EQ(Exchange({0x78}), 0);
  EXPECT_LT(lastMs, kReplyTimeLimitMs) << "a dead line ends the wait at once";
  EXPECT_LE(waiter.waits, 3);
  EXPECT_FALSE(link.comm.Refresh());

  PtyFakeLogger replacement([](const SeenRequest&, int) { return FramedReply({0x78, 'o', 'k'}); });
  devicePath = replacement.path();
  ASSERT_EQ(Exchange({0x78}), 3);
  EXPECT_EQ(reply[1], 'o');
  EXPECT_EQ(replacement.Requests().size(), 1u);
}

TEST_F(ExchangeTest, RequestLengthOutsideOneToTwoHundredFiftyTwoIsRefused) {
  AnswerAlways(FramedReply({0x78}));
  EXPECT_EQ(ExchangeFrame(link, reply.data(), 0, reply.data()), 0);
  EXPECT_EQ(ExchangeFrame(link, reply.data(), 253, reply.data()), 0);
  EXPECT_TRUE(logger.Requests().empty());
}

TEST_F(ExchangeTest, TranscriptRecordsEachExchange) {
  std::vector<ExchangeRecord> records;
  link.transcript = [&](const ExchangeRecord& record) { records.push_back(record); };
  AnswerAlways(FramedReply({0x78, 'z'}));
  ASSERT_EQ(Exchange({0x78}), 2);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].request, (std::vector<uint8_t>{0xF0, 0x01, 0x78, 0x79, 0xF2}));
  EXPECT_EQ(records[0].received, Framed({0x78, 'z'}));
  EXPECT_EQ(records[0].receivedCount, 6u);
  EXPECT_FALSE(records[0].viaUsbAdapter);
  EXPECT_EQ(records[0].lineRate, 9600u) << "the rate the port really runs at";
  EXPECT_EQ(records[0].result, 2);
  EXPECT_LT(records[0].elapsedMs, kReplyTimeLimitMs);

  // A flood is refused; every byte of it, those dropped too, is in the record.
  AnswerAlways(Reply{ReplyPiece{std::vector<uint8_t>(400, 0x55), 0}});
  EXPECT_EQ(Exchange({0x78}), 0);
  EXPECT_EQ(records.back().received, std::vector<uint8_t>(400, 0x55));
  EXPECT_EQ(records.back().receivedCount, 400u);
}

// With a clock that only moves when the waiter sleeps, the limit is exact.
TEST(ExchangeClock, LimitCountsFromTheHandOverOnTheLinkClock) {
  PtyFakeLogger logger;
  Link link(nullptr);
  link.portNo = 1;
  link.SetPortResolver(FixedPortResolver(logger.path()));
  int64_t now = 1000;
  int64_t sleptMs = 0;
  struct ClockWaiter : Waiter {
    int64_t* now;
    int64_t* slept;
    void Wait(int, int timeoutMs) override {
      *now += timeoutMs;
      *slept += timeoutMs;
    }
  } waiter;
  waiter.now = &now;
  waiter.slept = &sleptMs;
  link.SetWaiter(waiter);
  link.clock = [&] { return now; };
  uint8_t request = 0x78;
  uint8_t reply[256];
  EXPECT_EQ(ExchangeFrame(link, &request, 1, reply), 0);
  EXPECT_EQ(sleptMs, kReplyTimeLimitMs);
}

}  // namespace
}  // namespace orvald
