#pragma once
// The byte channel an exchange talks through: the serial port, the USB
// adapter, or a test double. Bytes and waiting only; framing, time limits and
// retries live above it. How a channel is found and opened differs per kind
// (a port number, a product string), so opening is each backend's own call.

#include <cstddef>
#include <cstdint>

namespace orvald {

// How one use of the line ended, below the logger's commands, so a retry can
// tell a pulled cable from a bad reply.
enum class LineStatus : uint8_t {
  kOk,
  kTimeout,        // nothing, or not the whole reply, within the time limit
  kProtocolError,  // a reply came but is no frame: bad start, end, length or checksum
  kIoError,        // the port failed (with the errno, when one is known)
  kHangUp,         // the device went away: a pulled cable, an unplugged adapter
  kRefused,        // nothing sent: another exchange waits, or the request fits no frame
  kCancelled,      // the wait was cut short on request
};

// What made a channel unhealthy: kIoError with its errno, or kHangUp; kOk
// while it is healthy, or when it cannot say.
struct ChannelFault {
  LineStatus status = LineStatus::kOk;
  int errorNumber = 0;
};

class Channel {
 public:
  virtual ~Channel() = default;
  // Health check. False once anything failed or the device went away; it
  // stays false until the channel is opened again. It costs several system
  // calls, so a wait runs it only when it woke without bytes to read.
  virtual bool Healthy() = 0;
  virtual bool SetRate(uint32_t bitsPerSecond) = 0;
  // Returns once the channel has taken every byte.
  virtual bool WriteAll(const uint8_t* bytes, size_t count) = 0;
  // Received bytes ready to read, from one query; -1 once the channel is
  // known to have failed. A device that went away may not show here until
  // Healthy looks (or the next read fails).
  virtual long BytesWaiting() = 0;
  // Reads at most `count` waiting bytes into `destination`; never blocks.
  virtual size_t ReadInto(uint8_t* destination, size_t count) = 0;
  // Descriptor that becomes readable when bytes arrive and reports a hang-up
  // when the device goes away; -1 while nothing is open.
  virtual int WaitDescriptor() const = 0;
  virtual void Close() = 0;
  // Milliseconds until the bytes written so far have left the line, so a
  // reply limit can start when the request is out rather than queued.
  virtual int UnsentMilliseconds() { return 0; }
  // The rate the line really runs at, in bit/s; 0 when unknown. A wait for
  // the rest of a reply sleeps through the time it needs at this rate.
  virtual uint32_t LineRate() { return 0; }
  // Why Healthy is false (or BytesWaiting -1) now.
  virtual ChannelFault Fault() const { return {}; }
};

}  // namespace orvald
