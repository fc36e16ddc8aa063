#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "link/comm_class.h"
#include "support/pty_fake_logger.h"

namespace orvald {
namespace {

using testing::PtyPair;

// Waits until the master has `count` bytes to read, then reads them.
std::vector<uint8_t> ReadFromMaster(int master, size_t count) {
  std::vector<uint8_t> bytes;
  while (bytes.size() < count) {
    pollfd readable{master, POLLIN, 0};
    if (::poll(&readable, 1, 2000) <= 0) break;
    uint8_t chunk[256];
    ssize_t got = ::read(master, chunk, std::min(sizeof chunk, count - bytes.size()));
    if (got <= 0) break;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  return bytes;
}

void WriteToMaster(int master, const std::vector<uint8_t>& bytes) {
  ASSERT_EQ(::write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// Bytes from the master reach the slave's queue a little later.
long WaitForQueue(CommClass& comm, long atLeast) {
  pollfd readable{comm.WaitDescriptor(), POLLIN, 0};
  for (int pass = 0; pass < 100 && comm.BytesWaiting() >= 0 && comm.BytesWaiting() < atLeast; ++pass) {
    ::poll(&readable, 1, 20);
  }
  return comm.BytesWaiting();
}

bool Failed(const CommClass& comm) { return comm.Fault().status != LineStatus::kOk; }

CommClass OnPath(const std::string& path) { return CommClass(1, FixedPortResolver(path)); }

TEST(CommClass, FreshObjectIsUnhealthyUntilOpened) {
  CommClass comm;
  EXPECT_FALSE(Failed(comm)) << "nothing has failed yet";
  EXPECT_FALSE(comm.Refresh());
  EXPECT_EQ(comm.BytesWaiting(), -1);
  EXPECT_EQ(comm.WaitDescriptor(), -1);
}

TEST(CommClass, PortNumberGoesThroughTheResolver) {
  std::vector<std::string> asked;
  CommClass comm(1, [&](const std::string& name) {
    asked.push_back(name);
    return std::string("/nonexistent/tty");
  });
  comm.Open(3);
  comm.Open(0);
  EXPECT_EQ(asked, (std::vector<std::string>{"COM3", "COM0"}));
  EXPECT_EQ(comm.PortNumber(), 0);
}

TEST(CommClass, MissingOrUnnamedPortFailsWithTheOpensErrno) {
  for (const char* path : {"/nonexistent/tty", "", "/dev/null"}) {
    CommClass comm = OnPath(path);
    comm.Open(1);
    EXPECT_EQ(comm.Fault().status, LineStatus::kIoError) << path;
    EXPECT_NE(comm.Fault().errorNumber, 0) << path;
    EXPECT_EQ(comm.Fault().errorNumber, comm.OpenError().number) << path;
    EXPECT_FALSE(comm.IsOpen()) << path;
    EXPECT_EQ(comm.WaitDescriptor(), -1) << path;
    EXPECT_FALSE(comm.Refresh());
    EXPECT_FALSE(comm.SetBaudRate(9600));
  }
}

TEST(CommClass, OpenMakesTheLineRawEightNOneWithoutFlowControlAndKeepsTheRate) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  termios before = pty.SlaveSettings();
  before.c_cflag |= CRTSCTS | PARENB | CSTOPB;
  before.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CLOCAL);
  before.c_cflag |= CS7;
  before.c_iflag |= IXON | IXOFF | IXANY | ICRNL;
  before.c_lflag |= ICANON | ECHO;
  before.c_oflag |= OPOST;
  cfsetispeed(&before, B19200);
  cfsetospeed(&before, B19200);
  pty.SetSlaveSettings(before);

  CommClass comm = OnPath(pty.slavePath());
  comm.Open(1);
  ASSERT_TRUE(comm.Refresh());
  termios after = pty.SlaveSettings();
  EXPECT_EQ(after.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(after.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(after.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(after.c_iflag & (IXON | IXOFF | IXANY | ICRNL), 0u);
  EXPECT_EQ(after.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_EQ(after.c_oflag & OPOST, 0u);
  EXPECT_EQ(cfgetospeed(&after), B19200) << "the open must not touch the rate";

  EXPECT_TRUE(comm.SetBaudRate(57600));
  after = pty.SlaveSettings();
  EXPECT_EQ(cfgetospeed(&after), B57600);
  EXPECT_EQ(after.c_cflag & CSIZE, static_cast<tcflag_t>(CS8)) << "a rate change keeps the rest";
}

TEST(CommClass, PortIsHeldExclusivelyUntilClosed) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  CommClass first = OnPath(pty.slavePath());
  CommClass second = OnPath(pty.slavePath());
  first.Open(1);
  ASSERT_TRUE(first.Refresh());
  second.Open(1);
  EXPECT_EQ(second.Fault().status, LineStatus::kIoError);
  EXPECT_EQ(second.OpenError().number, EBUSY);
  EXPECT_EQ(second.WaitDescriptor(), -1);
  first.Close();
  second.Open(1);
  EXPECT_TRUE(second.Refresh());
  EXPECT_FALSE(Failed(second)) << "a good open clears the old failure";
}

TEST(CommClass, WriteReadAndQueueCount) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  CommClass comm = OnPath(pty.slavePath());
  comm.Open(1);
  ASSERT_TRUE(comm.Refresh());

  const std::vector<uint8_t> request{0xF0, 0x01, 0x78, 0x79, 0xF2, 0x0D, 0x0A, 0x11, 0x13};
  EXPECT_TRUE(comm.WriteAll(request.data(), request.size()));
  EXPECT_EQ(ReadFromMaster(pty.master(), request.size()), request) << "bytes must pass untranslated";

  std::vector<uint8_t> reply(100);
  for (size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<uint8_t>(i * 7 + 0x0D);
  WriteToMaster(pty.master(), reply);
  ASSERT_EQ(WaitForQueue(comm, 100), 100);
  // Never more than asked for, nor more than is waiting.
  std::vector<uint8_t> got(200, 0);
  EXPECT_EQ(comm.ReadInto(got.data(), 30), 30u);
  EXPECT_EQ(comm.BytesWaiting(), 70);
  EXPECT_EQ(comm.ReadInto(got.data() + 30, 170), 70u);
  got.resize(100);
  EXPECT_EQ(got, reply);
  EXPECT_EQ(comm.ReadInto(got.data(), 10), 0u);
  EXPECT_TRUE(comm.Refresh());
  EXPECT_EQ(comm.BytesWaiting(), 0);
}

TEST(CommClass, HangUpMakesTheHealthCheckFailAndReopeningRecovers) {
  auto pty = std::make_unique<PtyPair>();
  ASSERT_TRUE(pty->ok());
  std::string path = pty->slavePath();
  CommClass comm(1, [&](const std::string&) { return path; });
  comm.Open(1);
  ASSERT_TRUE(comm.Refresh());
  pty->HangUp();
  EXPECT_FALSE(comm.Refresh());
  EXPECT_EQ(comm.Fault().status, LineStatus::kHangUp);
  EXPECT_FALSE(comm.Refresh()) << "stays unhealthy";

  PtyPair replacement;
  ASSERT_TRUE(replacement.ok());
  path = replacement.slavePath();
  comm.Open(1);
  EXPECT_TRUE(comm.Refresh());
  EXPECT_FALSE(Failed(comm));
}

TEST(CommClass, RateTheTerminalCannotTakeFailsTheChannel) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  CommClass comm = OnPath(pty.slavePath());
  comm.Open(1);
  ASSERT_TRUE(comm.Refresh());
  EXPECT_FALSE(comm.SetBaudRate(12345));
  EXPECT_EQ(comm.Fault().status, LineStatus::kIoError);
  EXPECT_EQ(comm.Fault().errorNumber, EINVAL);
  EXPECT_FALSE(comm.Refresh());
  EXPECT_FALSE(comm.SetBaudRate(9600)) << "nothing is applied to a failed port";
}

TEST(CommClass, WriteOrReadOnAClosedPortFailsTheChannel) {
  CommClass comm;
  const uint8_t byte = 0x78;
  EXPECT_FALSE(comm.WriteAll(&byte, 1));
  EXPECT_EQ(comm.Fault().status, LineStatus::kIoError);
  EXPECT_EQ(comm.Fault().errorNumber, EBADF);
  CommClass reader;
  uint8_t into = 0;
  EXPECT_EQ(reader.ReadInto(&into, 1), 0u);
  EXPECT_EQ(reader.Fault().status, LineStatus::kIoError);
}

}  // namespace
}  // namespace orvald
