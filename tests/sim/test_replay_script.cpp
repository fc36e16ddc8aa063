#include <gtest/gtest.h>

#include <vector>

#include "sim/replay_script.h"

namespace orvald::sim {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kVersion{0xF0, 0x01, 0x78, 0x79, 0xF2};
const Bytes kIdentify{0xF0, 0x01, 0x49, 0x48, 0xF2};

TEST(ReplayScript, SameRequestsGetTheirRecordedRepliesInOrder) {
  // A version request that went unanswered and was sent again.
  ReplayScript script({{kVersion, {}}, {kVersion, {0xF0, 0x01, 0x78, 0x79, 0xF2}}, {kIdentify, {0x00, 0x13}}});
  EXPECT_EQ(script.Answer(kVersion), Bytes{});
  EXPECT_EQ(script.Answer(kVersion), (Bytes{0xF0, 0x01, 0x78, 0x79, 0xF2}));
  EXPECT_EQ(script.Answer(kIdentify), (Bytes{0x00, 0x13})) << "recorded garbage is sent as it came";
  EXPECT_EQ(script.Answer(kIdentify), Bytes{}) << "past the end of the recording nothing answers";
  EXPECT_EQ(script.unmatched(), 1u);
}

TEST(ReplayScript, AStrayRequestDoesNotSkipTheRecording) {
  ReplayScript script({{kVersion, {0x01}}, {kIdentify, {0x02}}});
  EXPECT_EQ(script.Answer(kIdentify), Bytes{0x02}) << "a later entry for the same request is found";
  EXPECT_EQ(script.Answer(kVersion), Bytes{}) << "entries before the place are used up";
  EXPECT_EQ(script.position(), 2u);

  ReplayScript other({{kVersion, {0x01}}, {kIdentify, {0x02}}});
  EXPECT_EQ(other.Answer({0xF0, 0x01, 0x55, 0x54, 0xF2}), Bytes{});
  EXPECT_EQ(other.position(), 0u);
  EXPECT_EQ(other.Answer(kVersion), Bytes{0x01});
}

}  // namespace
}  // namespace orvald::sim
