// A memory reply that comes after its exchange gave up must not be taken as
// the answer to the next read: memory replies carry no address, so it would
// put one piece's bytes in the place of another.

#include <gtest/gtest.h>

#include <vector>

#include "link/exchange.h"
#include "link_fixture.h"
#include "logger/commands.h"
#include "tracklog/raw_image.h"

namespace orvald {
namespace {

using testing::Framed;
using testing::Reply;
using testing::ReplyPiece;
using testing::SeenRequest;

// The piece at `offset` of block 0: every byte is its offset's high and low byte summed.
std::vector<uint8_t> PieceAt(int offset) {
  std::vector<uint8_t> data{0xB1, 0x52};
  for (int i = 0; i < kPieceSize; ++i) data.push_back(static_cast<uint8_t>((offset + i) * 7 + (offset >> 7)));
  return data;
}

class LateReplyTest : public testing::LinkFixture {
 protected:
  // Answers memory reads in order, the first `lateCount` of them `lateMs` late.
  void AnswerReadsLate(int lateCount, int lateMs) {
    Answer([lateCount, lateMs](const SeenRequest& request, int index) {
      const int offset = request.data[3] | (request.data[4] << 8);
      return Reply{ReplyPiece{Framed(PieceAt(offset)), index < lateCount ? lateMs : 0}};
    });
  }
  std::vector<uint8_t> Read(int offset) {
    std::vector<uint8_t> piece(kPieceSize, 0);
    const int got = ReadLoggerMemory(link, piece.data(), kPieceSize, 0, offset);
    return got == kPieceSize ? piece : std::vector<uint8_t>{};
  }
};

std::vector<uint8_t> Expected(int offset) {
  const std::vector<uint8_t> data = PieceAt(offset);
  return {data.begin() + 2, data.end()};
}

TEST_F(LateReplyTest, TheNextPieceGetsItsOwnBytesAfterALateReply) {
  AnswerReadsLate(1, 450);
  EXPECT_TRUE(Read(0).empty()) << "the reply came after the 300 ms limit";
  EXPECT_EQ(Read(128), Expected(128));
  EXPECT_EQ(Read(256), Expected(256));
}

TEST_F(LateReplyTest, ARetryAfterALateReplyGetsTheRightPieceAndSoDoesTheNext) {
  AnswerReadsLate(2, 420);
  EXPECT_TRUE(Read(0).empty());
  EXPECT_TRUE(Read(0).empty()) << "the retry's reply is late as well";
  EXPECT_EQ(Read(0), Expected(0));
  EXPECT_EQ(Read(128), Expected(128));
}

TEST_F(LateReplyTest, SettlingAQuietLineLeavesItUsable) {
  AnswerReadsLate(0, 0);
  ASSERT_EQ(Read(0), Expected(0)) << "opens the port";
  SettleLine(link, 50);
  EXPECT_EQ(Read(128), Expected(128));
}

}  // namespace
}  // namespace orvald
