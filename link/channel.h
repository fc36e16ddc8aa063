#pragma once
// The byte channel an exchange talks through: the serial port, the USB
// adapter, or a test double. Bytes and waiting only; framing, time limits and
// retries live above it. How a channel is found and opened differs per kind
// (a port number, a product string), so opening is each backend's own call.

#include <cstddef>
#include <cstdint>

namespace orvald {

class Channel {
 public:
  virtual ~Channel() = default;
  // Health check. False once anything failed or the device went away; it
  // stays false until the channel is opened again.
  virtual bool Healthy() = 0;
  virtual bool SetRate(uint32_t bitsPerSecond) = 0;
  // Returns once the channel has taken every byte.
  virtual bool WriteAll(const uint8_t* bytes, size_t count) = 0;
  // Received bytes ready to read; -1 when the channel is not healthy (the
  // same check as Healthy, so a wait needs only this one call per pass).
  virtual long BytesWaiting() = 0;
  // Reads at most `count` waiting bytes into `destination`; never blocks.
  virtual size_t ReadInto(uint8_t* destination, size_t count) = 0;
  // Descriptor that becomes readable when bytes arrive (or the device hangs
  // up); -1 while nothing is open.
  virtual int WaitDescriptor() const = 0;
  virtual void Close() = 0;
  // Milliseconds until the bytes written so far have left the line, so a
  // reply limit can start when the request is out rather than queued.
  virtual int UnsentMilliseconds() { return 0; }
  // The rate the line really runs at, in bit/s; 0 when unknown.
  virtual uint32_t LineRate() { return 0; }
};

}  // namespace orvald
