#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "link/exchange.h"
#include "link/sysfs_usb_adapter.h"
#include "support/fake_sysfs_tree.h"
#include "support/pty_fake_logger.h"

namespace orvald {
namespace {

using testing::FakeSystemTree;
using testing::FramedReply;
using testing::PtyFakeLogger;
using testing::ReplyPiece;
using testing::SeenRequest;

TEST(SysfsUsbAdapter, FindsTheTerminalWhoseUsbDeviceNamesTheProduct) {
  FakeSystemTree tree;
  PtyFakeLogger other, adapter;
  tree.Plug("ttyUSB0", "FT232R USB UART", other.path(), 1);
  tree.Plug("ttyUSB1", "PikketUSB", adapter.path(), 2);
  SysfsUsbAdapter usb(tree.sys(), tree.dev());
  EXPECT_EQ(usb.FindDevicePath(), tree.dev() + "/ttyUSB1");
}

TEST(SysfsUsbAdapter, AnotherProductOrNoDeviceNodeIsNoAdapter) {
  FakeSystemTree tree;
  PtyFakeLogger logger;
  tree.Plug("ttyUSB0", "FT232R USB UART", logger.path());
  SysfsUsbAdapter usb(tree.sys(), tree.dev());
  EXPECT_EQ(usb.FindDevicePath(), "");
  EXPECT_FALSE(usb.Open());
  EXPECT_EQ(OpenUsbAdapter(&usb), nullptr);
  EXPECT_EQ(OpenUsbAdapter(nullptr), nullptr);

  SysfsUsbAdapter missingTree(tree.sys() + "/nothing", tree.dev());
  EXPECT_EQ(missingTree.FindDevicePath(), "");
}

TEST(SysfsUsbAdapter, OpensRawAtTheAdapterRateAndHoldsItExclusively) {
  FakeSystemTree tree;
  PtyFakeLogger logger;
  termios cooked = logger.SlaveSettings();
  cooked.c_lflag |= ICANON | ECHO;
  cooked.c_cflag |= CRTSCTS;
  logger.SetSlaveSettings(cooked);
  tree.Plug("ttyUSB0", "PikketUSB", logger.path());

  SysfsUsbAdapter usb(tree.sys(), tree.dev());
  UsbAdapterHandle handle = OpenUsbAdapter(&usb);
  ASSERT_NE(handle, nullptr);
  termios settings = logger.SlaveSettings();
  EXPECT_EQ(cfgetospeed(&settings), B115200);
  EXPECT_EQ(settings.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_EQ(settings.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));

  SysfsUsbAdapter second(tree.sys(), tree.dev());
  EXPECT_FALSE(second.Open()) << "held by the first";
  CloseUsbAdapter(handle);
  EXPECT_EQ(usb.WaitDescriptor(), -1);
  EXPECT_TRUE(second.Open());
}

TEST(SysfsUsbAdapter, PluggingAndUnpluggingShowsAtTheNextLookup) {
  FakeSystemTree tree;
  PtyFakeLogger logger;
  SysfsUsbAdapter usb(tree.sys(), tree.dev());
  // Quick succession on purpose: changes closer together than the file
  // system's time stamps can tell apart.
  for (int round = 0; round < 5; ++round) {
    EXPECT_EQ(usb.FindDevicePath(), "") << round;
    EXPECT_EQ(usb.FindDevicePath(), "") << round;
    tree.Plug("ttyUSB0", "PikketUSB", logger.path());
    EXPECT_EQ(usb.FindDevicePath(), tree.dev() + "/ttyUSB0") << round;
    EXPECT_EQ(usb.FindDevicePath(), tree.dev() + "/ttyUSB0") << round;
    tree.Unplug("ttyUSB0");
  }
  // After the folders have settled the cached answer is used, and still
  // follows a change.
  ::usleep(120'000);
  EXPECT_EQ(usb.FindDevicePath(), "");
  EXPECT_EQ(usb.FindDevicePath(), "");
  tree.Plug("ttyUSB0", "PikketUSB", logger.path());
  EXPECT_EQ(usb.FindDevicePath(), tree.dev() + "/ttyUSB0");
  ::usleep(120'000);
  EXPECT_EQ(usb.FindDevicePath(), tree.dev() + "/ttyUSB0");
  // Only the device node goes (udev removes it first).
  std::filesystem::remove(tree.dev() + "/ttyUSB0");
  EXPECT_EQ(usb.FindDevicePath(), "");
}

class AdapterAndSerialTest : public ::testing::Test {
 protected:
  AdapterAndSerialTest() : link(MakeAdapter()) {
    link.ChoosePort(1);
    link.SetPortResolver(FixedPortResolver(serial.path()));
    adapter.SetResponder([](const SeenRequest&, int) { return FramedReply({0x78, 'U'}); });
    serial.SetResponder([](const SeenRequest&, int) { return FramedReply({0x78, 'S'}); });
  }
  // Which logger answered: 'U' through the adapter, 'S' on the serial port.
  char Exchange() {
    const uint8_t request = 0x78;
    uint8_t reply[256] = {};
    return ExchangeFrame(link, &request, 1, reply) == 2 ? static_cast<char>(reply[1]) : '-';
  }

  std::unique_ptr<SysfsUsbAdapter> MakeAdapter() {
    auto made = std::make_unique<SysfsUsbAdapter>(tree.sys(), tree.dev());
    adapterBackend = made.get();
    return made;
  }

  FakeSystemTree tree;
  PtyFakeLogger adapter, serial;
  SysfsUsbAdapter* adapterBackend = nullptr;  // owned by the link
  Link link;
};

TEST_F(AdapterAndSerialTest, ExchangesFollowTheAdapterAsItComesAndGoes) {
  tree.Plug("ttyUSB0", "PikketUSB", adapter.path());
  EXPECT_EQ(Exchange(), 'U');
  EXPECT_FALSE(link.serialPort().IsOpen() || link.serialPort().OpenError().failed())
      << "the serial port is not touched while the adapter is there";
  EXPECT_EQ(adapterBackend->WaitDescriptor(), -1) << "the adapter is closed between exchanges";
  ASSERT_EQ(adapter.Requests().size(), 1u);
  EXPECT_EQ(adapter.Requests()[0].speed, B115200);

  tree.Unplug("ttyUSB0");
  EXPECT_EQ(Exchange(), 'S');
  EXPECT_EQ(serial.Requests().size(), 1u);
  EXPECT_EQ(serial.Requests()[0].speed, B9600);

  tree.Plug("ttyUSB0", "PikketUSB", adapter.path());
  EXPECT_EQ(Exchange(), 'U');
  tree.Unplug("ttyUSB0");
  EXPECT_EQ(Exchange(), 'S');
  EXPECT_EQ(adapter.Requests().size(), 2u);
  EXPECT_EQ(serial.Requests().size(), 2u);
}

TEST_F(AdapterAndSerialTest, AdapterOfAnotherProductLeavesTheSerialPortInCharge) {
  tree.Plug("ttyUSB0", "USB-Serial Controller", adapter.path());
  EXPECT_EQ(Exchange(), 'S');
  EXPECT_TRUE(adapter.Requests().empty());
}

TEST_F(AdapterAndSerialTest, AdapterPulledOutMidReplyEndsTheWaitThenTheSerialPortTakesOver) {
  adapter.SetResponder([](const SeenRequest&, int) { return testing::Reply{ReplyPiece{{0xF0, 0x02}, 0, true}}; });
  tree.Plug("ttyUSB0", "PikketUSB", adapter.path());
  const int64_t started = SteadyMilliseconds();
  EXPECT_EQ(Exchange(), '-');
  EXPECT_LT(SteadyMilliseconds() - started, kReplyTimeLimitMs);
  tree.Unplug("ttyUSB0");
  EXPECT_EQ(Exchange(), 'S');
}

}  // namespace
}  // namespace orvald
