// Frames on the wire and the request parser.

#include <gtest/gtest.h>

#include "sim/frame.h"

namespace orvald::sim {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Frames, EncodeGivesTheWorkedFrames) {
  EXPECT_EQ(EncodeFrame({0x78}), Bytes({0xF0, 0x01, 0x78, 0x79, 0xF2}));
  EXPECT_EQ(EncodeFrame({0x49}), Bytes({0xF0, 0x01, 0x49, 0x48, 0xF2}));
  EXPECT_EQ(EncodeFrame({0xC1, 0x41, 0x03}), Bytes({0xF0, 0x03, 0xC1, 0x41, 0x03, 0x80, 0xF2}));
  EXPECT_EQ(EncodeFrame({0xB1, 0x52, 0x05, 0x80, 0x00, 0x80}),
            Bytes({0xF0, 0x06, 0xB1, 0x52, 0x05, 0x80, 0x00, 0x80, 0xE0, 0xF2}));
  EXPECT_EQ(EncodeFrame({0xB1, 0x46}), Bytes({0xF0, 0x02, 0xB1, 0x46, 0xF5, 0xF2}));
  EXPECT_EQ(EncodeFrame({}), Bytes({0xF0, 0x00, 0x00, 0xF2}));
}

std::vector<Bytes> FeedAll(FrameParser& parser, const Bytes& bytes) {
  std::vector<Bytes> frames;
  for (uint8_t b : bytes) {
    if (parser.Feed(b)) frames.push_back(parser.frameData());
  }
  return frames;
}

TEST(FrameParser, FindsFramesAmongNoiseAndAcrossFeeds) {
  FrameParser parser;
  // Noise, a frame fed in two parts, then a frame whose data holds F0 and F2.
  Bytes stream = {0x00, 0x13, 0xF2};
  const Bytes first = EncodeFrame({0xB1, 0x52, 0x05, 0x80, 0x00, 0x80});
  const Bytes second = EncodeFrame({0xF0, 0xF2, 0xF0});
  stream.insert(stream.end(), first.begin(), first.end());
  stream.insert(stream.end(), second.begin(), second.end());
  const auto frames = FeedAll(parser, stream);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], Bytes({0xB1, 0x52, 0x05, 0x80, 0x00, 0x80}));
  EXPECT_EQ(frames[1], Bytes({0xF0, 0xF2, 0xF0}));
  EXPECT_EQ(parser.rejectedFrames(), 0);
}

TEST(FrameParser, DropsBadFramesAndResynchronisesInsideThem) {
  FrameParser parser;
  // A wrong checksum, then a wrong end byte: both dropped.
  Bytes bad1 = EncodeFrame({0x78});
  bad1[3] ^= 1;
  Bytes bad2 = EncodeFrame({0x49});
  bad2[4] = 0x00;
  Bytes stream = bad1;
  stream.insert(stream.end(), bad2.begin(), bad2.end());
  EXPECT_TRUE(FeedAll(parser, stream).empty());
  EXPECT_EQ(parser.rejectedFrames(), 2);

  // A stray F0 announcing a long frame must not swallow the real request
  // that follows: the parser rescans after the failed start.
  FrameParser again;
  Bytes noisy = {0xF0, 0x03};
  const Bytes real = EncodeFrame({0x78});
  noisy.insert(noisy.end(), real.begin(), real.end());
  const auto frames = FeedAll(again, noisy);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], Bytes({0x78}));
}

TEST(FrameParser, ZeroLengthFrameAndReset) {
  FrameParser parser;
  const auto frames = FeedAll(parser, {0xF0, 0x00, 0x00, 0xF2});
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_TRUE(frames[0].empty());

  FeedAll(parser, {0xF0, 0x01});
  EXPECT_TRUE(parser.midFrame());
  parser.Reset();
  EXPECT_FALSE(parser.midFrame());
  // After the reset the half frame's remains are noise, not data.
  EXPECT_TRUE(FeedAll(parser, {0x78, 0x79, 0xF2}).empty());
}

}  // namespace
}  // namespace orvald::sim
