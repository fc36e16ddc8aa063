// One request and its checked reply, on an in-memory line with a fake clock:
// framing, replies in pieces, the limits, and what is refused.

#include <gtest/gtest.h>

#include <unistd.h>

#include <vector>

#include "link/exchange.h"
#include "support/fake_line.h"

namespace orvald {
namespace {

using testing::FrameOf;

class ExchangeTest : public ::testing::Test {
 protected:
  // The logger answers each request with `pieces`: bytes and the delay after the request.
  using Pieces = std::vector<std::pair<std::vector<uint8_t>, int>>;
  void AnswerWith(Pieces pieces) {
    fake.line.onWrite = [this, pieces](const std::vector<uint8_t>&) {
      for (const auto& [bytes, delay] : pieces) fake.line.Send(bytes, delay);
    };
  }
  void AnswerWith(std::vector<uint8_t> bytes) { AnswerWith(Pieces{{std::move(bytes), 2}}); }
  int Exchange(const std::vector<uint8_t>& request, ExchangeOutcome* outcome = nullptr) {
    const int64_t started = fake.line.nowMs;
    const int result =
        ExchangeFrame(fake.link, request.data(), static_cast<uint8_t>(request.size()), reply.data(), outcome);
    lastMs = fake.line.nowMs - started;
    return result;
  }

  testing::FakeLink fake;
  std::vector<uint8_t> reply = std::vector<uint8_t>(256, 0xEE);
  int64_t lastMs = 0;
};

TEST_F(ExchangeTest, WorkedFramesOnTheWire) {
  AnswerWith(FrameOf({0xB1, 0x46}));
  for (const std::vector<uint8_t>& request : std::vector<std::vector<uint8_t>>{
           {0x78}, {0x49}, {0xC1, 0x41, 0x03}, {0xB1, 0x52, 0x05, 0x80, 0x00, 0x80}}) {
    ASSERT_EQ(Exchange(request), 2);
    EXPECT_EQ(reply[0], 0xB1);
    EXPECT_EQ(reply[1], 0x46);
  }
  const std::vector<std::vector<uint8_t>> expected{
      {0xF0, 0x01, 0x78, 0x79, 0xF2},
      {0xF0, 0x01, 0x49, 0x48, 0xF2},
      {0xF0, 0x03, 0xC1, 0x41, 0x03, 0x80, 0xF2},
      {0xF0, 0x06, 0xB1, 0x52, 0x05, 0x80, 0x00, 0x80, 0xE0, 0xF2}};
  EXPECT_EQ(fake.line.written, expected);
  EXPECT_EQ(FrameOf({0xB1, 0x46}), (std::vector<uint8_t>{0xF0, 0x02, 0xB1, 0x46, 0xF5, 0xF2}));
}

TEST_F(ExchangeTest, ReplyInPiecesIsAssembledAndTheWaitEndsWhenItIsComplete) {
  const std::vector<uint8_t> data{0x49, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K'};
  const std::vector<uint8_t> frame = FrameOf(data);
  // The length byte comes alone, so the exchange first expects 5 bytes and
  // only learns the real size from the second piece on.
  AnswerWith(Pieces{{{frame[0]}, 0},
                    {{frame[1]}, 20},
                    {{frame.begin() + 2, frame.begin() + 6}, 40},
                    {{frame.begin() + 6, frame.end()}, 60},
                    {{0x55, 0x66}, 200}});
  ASSERT_EQ(Exchange({0x49}), 12);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), reply.begin()));
  EXPECT_EQ(lastMs, 60) << "done once length + 4 bytes are in, not at the time limit";
  EXPECT_LE(fake.waiter.waits, 4) << "each piece costs a wait, never a spin";
}

TEST_F(ExchangeTest, StartAndEndBytesAndTrailingBytesAreNotExamined) {
  std::vector<uint8_t> frame = FrameOf({0x78, '1', '2'});
  frame.front() = 0x00;
  frame.back() = 0x99;
  AnswerWith(frame);
  EXPECT_EQ(Exchange({0x78}), 3);
  EXPECT_EQ(reply[1], '1');

  std::vector<uint8_t> trailing = FrameOf({0x78, 'v'});
  trailing.insert(trailing.end(), {0xF0, 0x05, 0x01});
  AnswerWith(trailing);
  ExchangeOutcome outcome;
  EXPECT_EQ(Exchange({0x78}, &outcome), 2);
  EXPECT_EQ(reply[1], 'v');
  EXPECT_FALSE(outcome.wholeFrame) << "bytes came after it";
}

TEST_F(ExchangeTest, TwoHundredFiftyOneBytesPassTwoHundredFiftyTwoAreRefusedAndDrained) {
  std::vector<uint8_t> data(247);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i ^ 0xA5);
  const std::vector<uint8_t> frame = FrameOf(data);
  ASSERT_EQ(frame.size(), 251u);
  AnswerWith(frame);
  ASSERT_EQ(Exchange({0x78}), 247);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), reply.begin()));

  // The same valid frame with more after it: 252 bytes or more in all. What
  // waits of the flood is taken in, so the next exchange does not start inside it.
  std::vector<uint8_t> longer = frame;
  longer.insert(longer.end(), 300, 0x55);
  AnswerWith(longer);
  EXPECT_EQ(Exchange({0x78}), 0);
  AnswerWith(FrameOf({0x49, 'S', 'N'}));
  ASSERT_EQ(Exchange({0x49}), 3);
  EXPECT_EQ(reply[1], 'S');
}

TEST_F(ExchangeTest, IncompleteEmptyOrGarbledRepliesYieldZero) {
  AnswerWith({0xF0, 0x03, 0x78, 0x31});  // announces three data bytes, stops after four bytes
  EXPECT_EQ(Exchange({0x78}), 0);
  EXPECT_EQ(lastMs, kReplyTimeLimitMs);

  AnswerWith({0xF0, 0x00, 0x00, 0xF2});
  EXPECT_EQ(Exchange({0x78}), 0);
  EXPECT_LT(lastMs, kReplyTimeLimitMs) << "the empty frame is complete; no need to wait it out";

  std::vector<uint8_t> garbled = FrameOf({0x78, 'a'});
  garbled[garbled.size() - 2] ^= 0x01;
  AnswerWith(garbled);
  ExchangeOutcome outcome;
  EXPECT_EQ(Exchange({0x78}, &outcome), 0);
  EXPECT_TRUE(outcome.wholeFrame) << "it came whole: this request's own answer";
  EXPECT_EQ(outcome.announcedLength, 2);
}

// What ended an exchange, so a retry can tell a pulled cable from a bad reply.
TEST_F(ExchangeTest, EachWayAnExchangeEndsHasItsOwnStatus) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int64_t hangUpAtMs;
    LineStatus status;
  };
  std::vector<uint8_t> badSum = FrameOf({0x78, 'a'});
  badSum[4] ^= 0x01;
  const std::vector<Case> cases{
      {"a good reply", FrameOf({0x78, 'a'}), -1, LineStatus::kOk},
      {"silence", {}, -1, LineStatus::kTimeout},
      {"half a frame", {0xF0, 0x05, 0x78}, -1, LineStatus::kTimeout},
      {"a bad checksum", badSum, -1, LineStatus::kProtocolError},
      {"a frame of length 0", {0xF0, 0x00, 0x00, 0xF2}, -1, LineStatus::kProtocolError},
      {"a hang-up mid reply", {0xF0, 0x05, 0x78}, 10, LineStatus::kHangUp},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fake.line.nowMs += 1000;
    fake.line.readOffset += fake.line.unread();
    fake.line.hangUpAtMs = c.hangUpAtMs < 0 ? -1 : fake.line.nowMs + c.hangUpAtMs;
    AnswerWith(c.bytes.empty() ? Pieces{} : Pieces{{c.bytes, 2}});
    ExchangeOutcome outcome;
    Exchange({0x78}, &outcome);
    EXPECT_EQ(outcome.status, c.status);
  }
  fake.line.hangUpAtMs = -1;
  ExchangeOutcome outcome;
  EXPECT_EQ(ExchangeFrame(fake.link, reply.data(), 0, reply.data(), &outcome), 0);
  EXPECT_EQ(outcome.status, LineStatus::kRefused);
}

TEST_F(ExchangeTest, TheLimitCountsFromWhenTheRequestHasLeftTheLine) {
  // A slow line: the request takes 74 ms to go out; the reply comes 300 ms after that.
  fake.line.unsentMs = 74;
  AnswerWith(Pieces{{FrameOf({0xB1, 0x46}), 74 + 299}});
  EXPECT_EQ(Exchange({0xB1, 0x46}), 2);
  AnswerWith(Pieces{});
  EXPECT_EQ(Exchange({0x78}), 0);
  EXPECT_EQ(lastMs, 74 + kReplyTimeLimitMs);
}

TEST_F(ExchangeTest, LateBytesOfAnEarlierReplyCountAsTheStartOfTheNext) {
  fake.line.onWrite = [this](const std::vector<uint8_t>& request) {
    if (request[2] == 0x78) fake.line.Send(FrameOf({0x78, 'a'}), 350);
    else fake.line.Send(FrameOf({0x49, 'b'}), 2);
  };
  EXPECT_EQ(Exchange({0x78}), 0);
  fake.line.nowMs += 60;  // the late reply lands before the next request
  EXPECT_EQ(Exchange({0x49}), 2) << "the late frame is taken as this reply";
  EXPECT_EQ(reply[0], 0x78);
  EXPECT_EQ(Exchange({0x49}), 2);
  EXPECT_EQ(reply[0], 0x49);
}

TEST_F(ExchangeTest, NestedOrOverlongRequestsAreRefusedAndNeverReachTheLine) {
  AnswerWith(Pieces{{FrameOf({0x78}), 60}});
  int nestedResult = -1;
  fake.waiter.onWait = [&] {
    if (nestedResult != -1) return;
    EXPECT_TRUE(fake.link.Exchanging());
    const uint8_t erase[2] = {0xB1, 0x46};
    uint8_t nestedReply[256];
    nestedResult = ExchangeFrame(fake.link, erase, 2, nestedReply);
  };
  EXPECT_EQ(Exchange({0x78}), 1);
  EXPECT_EQ(nestedResult, 0);
  EXPECT_EQ(fake.line.written.size(), 1u);
  EXPECT_FALSE(fake.link.Exchanging());

  EXPECT_EQ(ExchangeFrame(fake.link, reply.data(), 0, reply.data()), 0);
  EXPECT_EQ(ExchangeFrame(fake.link, reply.data(), 253, reply.data()), 0);
  EXPECT_EQ(fake.line.written.size(), 1u);
}

TEST_F(ExchangeTest, AHangUpEndsTheWaitAtOnce) {
  AnswerWith(Pieces{{{0xF0, 0x05, 0x78}, 2}});
  fake.line.hangUpAtMs = 10;
  EXPECT_EQ(Exchange({0x78}), 0);
  EXPECT_EQ(lastMs, 10);
}

// A 128-byte memory read's reply: 134 bytes, the length byte second.
std::vector<uint8_t> LongReply() {
  std::vector<uint8_t> data(130);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  return FrameOf(data);
}

TEST_F(ExchangeTest, TheRestOfAReplyIsSleptThroughAtTheLinesOwnRateAndTakenInWhenWholeEvenIfLate) {
  // The line runs at 57600 though the link still holds 9600: the 132 bytes
  // after the length byte need 23 ms, not 138.
  fake.line.lineRate = 57600;
  const std::vector<uint8_t> frame = LongReply();
  const auto part = [&](size_t from, size_t to) { return std::vector<uint8_t>(frame.begin() + from, frame.begin() + to); };
  AnswerWith(Pieces{{part(0, 2), 2}, {part(2, 122), 23}, {part(122, 134), 25}});
  ASSERT_EQ(Exchange({0xB1, 0x52, 0, 0, 0, 128}), 130);
  EXPECT_TRUE(std::equal(frame.begin() + 2, frame.end() - 2, reply.begin()));
  EXPECT_EQ(lastMs, 25) << "taken in as soon as it is whole";
  ASSERT_GE(fake.waiter.sleeps.size(), 2u);
  EXPECT_EQ(fake.waiter.sleeps[1].wakeOn, WakeOn::kHangUp) << "no wake-up for each byte";
  EXPECT_GE(fake.waiter.sleeps[1].timeoutMs, 20);
  EXPECT_LE(fake.waiter.sleeps[1].timeoutMs, 23);
  EXPECT_LE(fake.waiter.waits, 4);

  // The rest comes long after its time: still waited for, within the limit.
  fake.waiter.sleeps.clear();
  AnswerWith(Pieces{{part(0, 2), 2}, {part(2, 134), 250}});
  ASSERT_EQ(Exchange({0xB1, 0x52, 0, 0, 0, 128}), 130);
  EXPECT_EQ(lastMs, 250);
  EXPECT_LE(fake.waiter.sleeps.size(), 3u);
}

TEST_F(ExchangeTest, AHangUpWhileTheRestIsSleptThroughEndsTheWait) {
  // At 9600 the rest would take 138 ms; the line goes at 30.
  fake.line.lineRate = 9600;
  const std::vector<uint8_t> frame = LongReply();
  AnswerWith(Pieces{{{frame.begin(), frame.begin() + 2}, 2}});
  fake.line.hangUpAtMs = 30;
  EXPECT_EQ(Exchange({0xB1, 0x52, 0, 0, 0, 128}), 0);
  EXPECT_EQ(lastMs, 30);
}

TEST(PollWaiter, ASleepThroughKnownBytesWakesForAHangUpButNotForBytes) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ASSERT_EQ(::write(ends[1], "ab", 2), 2);
  PollWaiter waiter;
  const int64_t started = SteadyMilliseconds();
  waiter.Wait(ends[0], 60, WakeOn::kHangUp);
  EXPECT_GE(SteadyMilliseconds() - started, 55) << "woken by the bytes";
  waiter.Wait(ends[0], 5000, WakeOn::kReadable);
  ::close(ends[1]);
  waiter.Wait(ends[0], 5000, WakeOn::kHangUp);
  EXPECT_LT(SteadyMilliseconds() - started, 2500) << "the bytes or the hang-up did not wake it";
  ::close(ends[0]);
}

TEST(Cancellation, SleepsOnItsLinksWaiterUntilTheDeadlineOrTheCancel) {
  testing::FakeLink fake;
  Cancellation cancel;
  fake.link.SetCancellation(&cancel);
  EXPECT_FALSE(cancel.SleepUntil(fake.line.nowMs + 700));
  EXPECT_EQ(fake.line.nowMs, 700);
  fake.waiter.onWait = [&] { cancel.Request(); };  // as a stop seen by the waiter raises it
  EXPECT_TRUE(cancel.SleepUntil(fake.line.nowMs + 5000));
  EXPECT_EQ(fake.waiter.waits, 2);
  EXPECT_TRUE(cancel.SleepUntil(fake.line.nowMs + 5000)) << "already cancelled: no sleep";
  EXPECT_EQ(fake.waiter.waits, 2);
}

TEST_F(ExchangeTest, WaitingForAnAnswerDropsEverythingBeforeItAndKeepsItsOwnLimit) {
  // Two late replies, a broken frame, then the answer: a frame of 3 data bytes.
  AnswerWith(Pieces{{FrameOf({0xB1, 0x52, 1, 2, 3, 4}), 700},
                    {{0x13, 0x37}, 10},
                    {FrameOf({0xB1, 0x52, 9}), 20}});
  const uint8_t request[6] = {0xB1, 0x52, 0, 0, 0, 1};
  uint8_t answer[256];
  const AnswerTest threeBytes = [](const uint8_t*, size_t length) { return length == 3; };
  ASSERT_EQ(ExchangeUntilAnswer(fake.link, request, 6, threeBytes, 1000, answer), 3);
  EXPECT_EQ(answer[2], 9);
  EXPECT_EQ(fake.line.unread(), 0u);

  // No answer: the wait ends at its limit, or at once when the operator aborted.
  AnswerWith(Pieces{});
  int64_t started = fake.line.nowMs;
  ExchangeOutcome outcome;
  EXPECT_EQ(ExchangeUntilAnswer(fake.link, request, 6, threeBytes, 1000, answer, &outcome), 0);
  EXPECT_EQ(fake.line.nowMs - started, 1000);
  EXPECT_EQ(outcome.status, LineStatus::kTimeout);
  Cancellation cancel;
  cancel.Request();
  fake.link.SetCancellation(&cancel);
  started = fake.line.nowMs;
  EXPECT_EQ(ExchangeUntilAnswer(fake.link, request, 6, threeBytes, 1000, answer, &outcome), 0);
  EXPECT_EQ(fake.line.nowMs, started);
  EXPECT_EQ(outcome.status, LineStatus::kCancelled);
}

}  // namespace
}  // namespace orvald
