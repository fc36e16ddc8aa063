#include "sim/pty_server.h"

#include "link/tty_port.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvald::sim {
namespace {

using std::chrono::microseconds;

// Raw 8-N-1 without touching the speed: bytes pass both ways unchanged, and
// nothing is echoed back into the simulator's own input.
void MakeRaw(termios& t) {
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
  t.c_cflag |= CS8 | CREAD | CLOCAL;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

speed_t SpeedFromBaud(int baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B9600;
  }
}

// Time the line needs for n bytes of 10 bits.
microseconds ByteTime(int rate, size_t n) {
  return microseconds(static_cast<int64_t>(n) * 10'000'000 / std::max(rate, 1));
}

// Bytes whose stop bit is in `elapsed` after the start bit of the first.
size_t BytesIn(int rate, microseconds elapsed) {
  return static_cast<size_t>(std::max<int64_t>(elapsed.count(), 0) * std::max(rate, 1) / 10'000'000);
}

// A paced reply is written in bursts at most this far apart, as a UART's
// receive FIFO or a USB adapter's frames hand bytes on, rather than byte by
// byte; the last byte still goes out on its own time.
constexpr microseconds kPacedBurst{1000};

}  // namespace

PtyServer::PtyServer(ServerOptions options, LoggerModel& model, FaultPlan& plan, Transcript& transcript)
    : options_(std::move(options)), model_(&model), plan_(plan), transcript_(transcript) {
  started_ = Clock::now();
  lastByte_ = started_;
  lastFinish_ = started_;
}

PtyServer::~PtyServer() {
  CloseTerminal();
  if (!options_.linkPath.empty()) {
    char target[512];
    const ssize_t n = readlink(options_.linkPath.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == slavePath_) unlink(options_.linkPath.c_str());
  }
}

double PtyServer::SecondsSinceStart() const {
  return std::chrono::duration<double>(Clock::now() - started_).count();
}

bool PtyServer::OpenTerminal() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    error_ = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  const char* name = ptsname(master_);
  if (!name) {
    error_ = "cannot name the pseudo-terminal";
    return false;
  }
  slavePath_ = name;
  ++generation_;
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  termios t{};
  if (tcgetattr(master_, &t) == 0) {
    MakeRaw(t);
    tcsetattr(master_, TCSANOW, &t);
  }
  // Holding the slave open keeps the master from reporting a hang-up each
  // time the computer closes its port, as a real line would not.
  slaveHold_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slaveHold_ < 0) {
    error_ = "cannot open " + slavePath_ + ": " + std::strerror(errno);
    return false;
  }
  if (tcgetattr(slaveHold_, &t) == 0) {
    MakeRaw(t);
    cfsetispeed(&t, SpeedFromBaud(model_->rate()));
    cfsetospeed(&t, SpeedFromBaud(model_->rate()));
    tcsetattr(slaveHold_, TCSANOW, &t);
  }
  return true;
}

void PtyServer::CloseTerminal() {
  // The master first: every open slave descriptor sees the hang-up.
  if (master_ >= 0) close(master_);
  if (slaveHold_ >= 0) close(slaveHold_);
  master_ = slaveHold_ = -1;
}

bool PtyServer::UpdateLink() {
  if (options_.linkPath.empty()) return true;
  const std::string temp = options_.linkPath + ".new" + std::to_string(getpid());
  unlink(temp.c_str());
  if (symlink(slavePath_.c_str(), temp.c_str()) != 0 || rename(temp.c_str(), options_.linkPath.c_str()) != 0) {
    error_ = "cannot link " + options_.linkPath + ": " + std::strerror(errno);
    unlink(temp.c_str());
    return false;
  }
  return true;
}

bool PtyServer::Open() { return OpenTerminal() && UpdateLink(); }

std::string PtyServer::devicePath() const { return options_.linkPath.empty() ? slavePath_ : options_.linkPath; }

int PtyServer::LineRate() const {
  termios t{};
  if (tcgetattr(slaveHold_ >= 0 ? slaveHold_ : master_, &t) != 0) return 0;
  return static_cast<int>(tty::RateOf(t));
}

void PtyServer::ReadInput() {
  uint8_t buffer[4096];
  for (;;) {
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return;
    const Clock::time_point now = Clock::now();
    // A frame broken off by a long pause is forgotten, as the logger's own
    // receive timeout would.
    if (parser_.midFrame() && now - lastByte_ > std::chrono::milliseconds(100)) parser_.Reset();
    lastByte_ = now;
    const uint64_t generation = generation_;
    for (ssize_t i = 0; i < n; ++i) {
      if (parser_.Feed(buffer[i])) HandleFrame(parser_.frameData(), now);
      if (generation != generation_ || master_ < 0) return;
    }
  }
}

void PtyServer::HandleFrame(const std::vector<uint8_t>& request, Clock::time_point arrived) {
  const CommandKind kind = ClassifyRequest(request);
  TranscriptEntry record;
  record.seconds = SecondsSinceStart();
  record.command = CommandName(kind);
  record.lineRate = LineRate();
  record.loggerRate = model_->rate();
  record.request = EncodeFrame(request);

  if (Unplugged(arrived)) {
    record.ignored = "unplugged";
    transcript_.Write(record);
    return;
  }
  if (!options_.ignoreRate && record.lineRate != model_->rate()) {
    record.ignored = "rate";
    transcript_.Write(record);
    return;
  }
  record.requestNumber = ++requestCount_;
  if (options_.hangupAfter > 0 && requestCount_ > options_.hangupAfter && !hungUp_) {
    record.faults = "hang-up";
    transcript_.Write(record);
    HangUp();
    return;
  }

  if (options_.replay != nullptr) {
    ShapedReply recorded;
    recorded.bytes = options_.replay->Answer(record.request);
    if (!recorded.bytes.empty()) {
      recorded.pieces = {recorded.bytes.size()};
      Schedule(recorded, arrived, 0);
      Pump();
    }
    record.reply = recorded.bytes;
    record.faults = "replay";
    transcript_.Write(record);
    return;
  }

  const uint32_t faults = plan_.Decide(requestCount_);
  std::optional<ModelReply> reply;
  if (!RequestIsLost(kind, faults)) reply = model_->Answer(request);
  const ShapedReply shaped = ShapeReply(kind, reply, faults, options_.faults, plan_.random());
  const int rateAfter = reply ? reply->newRate : 0;
  if (shaped.bytes.empty()) {
    if (rateAfter) model_->ApplyRate(rateAfter);
  } else {
    Schedule(shaped, arrived, rateAfter);
    Pump();
  }
  record.reply = shaped.bytes;
  record.faults = shaped.faults;
  transcript_.Write(record);
}

void PtyServer::Schedule(const ShapedReply& shaped, Clock::time_point arrived, int rateAfter) {
  const Clock::time_point first =
      arrived + std::chrono::milliseconds(options_.turnaroundMs) + std::chrono::milliseconds(shaped.delayMs);
  size_t offset = 0;
  for (size_t i = 0; i < shaped.pieces.size(); ++i) {
    Chunk chunk;
    chunk.bytes.assign(shaped.bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                       shaped.bytes.begin() + static_cast<std::ptrdiff_t>(offset + shaped.pieces[i]));
    offset += shaped.pieces[i];
    chunk.earliest = first;
    if (i > 0) chunk.gapAfterPrevious = std::chrono::milliseconds(shaped.pieceGapMs);
    chunk.pacedRate = options_.pace ? model_->rate() : 0;
    if (i + 1 == shaped.pieces.size()) chunk.rateAfter = rateAfter;
    output_.push_back(std::move(chunk));
  }
}

PtyServer::Clock::time_point PtyServer::Pump() {
  while (!output_.empty() && master_ >= 0) {
    Chunk& c = output_.front();
    const Clock::time_point now = Clock::now();
    if (!c.started) {
      c.startAt = std::max(c.earliest, lastFinish_ + c.gapAfterPrevious);
      c.started = true;
    }
    if (now < c.startAt) return c.startAt;
    size_t due = c.bytes.size();
    if (c.pacedRate) {
      // A receiver has a byte once its stop bit is in, so the first comes a
      // byte's time after the reply starts and the last when the line time
      // of the whole reply has passed.
      due = std::min(due, BytesIn(c.pacedRate, std::chrono::duration_cast<microseconds>(now - c.startAt)));
    }
    if (due > c.sent) {
      const ssize_t n = write(master_, c.bytes.data() + c.sent, due - c.sent);
      if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
          waitingForWritable_ = true;
          return Clock::time_point::max();
        }
        output_.clear();  // the line is gone; nothing more can be said on it
        return Clock::time_point::max();
      }
      c.sent += static_cast<size_t>(n);
      if (c.sent < due) {
        waitingForWritable_ = true;
        return Clock::time_point::max();
      }
    }
    if (c.sent < c.bytes.size()) {
      const Clock::time_point next = c.startAt + ByteTime(c.pacedRate, c.sent + 1);
      const Clock::time_point last = c.startAt + ByteTime(c.pacedRate, c.bytes.size());
      return std::max(next, std::min(now + kPacedBurst, last));
    }
    lastFinish_ = c.pacedRate ? c.startAt + ByteTime(c.pacedRate, c.bytes.size()) : now;
    if (c.rateAfter) model_->ApplyRate(c.rateAfter);
    output_.pop_front();
  }
  return Clock::time_point::max();
}

bool PtyServer::HangUp() {
  hungUp_ = true;
  CloseTerminal();
  output_.clear();
  parser_.Reset();
  if (!options_.reopenAfterHangup) {
    transcript_.Note("hung up; exiting");
    finished_ = true;
    return true;
  }
  // Like a cable pulled and plugged in again: a new terminal behind the same
  // link, and a logger that has restarted.
  model_->Restart();
  if (!OpenTerminal() || !UpdateLink()) {
    std::fprintf(stderr, "orvald-sim: %s\n", error_.c_str());
    finished_ = true;
    return false;
  }
  transcript_.Note("hung up; new terminal " + slavePath_);
  std::fprintf(stderr, "orvald-sim: new terminal %s\n", slavePath_.c_str());
  return true;
}

bool PtyServer::Unplugged(Clock::time_point now) {
  if (options_.swapTo == nullptr || options_.swapAfter == 0) return false;
  if (!swapped_ && requestCount_ >= options_.swapAfter) {
    swapped_ = true;
    pluggedInAt_ = now + std::chrono::milliseconds(options_.swapGapMs);
    output_.clear();
    parser_.Reset();
    model_ = options_.swapTo;
    transcript_.Note("unplugged; another logger in " + std::to_string(options_.swapGapMs) + " ms");
    if (options_.swapHangUp) CloseTerminal();
  }
  return swapped_ && now < pluggedInAt_;
}

int PtyServer::Run(int stopFd) {
  const pid_t parent = getppid();
  while (!finished_) {
    const Clock::time_point next = Pump();
    // To the microsecond, so paced bytes leave on their time: whole
    // milliseconds would make every reply up to one late.
    microseconds wait(500'000);  // also how often a vanished parent is noticed
    if (next != Clock::time_point::max()) {
      wait = std::clamp(std::chrono::duration_cast<microseconds>(next - Clock::now()), microseconds(0), wait);
    }
    if (swapped_ && master_ < 0) {
      // Unplugged with its terminal: the other logger comes on a new one.
      if (Clock::now() >= pluggedInAt_) {
        if (!OpenTerminal() || !UpdateLink()) {
          std::fprintf(stderr, "orvald-sim: %s\n", error_.c_str());
          return 1;
        }
        transcript_.Note("plugged in on " + slavePath_);
        continue;
      }
      wait = std::clamp(std::chrono::duration_cast<microseconds>(pluggedInAt_ - Clock::now()), microseconds(0), wait);
    }
    const timespec timeout{static_cast<time_t>(wait.count() / 1'000'000),
                           static_cast<long>(wait.count() % 1'000'000) * 1000};
    pollfd fds[2] = {{master_, static_cast<short>(POLLIN | (waitingForWritable_ ? POLLOUT : 0)), 0},
                     {stopFd, POLLIN, 0}};
    const int ready = ppoll(fds, stopFd >= 0 ? 2 : 1, &timeout, nullptr);
    if (ready < 0 && errno != EINTR) {
      std::fprintf(stderr, "orvald-sim: poll: %s\n", std::strerror(errno));
      return 1;
    }
    if (stopFd >= 0 && (fds[1].revents & POLLIN)) return 0;
    if (getppid() != parent) return 0;
    if (fds[0].revents & POLLOUT) waitingForWritable_ = false;
    if (fds[0].revents & POLLIN) ReadInput();
    if ((fds[0].revents & (POLLHUP | POLLERR)) && !(fds[0].revents & POLLIN) && master_ >= 0) {
      // Only possible if something closed our own hold on the slave: take it
      // again rather than spin on a hung-up master.
      if (slaveHold_ >= 0) close(slaveHold_);
      slaveHold_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
      if (slaveHold_ < 0) return 1;
    }
  }
  return 0;
}

}  // namespace orvald::sim
