#include "link/tty_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace orvald::tty {

int OpenExclusive(const std::string& path, int& error) {
  error = 0;
  if (path.empty()) {
    error = ENOENT;
    return -1;
  }
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  if (!::isatty(fd)) {
    error = ENOTTY;
    ::close(fd);
    return -1;
  }
  // TIOCEXCL keeps other processes out, but not privileged ones; the lock
  // covers those, and anyone else who asks politely.
  if (::ioctl(fd, TIOCEXCL) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    error = errno == EWOULDBLOCK ? EBUSY : errno;
    ::close(fd);
    return -1;
  }
  return fd;
}

void CloseExclusive(int fd) {
  if (fd < 0) return;
  ::ioctl(fd, TIOCNXCL);
  ::flock(fd, LOCK_UN);
  ::close(fd);
}

void MakeRawEightNOne(termios& settings) {
  settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                              IXOFF | IXANY | INPCK);
  settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
}

namespace {

// The line rates the terminal layer names, with their speed constants.
constexpr std::pair<uint32_t, speed_t> kSpeeds[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},  {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

}  // namespace

std::optional<speed_t> SpeedFor(uint32_t bitsPerSecond) {
  for (const auto& [rate, speed] : kSpeeds) {
    if (rate == bitsPerSecond) return speed;
  }
  return std::nullopt;
}

uint32_t RateOf(const termios& settings) {
  const speed_t speed = ::cfgetospeed(&settings);
  for (const auto& [rate, known] : kSpeeds) {
    if (known == speed) return rate;
  }
  return 0;
}

void DropModemLines(int fd) {
  int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(fd, TIOCMBIC, &lines);
}

void RequestLowLatency(int fd) {
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
  serial.flags |= ASYNC_LOW_LATENCY;
  ::ioctl(fd, TIOCSSERIAL, &serial);
}

bool HungUp(int fd) {
  if (fd < 0) return true;
  pollfd probe{fd, 0, 0};
  int ready = ::poll(&probe, 1, 0);
  if (ready < 0) return errno != EINTR;
  return (probe.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

long BytesWaiting(int fd) {
  int waiting = 0;
  if (::ioctl(fd, TIOCINQ, &waiting) != 0) return -1;
  return waiting;
}

long BytesUnsent(int fd) {
  int unsent = 0;
  if (::ioctl(fd, TIOCOUTQ, &unsent) != 0 || unsent < 0) return 0;
  return unsent;
}

bool WriteAll(int fd, const uint8_t* bytes, size_t count, int stallLimitMs) {
  size_t sent = 0;
  while (sent < count) {
    ssize_t written = ::write(fd, bytes + sent, count - sent);
    if (written > 0) {
      sent += static_cast<size_t>(written);
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    pollfd room{fd, POLLOUT, 0};
    int ready = ::poll(&room, 1, stallLimitMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    if (room.revents & (POLLHUP | POLLERR | POLLNVAL)) return false;
  }
  return true;
}

long ReadWaiting(int fd, uint8_t* destination, size_t count) {
  if (count == 0) return 0;
  for (;;) {
    ssize_t got = ::read(fd, destination, count);
    if (got >= 0) return got;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return -1;
  }
}

}  // namespace orvald::tty
