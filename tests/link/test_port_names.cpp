#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "link/port_names.h"
#include "link/stoppable_waiter.h"
#include "support/temp_dir.h"

namespace orvald {
namespace {

TEST(PortNames, NumberFormsComName) {
  EXPECT_EQ(PortName(1), "COM1");
  EXPECT_EQ(PortName(3), "COM3");
  EXPECT_EQ(PortName(9), "COM9");
  EXPECT_EQ(PortName(0), "COM0");
}

TEST(PortNames, DefaultResolverCountsUsbSerialCablesFromZero) {
  EXPECT_EQ(DefaultPortPath("COM1"), "/dev/ttyUSB0");
  EXPECT_EQ(DefaultPortPath("COM3"), "/dev/ttyUSB2");
  EXPECT_EQ(DefaultPortPath("COM12"), "/dev/ttyUSB11");
}

TEST(PortNames, DefaultResolverNamesNoPortForAnythingElse) {
  for (const char* name : {"COM0", "COM", "", "COM-1", "COM1x", "com1", "LPT1", "COM 1"}) {
    EXPECT_EQ(DefaultPortPath(name), "") << name;
  }
}

TEST(PortNames, FixedResolverIgnoresTheNumber) {
  PortResolver resolver = FixedPortResolver("/dev/pts/7");
  EXPECT_EQ(resolver("COM1"), "/dev/pts/7");
  EXPECT_EQ(resolver("COM0"), "/dev/pts/7");
}

TEST(PortNames, TwoNamesOfOneDeviceAreOnePort) {
  orvald::testing::TempDir dir;
  ASSERT_EQ(::symlink("/dev/null", (dir / "by-id").c_str()), 0);
  EXPECT_TRUE(SamePortDevice("/dev/null", "/dev/../dev/null"));
  EXPECT_TRUE(SamePortDevice("/dev/null", dir / "by-id"));
  EXPECT_FALSE(SamePortDevice("/dev/null", "/dev/zero"));
  // A port not plugged in yet is known by its path alone.
  EXPECT_TRUE(SamePortDevice("/dev/ttyUSB7", "/dev//ttyUSB7"));
  EXPECT_FALSE(SamePortDevice("/dev/ttyUSB7", "/dev/ttyUSB8"));
  EXPECT_FALSE(SamePortDevice("", ""));
}

int64_t MillisecondsOf(const std::function<void()>& action) {
  const auto start = std::chrono::steady_clock::now();
  action();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

TEST(StoppableWaiter, AStopEndsAWaitOnceAndLaterWaitsSleepOnTheDeviceAlone) {
  StopLatch latch;
  Cancellation cancel;
  StoppableWaiter waiter(latch, cancel);
  int device[2];
  ASSERT_EQ(::pipe(device), 0);
  std::thread other([&latch] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    latch.Raise();
  });
  EXPECT_LT(MillisecondsOf([&] { waiter.Wait(device[0], 10000, WakeOn::kHangUp); }), 5000);
  other.join();
  EXPECT_TRUE(cancel.requested());
  cancel.Withdraw();
  // Putting the logger back still waits for its reply instead of spinning.
  EXPECT_GE(MillisecondsOf([&] { waiter.Wait(device[0], 100, WakeOn::kReadable); }), 90);
  ASSERT_EQ(::write(device[1], "x", 1), 1);
  EXPECT_LT(MillisecondsOf([&] { waiter.Wait(device[0], 10000, WakeOn::kReadable); }), 5000);
  EXPECT_FALSE(cancel.requested()) << "the stop is told once";
  EXPECT_TRUE(waiter.Pause(10000));
  ::close(device[0]);
  ::close(device[1]);
}

}  // namespace
}  // namespace orvald
