#include <gtest/gtest.h>

#include "link/port_names.h"

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

}  // namespace
}  // namespace orvald
