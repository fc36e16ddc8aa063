#include <gtest/gtest.h>

#include <vector>

#include "link/frame.h"

namespace orvald {
namespace {

std::vector<uint8_t> Build(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> frame(data.size() + kFrameOverhead);
  EXPECT_EQ(BuildRequestFrame(data.data(), data.size(), frame.data()), frame.size());
  return frame;
}

TEST(Frame, WorkedRequestFrames) {
  EXPECT_EQ(Build({0x78}), (std::vector<uint8_t>{0xF0, 0x01, 0x78, 0x79, 0xF2}));
  EXPECT_EQ(Build({0x49}), (std::vector<uint8_t>{0xF0, 0x01, 0x49, 0x48, 0xF2}));
  EXPECT_EQ(Build({0xC1, 0x41, 0x03}), (std::vector<uint8_t>{0xF0, 0x03, 0xC1, 0x41, 0x03, 0x80, 0xF2}));
  EXPECT_EQ(Build({0xB1, 0x52, 0x05, 0x80, 0x00, 0x80}),
            (std::vector<uint8_t>{0xF0, 0x06, 0xB1, 0x52, 0x05, 0x80, 0x00, 0x80, 0xE0, 0xF2}));
  EXPECT_EQ(Build({0xB1, 0x46}), (std::vector<uint8_t>{0xF0, 0x02, 0xB1, 0x46, 0xF5, 0xF2}));
}

TEST(Frame, ReplyChecks) {
  std::vector<uint8_t> good{0xF0, 0x02, 0xB1, 0x46, 0xF5, 0xF2};
  EXPECT_EQ(CheckReply(good.data(), good.size()), 2u);
  // Start and end bytes are not examined.
  std::vector<uint8_t> oddEnds{0x00, 0x02, 0xB1, 0x46, 0xF5, 0x00};
  EXPECT_EQ(CheckReply(oddEnds.data(), oddEnds.size()), 2u);
  // The end byte itself may be missing: length + 3 bytes are not enough.
  EXPECT_EQ(CheckReply(good.data(), 5), 0u);
  std::vector<uint8_t> badSum{0xF0, 0x02, 0xB1, 0x46, 0xF4, 0xF2};
  EXPECT_EQ(CheckReply(badSum.data(), badSum.size()), 0u);
  EXPECT_EQ(CheckReply(good.data(), 0), 0u);
  EXPECT_EQ(CheckReply(good.data(), 1), 0u);
  std::vector<uint8_t> empty{0xF0, 0x00, 0x00, 0xF2};
  EXPECT_EQ(CheckReply(empty.data(), empty.size()), 0u);
}

TEST(Frame, TheReceivedCountBoundsTheReply) {
  std::vector<uint8_t> data(247, 0x5A);
  std::vector<uint8_t> area(256, 0xEE);
  BuildRequestFrame(data.data(), data.size(), area.data());
  EXPECT_EQ(CheckReply(area.data(), 251), 247u);
  EXPECT_EQ(CheckReply(area.data(), 252), 0u);
  EXPECT_EQ(CheckReply(area.data(), 400), 0u);
}

}  // namespace
}  // namespace orvald
