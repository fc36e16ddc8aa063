// The commands where the serial line itself matters: the speeds of the
// probe and of the rate switch, and the USB adapter standing in for it.

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


class ProbeTest : public LinkFixture {};

TEST_F(ProbeTest, ProbeAnswersOnTheFirstReplyAndPutsTheLineBackToDetectionRate) {
  Answer([](const SeenRequest&, int) { return FramedReply({0x78}); });
  link.SetLineRate(57600);
  const uint8_t x = 0x78;
  uint8_t reply[256];
  ASSERT_EQ(ExchangeFrame(link, &x, 1, reply), 1);  // opens the port at 57600
  ASSERT_EQ(logger.Requests().back().speed, B57600);

  EXPECT_EQ(ProbeLogger(link), 1);
  EXPECT_EQ(link.lineRate(), 9600u);
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
  EXPECT_EQ(SetLoggerRate(link, order, 57600), 57600u);
  EXPECT_EQ(link.lineRate(), 57600u);
  auto requests = logger.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].frame, (std::vector<uint8_t>{0xF0, 0x03, 0xC1, 0x41, 0x03, 0x80, 0xF2}));
  EXPECT_EQ(requests[0].speed, B9600);
  EXPECT_EQ(requests[1].data, (std::vector<uint8_t>{0xC1, 0x41, 0x03}));
  EXPECT_EQ(requests[1].speed, B57600);
}

TEST_F(RateTest, FirstReplyIsIgnoredOnlyTheSecondCounts) {
  EchoRates([](int index) { return index == 1; });
  EXPECT_EQ(SetLoggerRate(link, order, 115200), 115200u);
  EXPECT_EQ(logger.Requests()[1].data[2], 4);
}

TEST_F(RateTest, UnconfirmedSwitchFallsBackButLeavesTheLineAtTheNewRate) {
  EchoRates([](int index) { return index == 0 || index == 2; });
  EXPECT_EQ(SetLoggerRate(link, order, 57600), 9600u);
  EXPECT_EQ(link.lineRate(), 9600u);
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
  EXPECT_EQ(SetLoggerRate(link, order, 57600), 57600u);
  std::vector<speed_t> speeds;
  for (const SeenRequest& request : logger.Requests()) speeds.push_back(request.speed);
  EXPECT_EQ(speeds, (std::vector<speed_t>{B9600, B57600, B9600, B57600}));
}

TEST_F(RateTest, WrongEchoIsNoConfirmation) {
  Answer([](const SeenRequest&, int) { return FramedReply({0xC1, 0x41, 0x02}); });
  EXPECT_EQ(SetLoggerRate(link, order, 57600), 9600u);
  Answer([](const SeenRequest&, int) { return FramedReply({0xC1, 0x41}); });
  EXPECT_EQ(SetLoggerRate(link, order, 57600), 9600u);
}

TEST_F(RateTest, RateNotInTheTableSendsCodeZeroAndBecomesNineThousandSixHundred) {
  EchoRates([](int) { return true; });
  EXPECT_EQ(SetLoggerRate(link, order, 12345), 9600u);
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
  auto backend = std::make_unique<SysfsUsbAdapter>(tree.sys(), tree.dev());
  SysfsUsbAdapter* adapterBackend = backend.get();
  Link link(std::move(backend));
  ReplyOrder order;
  link.ChoosePort(1);
  link.SetPortResolver(FixedPortResolver(serial.path()));
  EXPECT_EQ(SetLoggerRate(link, order, 57600), 57600u);
  EXPECT_EQ(SetLoggerRate(link, order, 12345), 12345u);
  EXPECT_TRUE(adapter.Requests().empty());
  EXPECT_TRUE(serial.Requests().empty());
  EXPECT_EQ(adapterBackend->WaitDescriptor(), -1) << "closed again after the look";
  EXPECT_FALSE(link.serialPort().IsOpen() || link.serialPort().OpenError().failed());
}

}  // namespace
}  // namespace orvald
