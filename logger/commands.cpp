#include "logger/commands.h"

#include <cstring>

#include "link/exchange.h"

namespace orvald {

namespace {

// Room for any reply the exchange accepts.
using ReplyArea = uint8_t[kReceiveAreaSize];

// The text after a one-byte echo: at most `limit` bytes, up to the first zero.
std::string TextAfterEcho(Link& link, uint8_t command, size_t limit) {
  ReplyArea reply;
  const int length = ExchangeFrame(link, &command, 1, reply);
  if (length <= 0 || reply[0] != command) return {};
  std::string text;
  for (int i = 1; i < length && text.size() < limit && reply[i] != 0; ++i) text += static_cast<char>(reply[i]);
  return text;
}

}  // namespace

uint8_t RateCode(uint32_t bitsPerSecond) {
  switch (bitsPerSecond) {
    case 19200: return 1;
    case 38400: return 2;
    case 57600: return 3;
    case 115200: return 4;
    default: return 0;
  }
}

int ProbeLogger(Link& link) {
  // Changing the line under a running exchange would garble it.
  if (link.Exchanging()) return 0;
  link.baudRate = kFallbackRate;
  if (link.comm.Refresh()) link.comm.SetBaudRate(kFallbackRate);
  for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
    ReplyArea reply;
    if (ExchangeFrame(link, &kVersionCommand, 1, reply) > 0 && reply[0] == kVersionCommand) return 1;
  }
  return 0;
}

uint32_t SetLoggerRate(Link& link, uint32_t bitsPerSecond) {
  // Opening the adapter for a look would close it under the running exchange.
  if (link.Exchanging()) return kFallbackRate;
  if (UsbAdapterHandle adapter = OpenUsbAdapter(link.usbAdapter.get())) {
    CloseUsbAdapter(adapter);
    return bitsPerSecond;  // the adapter always runs at its own rate
  }
  const uint8_t code = RateCode(bitsPerSecond);
  if (code == 0) bitsPerSecond = kFallbackRate;
  const uint8_t request[3] = {kRateCommand[0], kRateCommand[1], code};
  ReplyArea reply;
  // The first request goes out at the old rate; whatever comes back was
  // sent while the logger switched, so it is not looked at.
  ExchangeFrame(link, request, 3, reply);
  link.baudRate = bitsPerSecond;
  link.comm.SetBaudRate(bitsPerSecond);
  const int length = ExchangeFrame(link, request, 3, reply);
  if (length >= 3 && std::memcmp(reply, request, 3) == 0) return bitsPerSecond;
  // The line stays at the new rate; the next probe puts it back.
  link.baudRate = kFallbackRate;
  return kFallbackRate;
}

std::string QueryIdentity(Link& link) { return TextAfterEcho(link, kIdentifyCommand, kSerialTextMax); }

std::string QueryVersion(Link& link) { return TextAfterEcho(link, kVersionCommand, kVersionTextMax); }

int ReadLoggerMemory(Link& link, uint8_t* destination, int count, int block, int offset) {
  if (count < 1 || count > kMaxMemoryRead || block < 0 || block > 0xFF || offset < 0 || offset > 0xFFFF) return 0;
  const uint8_t request[6] = {kMemoryCommand[0],
                              kMemoryCommand[1],
                              static_cast<uint8_t>(block),
                              static_cast<uint8_t>(offset & 0xFF),
                              static_cast<uint8_t>(offset >> 8),
                              static_cast<uint8_t>(count)};
  ReplyArea reply;
  const int length = ExchangeFrame(link, request, 6, reply);
  if (length < count + 2 || reply[0] != kMemoryCommand[0] || reply[1] != kMemoryCommand[1]) {
    // Every memory reply looks alike, so one that comes after the exchange
    // gave up would be taken as the answer to the next read (the retry, or
    // the next piece) and put wrong bytes into the download. Let whatever is
    // still coming arrive and go. A whole frame that failed the checks here
    // was this request's answer: nothing more is on its way.
    if (length == 0) SettleLine(link);
    return 0;
  }
  std::memcpy(destination, reply + 2, static_cast<size_t>(count));
  return count;
}

}  // namespace orvald
