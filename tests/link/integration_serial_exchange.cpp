// The frame exchange on a real terminal: what only a serial port shows (its
// speed, a missing device, a hang-up, the reopening after one).

#include <gtest/gtest.h>

#include <cerrno>

#include <memory>
#include <vector>

#include "link/exchange.h"
#include "support/pty_fake_logger.h"

namespace orvald {
namespace {

using testing::FrameOf;
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
  void Wait(int fd, int timeoutMs, WakeOn wakeOn) override {
    ++waits;
    if (onWait) onWait();
    inner.Wait(fd, timeoutMs, wakeOn);
  }
  int waits = 0;
  std::function<void()> onWait;
  PollWaiter inner;
};

class ExchangeTest : public ::testing::Test {
 protected:
  ExchangeTest() : link(nullptr) {
    link.ChoosePort(1);
    link.SetPortResolver([this](const std::string&) { return devicePath; });
    link.SetWaiter(waiter);
    devicePath = logger.path();
  }

  std::vector<uint8_t> reply = std::vector<uint8_t>(256, 0xEE);
  ExchangeOutcome outcome;
  int Exchange(const std::vector<uint8_t>& request) {
    int64_t started = SteadyMilliseconds();
    int result = ExchangeFrame(link, request.data(), static_cast<uint8_t>(request.size()), reply.data(), &outcome);
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

TEST_F(ExchangeTest, MissingPortSleepsOutTheLimitAndIsTriedAgainNextTime) {
  devicePath = "/nonexistent/ttyUSB0";
  EXPECT_EQ(Exchange({0x78}), 0);
  EXPECT_EQ(outcome.status, LineStatus::kIoError) << "a port that is not there is no silent logger";
  EXPECT_EQ(outcome.errorNumber, ENOENT);
  EXPECT_EQ(link.serialPort().WaitDescriptor(), -1);
  EXPECT_GE(lastMs, kReplyTimeLimitMs);
  EXPECT_LE(waiter.waits, 5);

  devicePath = logger.path();
  AnswerAlways(FramedReply({0x78}));
  EXPECT_EQ(Exchange({0x78}), 1);
  EXPECT_EQ(outcome.status, LineStatus::kOk);
  EXPECT_EQ(link.serialPort().Fault().status, LineStatus::kOk);
}

TEST_F(ExchangeTest, HealthyPortKeepsItsRateUntilItIsReopened) {
  AnswerAlways(FramedReply({0x78}));
  ASSERT_EQ(Exchange({0x78}), 1);
  link.SetRateForNextOpen(57600);
  ASSERT_EQ(Exchange({0x78}), 1);
  auto seen = logger.Requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].speed, B9600) << "a healthy port is used as it stands";
}

TEST_F(ExchangeTest, HangUpMidReplyEndsTheWaitAndTheNextExchangeReopens) {
  AnswerAlways({ReplyPiece{{0xF0, 0x05, 0x78}, 0, true}});
  EXPECT_EQ(Exchange({0x78}), 0);
  EXPECT_LT(lastMs, kReplyTimeLimitMs) << "a dead line ends the wait at once";
  EXPECT_LE(waiter.waits, 3);
  EXPECT_EQ(outcome.status, LineStatus::kHangUp) << "a pulled cable, not a bad reply";
  EXPECT_EQ(link.serialPort().Fault().status, LineStatus::kHangUp);

  PtyFakeLogger replacement([](const SeenRequest&, int) { return FramedReply({0x78, 'o', 'k'}); });
  devicePath = replacement.path();
  ASSERT_EQ(Exchange({0x78}), 3);
  EXPECT_EQ(reply[1], 'o');
  EXPECT_EQ(replacement.Requests().size(), 1u);
}

TEST_F(ExchangeTest, TranscriptRecordsEachExchange) {
  std::vector<ExchangeRecord> records;
  link.SetTranscript([&](const ExchangeRecord& record) { records.push_back(record); });
  AnswerAlways(FramedReply({0x78, 'z'}));
  ASSERT_EQ(Exchange({0x78}), 2);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].request, (std::vector<uint8_t>{0xF0, 0x01, 0x78, 0x79, 0xF2}));
  EXPECT_EQ(records[0].received, FrameOf({0x78, 'z'}));
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

}  // namespace
}  // namespace orvald
