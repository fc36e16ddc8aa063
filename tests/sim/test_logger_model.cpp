// The logger's answers, without a line.

#include <gtest/gtest.h>

#include "sim/logger_model.h"
#include "tracklog/memory_image.h"

namespace orvald::sim {
namespace {

using Bytes = std::vector<uint8_t>;

std::vector<uint8_t> NumberedMemory() {
  std::vector<uint8_t> memory(kMemorySize);
  for (size_t i = 0; i < memory.size(); ++i) memory[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
  return memory;
}

Bytes EraseRequest() {
  Bytes r = {0xB1, 0x46, 0x20};
  r.insert(r.end(), ErasePattern().begin(), ErasePattern().end());
  return r;
}

TEST(LoggerModel, VersionAndIdentityCarryTheConfiguredTexts) {
  LoggerConfig config;
  config.serialText = "ABC12";
  config.versionText = "XYZW1.2b";
  LoggerModel model(config, {});
  auto version = model.Answer({0x78});
  ASSERT_TRUE(version);
  EXPECT_EQ(version->data, Bytes({0x78, 'X', 'Y', 'Z', 'W', '1', '.', '2', 'b'}));
  auto identity = model.Answer({0x49});
  ASSERT_TRUE(identity);
  EXPECT_EQ(identity->data, Bytes({0x49, 'A', 'B', 'C', '1', '2'}));
  EXPECT_EQ(version->newRate, 0);
}

TEST(LoggerModel, SetRateEchoesAndAnnouncesTheNewRate) {
  LoggerModel model({}, {});
  EXPECT_EQ(model.rate(), 9600);
  const int expected[] = {9600, 19200, 38400, 57600, 115200};
  for (uint8_t code = 0; code < 5; ++code) {
    auto reply = model.Answer({0xC1, 0x41, code});
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->data, Bytes({0xC1, 0x41, code}));
    EXPECT_EQ(reply->newRate, expected[code]);
  }
  // The rate changes only when the server says the echo is out.
  EXPECT_EQ(model.rate(), 9600);
  EXPECT_FALSE(model.Answer({0xC1, 0x41, 0x05}));
  model.ApplyRate(57600);
  model.Restart();
  EXPECT_EQ(model.rate(), 9600);
  EXPECT_EQ(CodeFromRate(57600), 3);
  EXPECT_EQ(CodeFromRate(12345), 0);
}

TEST(LoggerModel, ReadMemoryReturnsTheAddressedBytes) {
  const auto memory = NumberedMemory();
  LoggerModel model({}, memory);
  // The worked request: block 5, offset 0x0080, 128 bytes.
  auto reply = model.Answer({0xB1, 0x52, 0x05, 0x80, 0x00, 0x80});
  ASSERT_TRUE(reply);
  ASSERT_EQ(reply->data.size(), 130u);
  EXPECT_EQ(reply->data[0], 0xB1);
  EXPECT_EQ(reply->data[1], 0x52);
  const size_t base = 5 * kBlockSize + 0x80;
  EXPECT_TRUE(std::equal(reply->data.begin() + 2, reply->data.end(), memory.begin() + base));

  // High offset byte counts: offset 0xFF80 of block 31 is the memory's end.
  reply = model.Answer({0xB1, 0x52, 31, 0x80, 0xFF, 0x80});
  ASSERT_TRUE(reply);
  EXPECT_TRUE(std::equal(reply->data.begin() + 2, reply->data.end(), memory.end() - 128));

  // 245 bytes is the most a reply carries; more does not fit a frame.
  reply = model.Answer({0xB1, 0x52, 0, 0, 0, 245});
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->data.size(), 247u);
  EXPECT_FALSE(model.Answer({0xB1, 0x52, 0, 0, 0, 254}));

  // Beyond block 31 the flash reads as erased.
  reply = model.Answer({0xB1, 0x52, 40, 0, 0, 4});
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->data, Bytes({0xB1, 0x52, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(LoggerModel, EraseWipesOnlyOnTheExactRequest) {
  LoggerModel model({}, NumberedMemory());
  Bytes wrong = EraseRequest();
  wrong.back() ^= 1;
  EXPECT_FALSE(model.Answer(wrong));
  EXPECT_NE(model.memory()[100], 0xFF);

  auto reply = model.Answer(EraseRequest());
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->data, Bytes({0xB1, 0x46}));
  EXPECT_EQ(model.memory(), ErasedMemory());
}

TEST(LoggerModel, AForeignEraseReplyLeavesTheMemory) {
  LoggerConfig config;
  config.eraseReply = {0xB1, 0x45};
  const auto memory = NumberedMemory();
  LoggerModel model(config, memory);
  auto reply = model.Answer(EraseRequest());
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->data, Bytes({0xB1, 0x45}));
  EXPECT_EQ(model.memory(), memory);
}

TEST(LoggerModel, UnknownRequestsGetNoReply) {
  LoggerModel model({}, {});
  for (const Bytes& r : {Bytes{}, Bytes{0x79}, Bytes{0x78, 0x00}, Bytes{0xC1, 0x41}, Bytes{0xB1, 0x52, 0, 0, 0},
                         Bytes{0xB1, 0x46, 0x20}}) {
    EXPECT_FALSE(model.Answer(r)) << r.size();
    EXPECT_EQ(ClassifyRequest(r), CommandKind::kUnknown);
  }
}

}  // namespace
}  // namespace orvald::sim
