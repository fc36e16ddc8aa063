// The logger's commands on an in-memory line: the probe, the identity and
// version texts, and memory reads.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "logger/commands.h"
#include "logger/identity.h"
#include "support/fake_line.h"

namespace orvald {
namespace {

using testing::FrameOf;

class CommandsTest : public ::testing::Test {
 protected:
  // The logger answers each request's data with `answer`'s data, framed
  // (nothing when it gives none). Requests are kept, unframed.
  void Answer(std::function<std::vector<uint8_t>(const std::vector<uint8_t>&)> answer) {
    fake.line.onWrite = [this, answer](const std::vector<uint8_t>& frame) {
      const std::vector<uint8_t> data(frame.begin() + 2, frame.end() - 2);
      sent.push_back(data);
      const std::vector<uint8_t> reply = answer(data);
      if (!reply.empty()) fake.line.Send(FrameOf(reply), 3);
    };
  }
  static std::vector<uint8_t> Echo(uint8_t command, const std::string& text) {
    std::vector<uint8_t> data{command};
    data.insert(data.end(), text.begin(), text.end());
    return data;
  }

  testing::FakeLink fake;
  Link& link = fake.link;
  ReplyOrder order;
  std::vector<std::vector<uint8_t>> sent;
};

TEST_F(CommandsTest, TheProbeMakesThreeAttemptsAndWantsAnX) {
  int attempts = 0;
  Answer([&](const std::vector<uint8_t>&) { return ++attempts < 3 ? std::vector<uint8_t>{} : Echo('x', "VER 5.1A"); });
  EXPECT_EQ(ProbeLogger(link), 1);
  EXPECT_EQ(sent, std::vector<std::vector<uint8_t>>(3, {0x78}));

  sent.clear();
  Answer([](const std::vector<uint8_t>&) { return Echo('I', "12345"); });
  EXPECT_EQ(ProbeLogger(link), 0);
  EXPECT_EQ(sent.size(), 3u);
}

TEST_F(CommandsTest, IdentityIsTheTextAfterTheEchoAtMostElevenUpToAZero) {
  Answer([](const std::vector<uint8_t>&) { return Echo('I', "AB123"); });
  EXPECT_EQ(QueryIdentity(link, order), "AB123");
  Answer([](const std::vector<uint8_t>&) { return Echo('I', "000000123456"); });
  EXPECT_EQ(QueryIdentity(link, order), "00000012345");
  EXPECT_EQ(sent.back(), std::vector<uint8_t>{0x49});
  Answer([](const std::vector<uint8_t>&) { return Echo('I', std::string("ABC\0DE", 6)); });
  EXPECT_EQ(QueryIdentity(link, order), "ABC");
  // No valid answer: another command's echo, the echo alone, or nothing.
  for (const std::vector<uint8_t>& reply : {Echo('x', "12345"), std::vector<uint8_t>{'I'}, std::vector<uint8_t>{}}) {
    Answer([reply](const std::vector<uint8_t>&) { return reply; });
    EXPECT_EQ(QueryIdentity(link, order), "");
    fake.line.nowMs += 1000;
  }
}

// A logger still busy with earlier requests answers late and in order: the
// echo says which reply is the text asked for, however late it comes.
TEST_F(CommandsTest, IdentityAndVersionComeFromTheirOwnEchoWhateverCameBefore) {
  struct Case {
    uint8_t command;
    int delayMs;
    const char* expected;
  };
  for (const Case& c : {Case{'I', 3, "AB123"}, Case{'I', 900, "AB123"}, Case{'x', 700, "VER 5.1A"},
                        Case{'I', 1300, ""}}) {
    SCOPED_TRACE(c.delayMs);
    order.MarkInOrder();
    fake.line.onWrite = [&](const std::vector<uint8_t>&) {
      fake.line.Send(FrameOf({0xC1, 0x41, 0x03}), 1);  // a rate switch's late echo
      fake.line.Send(FrameOf({0xB1, 0x52, 1, 2, 3}), 1);
      fake.line.Send(FrameOf(c.command == 'I' ? Echo('I', "AB123") : Echo('x', "VER 5.1A")), c.delayMs);
    };
    const std::string text = c.command == 'I' ? QueryIdentity(link, order) : QueryVersion(link, order);
    EXPECT_EQ(text, c.expected);
    // Without its text, the reply may still come: nothing is taken on trust.
    EXPECT_EQ(order.inDoubt(), text.empty());
    fake.line.nowMs += 2000;
    fake.line.readOffset += fake.line.unread();
  }
}

TEST_F(CommandsTest, VersionTextGivesTheTypeAndIsCutAtEightCharacters) {
  Answer([](const std::vector<uint8_t>&) { return Echo('x', "ABCD1.2b"); });
  const LoggerIdentity identity = MakeLoggerIdentity("00000012345", QueryVersion(link, order));
  EXPECT_EQ(identity.versionText, "ABCD1.2b");
  EXPECT_EQ(identity.firmwareByte, 0x12);
  EXPECT_EQ(identity.versionSuffix, 'b');
  EXPECT_EQ(identity.typeText, "1.2b");
  Answer([](const std::vector<uint8_t>&) { return Echo('x', "VER 5.1A-extra"); });
  EXPECT_EQ(QueryVersion(link, order), "VER 5.1A");
  const LoggerIdentity none = MakeLoggerIdentity("", "");
  EXPECT_EQ(none.firmwareByte, 0);
  EXPECT_EQ(none.versionSuffix, 0);
}

class MemoryTest : public CommandsTest {
 protected:
  MemoryTest() {
    memory.resize(32 * 65536);
    for (size_t i = 0; i < memory.size(); ++i) memory[i] = static_cast<uint8_t>((i * 131) ^ (i >> 9));
    Serve(0);
  }
  // Answers memory reads from `memory`, `missing` data bytes short.
  void Serve(int missing) {
    Answer([this, missing](const std::vector<uint8_t>& d) {
      if (d.size() != 6 || d[0] != 0xB1 || d[1] != 0x52) return std::vector<uint8_t>{};
      const size_t at = d[2] * 65536u + d[3] + d[4] * 256u;
      std::vector<uint8_t> reply{0xB1, 0x52};
      reply.insert(reply.end(), memory.begin() + at, memory.begin() + at + d[5] - missing);
      return reply;
    });
  }
  std::vector<uint8_t> memory;
};

TEST_F(MemoryTest, PiecesAndHeadersArriveAsStored) {
  uint8_t piece[245];
  ASSERT_EQ(ReadLoggerMemory(link, order, piece, 128, 5, 0x8000), 128);
  EXPECT_TRUE(std::equal(piece, piece + 128, memory.begin() + 5 * 65536 + 0x8000));
  EXPECT_EQ(sent.back(), (std::vector<uint8_t>{0xB1, 0x52, 0x05, 0x00, 0x80, 0x80}));
  ASSERT_EQ(ReadLoggerMemory(link, order, piece, 32, 31, 0), 32);
  EXPECT_TRUE(std::equal(piece, piece + 32, memory.begin() + 31 * 65536));
  ASSERT_EQ(ReadLoggerMemory(link, order, piece, 245, 2, 65536 - 245), 245);
  EXPECT_TRUE(std::equal(piece, piece + 245, memory.begin() + 3 * 65536 - 245));
  // The command set as the session sees it goes over the same link.
  LinkLoggerCommands commands(link);
  ASSERT_EQ(static_cast<LoggerCommands&>(commands).ReadLoggerMemory(piece, 128, 1, 384).count, 128);
  EXPECT_TRUE(std::equal(piece, piece + 128, memory.begin() + 65536 + 384));
}

TEST_F(MemoryTest, AReplyOfAnotherSizeOrCommandIsAFailureAndCopiesNothing) {
  Serve(1);
  uint8_t piece[128];
  std::memset(piece, 0xAA, sizeof piece);
  EXPECT_EQ(ReadLoggerMemory(link, order, piece, 128, 0, 0), 0);
  EXPECT_TRUE(std::all_of(piece, piece + 128, [](uint8_t b) { return b == 0xAA; }));
  Answer([](const std::vector<uint8_t>&) {
    std::vector<uint8_t> data(34, 0x00);
    data[0] = 0xB1;
    data[1] = 0x46;
    return data;
  });
  EXPECT_EQ(ReadLoggerMemory(link, order, piece, 32, 0, 0), 0);
}

TEST_F(MemoryTest, RequestsOutsideTheCommandsFieldsAreNotSent) {
  uint8_t piece[256];
  EXPECT_EQ(ReadLoggerMemory(link, order, piece, 0, 0, 0), 0);
  EXPECT_EQ(ReadLoggerMemory(link, order, piece, 246, 0, 0), 0);
  EXPECT_EQ(ReadLoggerMemory(link, order, piece, 8, 256, 0), 0);
  EXPECT_EQ(ReadLoggerMemory(link, order, piece, 8, 0, 65536), 0);
  EXPECT_EQ(ReadLoggerMemory(link, order, piece, 8, -1, 0), 0);
  EXPECT_TRUE(sent.empty());
}

}  // namespace
}  // namespace orvald
