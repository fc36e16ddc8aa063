// Fault decisions and what each fault does to a reply.

#include <gtest/gtest.h>

#include "sim/fault_plan.h"
#include "sim/frame.h"
#include "sim/reply_shaper.h"
#include "line_client.h"

namespace orvald::sim {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(FaultRules, ParseTheThreeForms) {
  FaultRule rule;
  ASSERT_TRUE(ParseFaultRule(FaultKind::kDrop, "", rule));
  EXPECT_TRUE(rule.always);
  ASSERT_TRUE(ParseFaultRule(FaultKind::kDrop, "always", rule));
  EXPECT_TRUE(rule.always);
  ASSERT_TRUE(ParseFaultRule(FaultKind::kStall, "0.25", rule));
  EXPECT_FALSE(rule.always);
  EXPECT_DOUBLE_EQ(rule.probability, 0.25);
  ASSERT_TRUE(ParseFaultRule(FaultKind::kSplit, "@3,7,12", rule));
  EXPECT_EQ(rule.atRequests, (std::set<uint64_t>{3, 7, 12}));
  for (const char* bad : {"1.5", "-0.1", "@", "@0", "@3,,4", "@x", "often"}) {
    EXPECT_FALSE(ParseFaultRule(FaultKind::kDrop, bad, rule)) << bad;
  }
  FaultKind kind;
  EXPECT_TRUE(FaultFromName("no-rate-ack", kind));
  EXPECT_EQ(kind, FaultKind::kNoRateAck);
  EXPECT_FALSE(FaultFromName("nonsense", kind));
}

std::vector<uint32_t> Decisions(const std::vector<FaultRule>& rules, uint64_t seed, int count) {
  FaultPlan plan(rules, seed);
  std::vector<uint32_t> out;
  for (int n = 1; n <= count; ++n) out.push_back(plan.Decide(static_cast<uint64_t>(n)));
  return out;
}

TEST(FaultPlan, RequestNumbersAndSeededProbabilities) {
  FaultRule at;
  ParseFaultRule(FaultKind::kSplit, "@2,5", at);
  FaultRule maybe;
  ParseFaultRule(FaultKind::kDrop, "0.3", maybe);
  const auto a = Decisions({at, maybe}, 42, 2000);
  // Listed requests, and only those, get the listed fault.
  for (size_t i = 0; i < a.size(); ++i) EXPECT_EQ(Has(a[i], FaultKind::kSplit), i == 1 || i == 4) << i;
  // The probability holds roughly, and the seed replays the run exactly.
  int drops = 0;
  for (uint32_t d : a) drops += Has(d, FaultKind::kDrop);
  EXPECT_GT(drops, 2000 * 0.25);
  EXPECT_LT(drops, 2000 * 0.35);
  EXPECT_EQ(a, Decisions({at, maybe}, 42, 2000));
  EXPECT_NE(a, Decisions({at, maybe}, 43, 2000));
  // A fault that fires at a request number does not shift the random ones.
  FaultRule never;
  ParseFaultRule(FaultKind::kStall, "@1999", never);
  const auto b = Decisions({at, maybe}, 42, 50);
  const auto c = Decisions({at, never}, 42, 50);
  for (size_t i = 0; i < 50; ++i) EXPECT_EQ(Has(b[i], FaultKind::kSplit), Has(c[i], FaultKind::kSplit));
}

ShapedReply Shape(CommandKind command, const Bytes& data, uint32_t faults, FaultSettings settings = {}) {
  SimRandom random(7);
  return ShapeReply(command, ModelReply{data, 0}, faults, settings, random);
}

const Bytes kMemoryReply = [] {
  Bytes d = {0xB1, 0x52};
  for (int i = 0; i < 128; ++i) d.push_back(static_cast<uint8_t>(i));
  return d;
}();

TEST(ReplyShaper, WithoutFaultsTheReplyIsOneWholeFrame) {
  const ShapedReply s = Shape(CommandKind::kReadMemory, kMemoryReply, 0);
  EXPECT_EQ(s.bytes, EncodeFrame(kMemoryReply));
  EXPECT_EQ(s.pieces, std::vector<size_t>{s.bytes.size()});
  EXPECT_EQ(s.delayMs, 0);
  EXPECT_TRUE(s.faults.empty());
}

TEST(ReplyShaper, SilentFaultsApplyToTheirCommandsOnly) {
  EXPECT_TRUE(Shape(CommandKind::kVersion, {0x78}, Bit(FaultKind::kDrop)).bytes.empty());
  EXPECT_TRUE(Shape(CommandKind::kIdentify, {0x49, '1'}, Bit(FaultKind::kNoIdentity)).bytes.empty());
  EXPECT_FALSE(Shape(CommandKind::kVersion, {0x78}, Bit(FaultKind::kNoIdentity)).bytes.empty());
  EXPECT_TRUE(Shape(CommandKind::kSetRate, {0xC1, 0x41, 3}, Bit(FaultKind::kNoRateAck)).bytes.empty());
  EXPECT_FALSE(Shape(CommandKind::kIdentify, {0x49}, Bit(FaultKind::kNoRateAck)).bytes.empty());
  EXPECT_TRUE(RequestIsLost(CommandKind::kIdentify, Bit(FaultKind::kNoIdentity)));
  EXPECT_FALSE(RequestIsLost(CommandKind::kSetRate, Bit(FaultKind::kNoRateAck)));
  // Short replies are for memory reads only.
  EXPECT_EQ(Shape(CommandKind::kVersion, {0x78, 'a', 'b'}, Bit(FaultKind::kShort)).bytes,
            EncodeFrame({0x78, 'a', 'b'}));
}

TEST(ReplyShaper, BrokenRepliesFailTheComputersChecks) {
  const auto garbage = Shape(CommandKind::kReadMemory, kMemoryReply, Bit(FaultKind::kGarbage));
  EXPECT_FALSE(garbage.bytes.empty());
  EXPECT_FALSE(simtest::AcceptReply(garbage.bytes));
  FaultSettings sized;
  sized.garbageBytes = 40;
  EXPECT_EQ(Shape(CommandKind::kVersion, {0x78}, Bit(FaultKind::kGarbage), sized).bytes.size(), 40u);

  const auto oversize = Shape(CommandKind::kReadMemory, kMemoryReply, Bit(FaultKind::kOversize));
  ASSERT_EQ(oversize.bytes.size(), 300u);
  EXPECT_EQ(oversize.bytes[1], 0xFF);  // the frame itself is whole and valid...
  const Bytes frame(oversize.bytes.begin(), oversize.bytes.begin() + 259);
  uint8_t x = 0;
  for (size_t i = 1; i <= 257; ++i) x ^= frame[i];
  EXPECT_EQ(x, 0);
  EXPECT_FALSE(simtest::AcceptReply(oversize.bytes));  // ...but far too long

  const auto badSum = Shape(CommandKind::kReadMemory, kMemoryReply, Bit(FaultKind::kBadChecksum));
  EXPECT_EQ(badSum.bytes.size(), kMemoryReply.size() + 4);
  EXPECT_FALSE(simtest::AcceptReply(badSum.bytes));
}

TEST(ReplyShaper, ShortAndTrailingRepliesStayValidFrames) {
  FaultSettings settings;
  settings.shortBy = 30;
  settings.trailingBytes = 3;
  const auto shortReply = Shape(CommandKind::kReadMemory, kMemoryReply, Bit(FaultKind::kShort), settings);
  auto data = simtest::AcceptReply(shortReply.bytes);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->size(), kMemoryReply.size() - 30);
  EXPECT_TRUE(std::equal(data->begin(), data->end(), kMemoryReply.begin()));

  const auto trailing = Shape(CommandKind::kReadMemory, kMemoryReply, Bit(FaultKind::kTrailing), settings);
  EXPECT_EQ(trailing.bytes.size(), kMemoryReply.size() + 4 + 3);
  EXPECT_EQ(trailing.pieces.size(), 1u);
  data = simtest::AcceptReply(trailing.bytes);
  ASSERT_TRUE(data);
  EXPECT_EQ(*data, kMemoryReply);
}

TEST(ReplyShaper, FramesThatLookRightButAreNot) {
  // Zero data bytes: valid, and yet no answer.
  EXPECT_EQ(Shape(CommandKind::kVersion, {0x78, 'a'}, Bit(FaultKind::kEmpty)).bytes, Bytes({0xF0, 0x00, 0x00, 0xF2}));
  // Another command's byte first.
  auto data = simtest::AcceptReply(Shape(CommandKind::kVersion, {0x78, 'a'}, Bit(FaultKind::kForeign)).bytes);
  ASSERT_TRUE(data);
  EXPECT_EQ(*data, Bytes({0x79, 'a'}));
  // Wrong start and end bytes, which the computer does not examine.
  const auto ends = Shape(CommandKind::kReadMemory, kMemoryReply, Bit(FaultKind::kWrongEnds));
  EXPECT_EQ(ends.bytes.front(), 0x00);
  EXPECT_EQ(ends.bytes.back(), 0x00);
  data = simtest::AcceptReply(ends.bytes);
  ASSERT_TRUE(data);
  EXPECT_EQ(*data, kMemoryReply);
  // A reply of length 3 that stops after four bytes.
  const auto cut = Shape(CommandKind::kSetRate, {0xC1, 0x41, 0x03}, Bit(FaultKind::kTruncate));
  EXPECT_EQ(cut.bytes, Bytes({0xF0, 0x03, 0xC1, 0x41}));
  EXPECT_FALSE(simtest::AcceptReply(cut.bytes));
}

TEST(ReplyShaper, SplitAndStallChangeOnlyTheTiming) {
  FaultSettings settings;
  settings.splitPieces = 4;
  settings.splitDelayMs = 25;
  const auto s = Shape(CommandKind::kReadMemory, kMemoryReply, Bit(FaultKind::kSplit) | Bit(FaultKind::kStall), settings);
  EXPECT_EQ(s.bytes, EncodeFrame(kMemoryReply));
  ASSERT_EQ(s.pieces.size(), 4u);
  size_t total = 0;
  for (size_t p : s.pieces) {
    EXPECT_GT(p, 0u);
    total += p;
  }
  EXPECT_EQ(total, s.bytes.size());
  EXPECT_EQ(s.pieceGapMs, 25);
  EXPECT_EQ(s.delayMs, 400);
  EXPECT_EQ(s.faults, "stall,split");
}

TEST(ReplyShaper, NoModelReplyMeansSilenceWhateverTheFaults) {
  SimRandom random(1);
  const auto s = ShapeReply(CommandKind::kUnknown, std::nullopt, Bit(FaultKind::kGarbage) | Bit(FaultKind::kOversize),
                            FaultSettings{}, random);
  EXPECT_TRUE(s.bytes.empty());
}

}  // namespace
}  // namespace orvald::sim
