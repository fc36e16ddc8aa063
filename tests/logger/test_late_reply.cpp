// A memory reply that comes after its exchange gave up must never be taken
// as the answer to another read: memory replies carry no address, so it
// would put one piece's bytes in the place of another. On an in-memory line
// with a fake clock, a logger answers in order and one of its replies comes
// late by various amounts; every read gives its own bytes or fails.

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "link/exchange.h"
#include "logger/commands.h"
#include "support/fake_line.h"
#include "tracklog/raw_image.h"

namespace orvald {
namespace {

using testing::FakeLink;

// The logger's memory: every byte is a function of its address.
uint8_t MemoryByte(int block, int address) { return static_cast<uint8_t>(address * 7 + (address >> 7) + block * 13); }

std::vector<uint8_t> Frame(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> frame(data.size() + kFrameOverhead);
  BuildRequestFrame(data.data(), data.size(), frame.data());
  return frame;
}

// Answers memory reads in order; request number n (from 0) comes delays[n]
// ms late, or not at all when its delay is negative; a request listed in
// `garbled` gets its frame with a broken checksum.
class InOrderLogger {
 public:
  explicit InOrderLogger(FakeLink& fake) : fake_(fake) {
    fake_.line.onWrite = [this](const std::vector<uint8_t>& request) { Answer(request); };
  }
  std::map<int, int> delays;
  std::map<int, bool> garbled;
  int requests = 0;
  int markers = 0;

 private:
  void Answer(const std::vector<uint8_t>& request) {
    const int n = requests++;
    if (request.size() != 10 || request[2] != 0xB1 || request[3] != 0x52) return;
    const int block = request[4];
    const int offset = request[5] | (request[6] << 8);
    const int count = request[7];
    if (count != kPieceSize && count != kBlockHeaderSize) ++markers;
    std::vector<uint8_t> data{0xB1, 0x52};
    for (int i = 0; i < count; ++i) data.push_back(MemoryByte(block, offset + i));
    std::vector<uint8_t> reply = Frame(data);
    if (garbled.count(n)) reply[reply.size() - 2] ^= 0x01;
    const int delay = delays.count(n) ? delays[n] : 2;
    if (delay >= 0) fake_.line.Send(reply, delay);
  }
  FakeLink& fake_;
};

// A read with the download's four attempts: the piece, or empty.
std::vector<uint8_t> ReadWithAttempts(Link& link, ReplyOrder& order, int block, int offset, int count = kPieceSize) {
  std::vector<uint8_t> piece(static_cast<size_t>(count));
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (ReadLoggerMemory(link, order, piece.data(), count, block, offset) == count) return piece;
  }
  return {};
}

std::vector<uint8_t> Expected(int block, int offset, int count = kPieceSize) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < count; ++i) bytes.push_back(MemoryByte(block, offset + i));
  return bytes;
}

struct LateCase {
  int lateRequest;  // which request's reply is late
  int delayMs;
  int count;        // pieces or block headers
};

class LateReplyTest : public ::testing::TestWithParam<LateCase> {};

TEST_P(LateReplyTest, EveryReadGetsItsOwnBytesOrFailsNeverAnothers) {
  const LateCase c = GetParam();
  FakeLink fake;
  ReplyOrder order;
  InOrderLogger logger(fake);
  logger.delays[c.lateRequest] = c.delayMs;

  int gotRight = 0;
  for (int k = 0; k < 6; ++k) {
    // Pieces of one block step through it; headers step through the blocks.
    const int block = c.count == kPieceSize ? 3 : k;
    const int offset = c.count == kPieceSize ? k * kPieceSize : 0;
    const std::vector<uint8_t> got = ReadWithAttempts(fake.link, order, block, offset, c.count);
    if (got.empty()) continue;
    ASSERT_EQ(got, Expected(block, offset, c.count)) << "read " << k << " took another request's reply";
    ++gotRight;
  }
  // Delays up to two seconds are put right within the attempts.
  EXPECT_EQ(gotRight, 6);
  EXPECT_FALSE(order.inDoubt());
}

INSTANTIATE_TEST_SUITE_P(Delays, LateReplyTest,
                         ::testing::Values(LateCase{0, 320, kPieceSize}, LateCase{1, 450, kPieceSize},
                                           LateCase{1, 750, kPieceSize}, LateCase{2, 1000, kPieceSize},
                                           LateCase{2, 1300, kPieceSize}, LateCase{3, 2000, kPieceSize},
                                           LateCase{0, 700, kBlockHeaderSize}, LateCase{2, 1300, kBlockHeaderSize},
                                           LateCase{4, 2000, kBlockHeaderSize}));

TEST(LateReply, AMarkerThatIsLateItselfStillKeepsStaleRepliesOut) {
  FakeLink fake;
  ReplyOrder order;
  InOrderLogger logger(fake);
  // The first read and the marker after it are both very late; later
  // markers have lengths of their own, so the late one is no answer to them.
  logger.delays[0] = 2500;
  logger.delays[1] = 2600;
  for (int k = 0; k < 4; ++k) {
    const std::vector<uint8_t> got = ReadWithAttempts(fake.link, order, 1, k * kPieceSize);
    if (!got.empty()) {
      EXPECT_EQ(got, Expected(1, k * kPieceSize));
    }
  }
  EXPECT_EQ(ReadWithAttempts(fake.link, order, 1, 4 * kPieceSize), Expected(1, 4 * kPieceSize));
}

TEST(LateReply, AWholeFrameThatOnlyFailedItsChecksumIsRetriedAtOnce) {
  FakeLink fake;
  ReplyOrder order;
  InOrderLogger logger(fake);
  logger.garbled[0] = true;
  const int64_t start = fake.line.nowMs;
  EXPECT_EQ(ReadWithAttempts(fake.link, order, 0, 0), Expected(0, 0));
  EXPECT_EQ(logger.requests, 2) << "no marker after the garbled frame";
  EXPECT_EQ(logger.markers, 0);
  EXPECT_LT(fake.line.nowMs - start, 50) << "no settling after a frame that came whole";
}

TEST(LateReply, AReplyOfAnotherLengthIsNeverTakenAndPutsTheRepliesInDoubt) {
  FakeLink fake;
  ReplyOrder order;
  fake.line.onWrite = [&](const std::vector<uint8_t>&) {
    // A whole, valid frame of 100 memory bytes for a read of 128.
    std::vector<uint8_t> data{0xB1, 0x52};
    data.resize(102, 0x11);
    fake.line.Send(Frame(data), 1);
  };
  std::vector<uint8_t> piece(kPieceSize);
  LineStatus status = LineStatus::kOk;
  EXPECT_EQ(ReadLoggerMemory(fake.link, order, piece.data(), kPieceSize, 0, 0, &status), 0);
  EXPECT_EQ(status, LineStatus::kProtocolError);
  EXPECT_TRUE(order.inDoubt());
}

TEST(LateReply, NoReadGoesOutWhileTheRepliesCannotBePutInOrder) {
  FakeLink fake;
  ReplyOrder order;
  InOrderLogger logger(fake);
  logger.delays[0] = -1;  // lost
  logger.delays[1] = -1;  // the marker lost as well
  std::vector<uint8_t> piece(kPieceSize);
  LineStatus status = LineStatus::kOk;
  EXPECT_EQ(ReadLoggerMemory(fake.link, order, piece.data(), kPieceSize, 0, 0), 0);
  EXPECT_EQ(ReadLoggerMemory(fake.link, order, piece.data(), kPieceSize, 0, 0, &status), 0);
  EXPECT_EQ(status, LineStatus::kTimeout);
  EXPECT_EQ(logger.requests, 2) << "the second read only sent a marker";
  EXPECT_TRUE(order.inDoubt());
  // A cancel cuts the putting in order short, and the read says so.
  Cancellation cancel;
  cancel.Request();
  fake.link.SetCancellation(&cancel);
  const int64_t before = fake.line.nowMs;
  EXPECT_EQ(ReadLoggerMemory(fake.link, order, piece.data(), kPieceSize, 0, 0, &status), 0);
  EXPECT_EQ(status, LineStatus::kCancelled);
  EXPECT_EQ(fake.line.nowMs, before);
  fake.link.SetCancellation(nullptr);
  EXPECT_EQ(ReadLoggerMemory(fake.link, order, piece.data(), kPieceSize, 0, 0), kPieceSize);
  EXPECT_EQ(piece, Expected(0, 0));
}

}  // namespace
}  // namespace orvald
