#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "link/exchange.h"
#include "link/sysfs_usb_adapter.h"
#include "logger/commands.h"
#include "logger/identity.h"
#include "support/fake_sysfs_tree.h"
#include "tests/logger/link_fixture.h"

namespace orvald {
namespace {

using testing::FakeSystemTree;
using testing::FramedReply;
using testing::LinkFixture;
using testing::NoReply;
using testing::PtyFakeLogger;
using testing::Reply;
using testing::SeenRequest;

std::vector<uint8_t> Echo(uint8_t command, const std::string& text) {
  std::vector<uint8_t> data(1 + text.size(), command);
  std::copy(text.begin(), text.end(), data.begin() + 1);
  return data;
}

class ProbeTest : public LinkFixture {};

TEST_F(ProbeTest, LoggerAnsweringOnTheThirdAttemptIsFound) {
  Answer([](const SeenRequest&, int index) { return index < 2 ? NoReply() : FramedReply(Echo('x', "VER 5.1A")); });
  EXPECT_EQ(ProbeLogger(link), 1);
  EXPECT_EQ(SentData(), (std::vector<std::vector<uint8_t>>(3, {0x78})));
}

TEST_F(ProbeTest, ValidRepliesThatDoNotStartWithXFindNothing) {
  Answer([](const SeenRequest&, int) { return FramedReply(Echo('I', "12345")); });
  EXPECT_EQ(ProbeLogger(link), 0);
  EXPECT_EQ(logger.Requests().size(), 3u);
}

TEST_F(ProbeTest, ProbeAnswersOnTheFirstReplyAndPutsTheLineBackToDetectionRate) {
  Answer([](const SeenRequest&, int) { return FramedReply({0x78}); });
  link.baudRate = 57600;
  const uint8_t x = 0x78;
  uint8_t reply[256];
  ASSERT_EQ(ExchangeFrame(link, &x, 1, reply), 1);  // opens the port at 57600
  ASSERT_EQ(logger.Requests().back().speed, B57600);

  EXPECT_EQ(ProbeLogger(link), 1);
  EXPECT_EQ(link.baudRate, 9600u);
  EXPECT_EQ(logger.Requests().size(), 2u);
  EXPECT_EQ(logger.Requests().back().speed, B9600);
}

class RateTest : public LinkFixture {
 protected:
  // Echoes set-rate requests; `confirm` decides per request number.
  void EchoRates(std::function<bool(int)> confirm) {
    Answer([confirm](const SeenRequest& request, int index) {
      return confirm(index) ? FramedReply(request.data) : NoReply();
    });
  }
};

TEST_F(RateTest, ConfirmedSwitchSendsTwiceOldRateThenNewRate) {
  EchoRates([](int) { return true; });
  EXPECT_EQ(RateCode(57600), 3);
  EXPECT_EQ(SetLoggerRate(link, 57600), 57600u);
  EXPECT_EQ(link.baudRate, 57600u);
  auto requests = logger.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].frame, (std::vector<uint8_t>{0xF0, 0x03, 0xC1, 0x41, 0x03, 0x80, 0xF2}));
  EXPECT_EQ(requests[0].speed, B9600);
  EXPECT_EQ(requests[1].data, (std::vector<uint8_t>{0xC1, 0x41, 0x03}));
  EXPECT_EQ(requests[1].speed, B57600);
}

TEST_F(RateTest, FirstReplyIsIgnoredOnlyTheSecondCounts) {
  EchoRates([](int index) { return index == 1; });
  EXPECT_EQ(SetLoggerRate(link, 115200), 115200u);
  EXPECT_EQ(logger.Requests()[1].data[2], 4);
}

TEST_F(RateTest, UnconfirmedSwitchFallsBackButLeavesTheLineAtTheNewRate) {
  EchoRates([](int index) { return index == 0 || index == 2; });
  EXPECT_EQ(SetLoggerRate(link, 57600), 9600u);
  EXPECT_EQ(link.baudRate, 9600u);
  termios line = logger.SlaveSettings();
  EXPECT_EQ(cfgetospeed(&line), B57600) << "the next detection cycle puts the line back";
}

TEST_F(RateTest, ALostFirstRequestIsSentOnceMoreAtTheOldRate) {
  // A logger at 9600 that misses the first request, so it never hears the
  // confirmation at 57600; the request goes out again at 9600.
  speed_t loggerSpeed = B9600;
  Answer([&loggerSpeed](const SeenRequest& request, int index) {
    if (request.speed != loggerSpeed || index == 0) return NoReply();
    loggerSpeed = B57600;
    return FramedReply(request.data);
  });
  EXPECT_EQ(SetLoggerRate(link, 57600), 57600u);
  std::vector<speed_t> speeds;
  for (const SeenRequest& request : logger.Requests()) speeds.push_back(request.speed);
  EXPECT_EQ(speeds, (std::vector<speed_t>{B9600, B57600, B9600, B57600}));
}

TEST_F(RateTest, WrongEchoIsNoConfirmation) {
  Answer([](const SeenRequest&, int) { return FramedReply({0xC1, 0x41, 0x02}); });
  EXPECT_EQ(SetLoggerRate(link, 57600), 9600u);
  Answer([](const SeenRequest&, int) { return FramedReply({0xC1, 0x41}); });
  EXPECT_EQ(SetLoggerRate(link, 57600), 9600u);
}

TEST_F(RateTest, RateNotInTheTableSendsCodeZeroAndBecomesNineThousandSixHundred) {
  EchoRates([](int) { return true; });
  EXPECT_EQ(SetLoggerRate(link, 12345), 9600u);
  ASSERT_EQ(logger.Requests().size(), 2u);
  EXPECT_EQ(logger.Requests()[0].data, (std::vector<uint8_t>{0xC1, 0x41, 0x00}));
  EXPECT_EQ(logger.Requests()[1].speed, B9600);
  for (uint32_t rate : {0u, 4800u, 9600u, 230400u}) EXPECT_EQ(RateCode(rate), 0) << rate;
  EXPECT_EQ(RateCode(19200), 1);
  EXPECT_EQ(RateCode(38400), 2);
}

TEST(RateWithAdapter, AdapterPresentReturnsTheRateAndSendsNothing) {
  FakeSystemTree tree;
  PtyFakeLogger adapter, serial;
  tree.Plug("ttyUSB0", "PikketUSB", adapter.path());
  Link link(std::make_unique<SysfsUsbAdapter>(tree.sys(), tree.dev()));
  link.portNo = 1;
  link.SetPortResolver(FixedPortResolver(serial.path()));
  EXPECT_EQ(SetLoggerRate(link, 57600), 57600u);
  EXPECT_EQ(SetLoggerRate(link, 12345), 12345u);
  EXPECT_TRUE(adapter.Requests().empty());
  EXPECT_TRUE(serial.Requests().empty());
  EXPECT_EQ(link.usbAdapter->WaitDescriptor(), -1) << "closed again after the look";
  EXPECT_EQ(link.comm.Status(), kCommNeverOpened);
}

class IdentityTest : public LinkFixture {};

TEST_F(IdentityTest, SerialTextOfFiveAndOfTwelveCharacters) {
  Answer([](const SeenRequest&, int) { return FramedReply(Echo('I', "AB123")); });
  EXPECT_EQ(QueryIdentity(link), "AB123");
  Answer([](const SeenRequest&, int) { return FramedReply(Echo('I', "000000123456")); });
  EXPECT_EQ(QueryIdentity(link), "00000012345");
  EXPECT_EQ(SentData().back(), (std::vector<uint8_t>{0x49}));
}

TEST_F(IdentityTest, TextEndsAtTheFirstZeroByte) {
  std::vector<uint8_t> data = Echo('I', "ABC");
  data.insert(data.end(), {0x00, 'D', 'E'});
  Answer([data](const SeenRequest&, int) { return FramedReply(data); });
  EXPECT_EQ(QueryIdentity(link), "ABC");
}

TEST_F(IdentityTest, NoValidAnswerGivesAnEmptyText) {
  Answer([](const SeenRequest&, int) { return FramedReply(Echo('x', "12345")); });
  EXPECT_EQ(QueryIdentity(link), "");
  Answer([](const SeenRequest&, int) { return FramedReply({'I'}); });
  EXPECT_EQ(QueryIdentity(link), "");
  Answer([](const SeenRequest&, int) { return NoReply(); });
  EXPECT_EQ(QueryIdentity(link), "");
}

TEST_F(IdentityTest, VersionOneTwoBGivesItsTypeText) {
  Answer([](const SeenRequest&, int) { return FramedReply(Echo('x', "ABCD1.2b")); });
  const std::string version = QueryVersion(link);
  EXPECT_EQ(version, "ABCD1.2b");
  LoggerIdentity identity = MakeLoggerIdentity("00000012345", version);
  EXPECT_EQ(identity.firmwareByte, 0x12);
  EXPECT_EQ(identity.versionSuffix, 'b');
  EXPECT_EQ(identity.typeText, "1.2b");
  EXPECT_EQ(identity.serialText, "00000012345");
}

TEST_F(IdentityTest, VersionTextIsCutAtEightCharacters) {
  Answer([](const SeenRequest&, int) { return FramedReply(Echo('x', "VER 5.1A-extra")); });
  EXPECT_EQ(QueryVersion(link), "VER 5.1A");
  EXPECT_EQ(MakeLoggerIdentity("", "VER 5.1A").typeText, "5.1A");
  LoggerIdentity none = MakeLoggerIdentity("", "");
  EXPECT_EQ(none.firmwareByte, 0);
  EXPECT_EQ(none.versionSuffix, 0);
}

class MemoryTest : public LinkFixture {
 protected:
  MemoryTest() {
    memory.resize(32 * 65536);
    for (size_t i = 0; i < memory.size(); ++i) memory[i] = static_cast<uint8_t>((i * 131) ^ (i >> 9));
    Serve(0);
  }
  // Answers memory reads from `memory`, `missing` data bytes short.
  void Serve(int missing) {
    Answer([this, missing](const SeenRequest& request, int) {
      const auto& d = request.data;
      if (d.size() != 6 || d[0] != 0xB1 || d[1] != 0x52) return NoReply();
      const size_t at = d[2] * 65536u + d[3] + d[4] * 256u;
      std::vector<uint8_t> reply{0xB1, 0x52};
      reply.insert(reply.end(), memory.begin() + at, memory.begin() + at + d[5] - missing);
      return FramedReply(reply);
    });
  }
  std::vector<uint8_t> memory;
};

TEST_F(MemoryTest, PiecesAndHeadersArriveAsStored) {
  uint8_t piece[245];
  ASSERT_EQ(ReadLoggerMemory(link, piece, 128, 5, 0x8000), 128);
  EXPECT_TRUE(std::equal(piece, piece + 128, memory.begin() + 5 * 65536 + 0x8000));
  EXPECT_EQ(SentData().back(), (std::vector<uint8_t>{0xB1, 0x52, 0x05, 0x00, 0x80, 0x80}));

  ASSERT_EQ(ReadLoggerMemory(link, piece, 32, 31, 0), 32);
  EXPECT_TRUE(std::equal(piece, piece + 32, memory.begin() + 31 * 65536));

  ASSERT_EQ(ReadLoggerMemory(link, piece, 245, 2, 65536 - 245), 245);
  EXPECT_TRUE(std::equal(piece, piece + 245, memory.begin() + 3 * 65536 - 245));
}

TEST_F(MemoryTest, ShortReplyIsAFailureAndCopiesNothing) {
  Serve(1);
  uint8_t piece[128];
  std::memset(piece, 0xAA, sizeof piece);
  EXPECT_EQ(ReadLoggerMemory(link, piece, 128, 0, 0), 0);
  EXPECT_TRUE(std::all_of(piece, piece + 128, [](uint8_t b) { return b == 0xAA; }));
}

TEST_F(MemoryTest, ReplyWithoutTheReadHeaderIsAFailure) {
  Answer([](const SeenRequest&, int) {
    std::vector<uint8_t> data(34, 0x00);
    data[0] = 0xB1;
    data[1] = 0x46;
    return FramedReply(data);
  });
  uint8_t piece[32];
  EXPECT_EQ(ReadLoggerMemory(link, piece, 32, 0, 0), 0);
}

TEST_F(MemoryTest, RequestsOutsideTheCommandsFieldsAreNotSent) {
  uint8_t piece[256];
  EXPECT_EQ(ReadLoggerMemory(link, piece, 0, 0, 0), 0);
  EXPECT_EQ(ReadLoggerMemory(link, piece, 246, 0, 0), 0);
  EXPECT_EQ(ReadLoggerMemory(link, piece, 8, 256, 0), 0);
  EXPECT_EQ(ReadLoggerMemory(link, piece, 8, 0, 65536), 0);
  EXPECT_EQ(ReadLoggerMemory(link, piece, 8, -1, 0), 0);
  EXPECT_TRUE(logger.Requests().empty());
}

TEST_F(MemoryTest, CommandsObjectGoesOverTheSameLink) {
  LinkLoggerCommands commands(link);
  LoggerCommands& asSessionSeesIt = commands;
  uint8_t piece[128];
  ASSERT_EQ(asSessionSeesIt.ReadLoggerMemory(piece, 128, 1, 384), 128);
  EXPECT_TRUE(std::equal(piece, piece + 128, memory.begin() + 65536 + 384));
}

}  // namespace
}  // namespace orvald
