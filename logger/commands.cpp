#include "logger/commands.h"

#include <cstring>

#include "link/exchange.h"

namespace orvald {

namespace {

// Room for any reply the exchange accepts.
using ReplyArea = uint8_t[kReceiveAreaSize];

// The text after a one-byte echo: at most `limit` bytes, up to the first zero.
// The echo says whose reply it is, so everything before it (a late reply to
// an earlier request, the echo of a rate switch) is passed over: a logger
// still busy with something else gives its text late, never a wrong one.
// Without the text, replies may still be on their way.
std::string TextAfterEcho(Link& link, ReplyOrder& order, uint8_t command, size_t limit) {
  const AnswerTest isText = [command](const uint8_t* data, size_t length) {
    return length >= 2 && data[0] == command && data[1] != 0;
  };
  ReplyArea reply;
  const int length = ExchangeUntilAnswer(link, &command, 1, isText, kPutInOrderLimitMs, reply);
  if (length <= 0) {
    order.MarkInDoubt();
    return {};
  }
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

int ProbeLogger(Link& link) { return ProbeLoggerAt(link, kDetectionRate, kProbeAttempts); }

int ProbeLoggerAt(Link& link, uint32_t bitsPerSecond, int attempts) {
  // Changing the line under a running exchange would garble it.
  if (link.Exchanging()) return 0;
  link.SetLineRate(bitsPerSecond);
  for (int attempt = 0; attempt < attempts; ++attempt) {
    ReplyArea reply;
    if (ExchangeFrame(link, &kVersionCommand, 1, reply) > 0 && reply[0] == kVersionCommand) return 1;
  }
  return 0;
}

uint32_t SetLoggerRate(Link& link, ReplyOrder& order, uint32_t bitsPerSecond) {
  // Opening the adapter for a look would close it under the running exchange.
  if (link.Exchanging()) return kDetectionRate;
  if (link.UsbAdapterPresent()) return bitsPerSecond;  // the adapter always runs at its own rate
  const uint8_t code = RateCode(bitsPerSecond);
  if (code == 0) bitsPerSecond = kDetectionRate;
  const uint8_t request[3] = {kRateCommand[0], kRateCommand[1], code};
  const uint32_t oldRate = link.lineRate();
  ReplyArea reply;
  // A first request lost on the way leaves the logger at the old rate, deaf
  // to the confirmation at the new one; it is sent once more before the
  // switch is given up. A logger that did switch hears only noise then and
  // still confirms at the new rate.
  for (int attempt = 0; attempt < kRateSwitchAttempts; ++attempt) {
    if (attempt > 0) link.SetLineRate(oldRate);
    // The first request goes out at the old rate; whatever comes back was
    // sent while the logger switched, so it is not looked at.
    ExchangeFrame(link, request, 3, reply);
    link.SetLineRate(bitsPerSecond);
    const int length = ExchangeFrame(link, request, 3, reply);
    if (length >= 3 && std::memcmp(reply, request, 3) == 0) return bitsPerSecond;
  }
  // No echo came, but the logger may have switched all the same (a lost or
  // late confirmation): one that answers at the new rate is there.
  order.MarkInDoubt();
  const AnswerTest isVersion = [](const uint8_t* data, size_t length) {
    return length >= 1 && data[0] == kVersionCommand;
  };
  if (ExchangeUntilAnswer(link, &kVersionCommand, 1, isVersion, kPutInOrderLimitMs, reply) > 0) return bitsPerSecond;
  // The line stays at the new rate; the next probe puts it back.
  link.SetRateForNextOpen(kDetectionRate);
  return kDetectionRate;
}

std::string QueryIdentity(Link& link, ReplyOrder& order) {
  return TextAfterEcho(link, order, kIdentifyCommand, kSerialTextMax);
}

std::string QueryVersion(Link& link, ReplyOrder& order) {
  return TextAfterEcho(link, order, kVersionCommand, kVersionTextMax);
}

bool PutRepliesInOrder(Link& link, ReplyOrder& order, LineStatus* status) {
  // A read of a length no other pending request has: its answer can only be
  // its own, and a logger answers in order, so once it is in, every reply
  // to an earlier request has come (and gone).
  const uint8_t count = static_cast<uint8_t>(1 + order.NextMarker() % kMarkerLengths);
  const uint8_t request[6] = {kMemoryCommand[0], kMemoryCommand[1], 0, 0, 0, count};
  const AnswerTest isMarker = [count](const uint8_t* data, size_t length) {
    return length == count + 2u && data[0] == kMemoryCommand[0] && data[1] == kMemoryCommand[1];
  };
  ReplyArea reply;
  ExchangeOutcome outcome;
  const int length = ExchangeUntilAnswer(link, request, 6, isMarker, kPutInOrderLimitMs, reply, &outcome);
  if (status != nullptr) *status = outcome.status;
  if (length == 0) return false;
  order.MarkInOrder();
  return true;
}

int ReadLoggerMemory(Link& link, ReplyOrder& order, uint8_t* destination, int count, int block, int offset,
                     LineStatus* status) {
  LineStatus ended = LineStatus::kRefused;
  if (status == nullptr) status = &ended;
  *status = LineStatus::kRefused;
  if (count < 1 || count > kMaxMemoryRead || block < 0 || block > 0xFF || offset < 0 || offset > 0xFFFF) return 0;
  // Every memory reply looks alike, so one that came after its exchange gave
  // up would be taken as the answer to the next read (the retry, or the next
  // piece) and put wrong bytes into the download. No read goes out while
  // such a reply may still be on its way.
  if (order.inDoubt() && !PutRepliesInOrder(link, order, status)) return 0;
  const uint8_t request[6] = {kMemoryCommand[0],
                              kMemoryCommand[1],
                              static_cast<uint8_t>(block),
                              static_cast<uint8_t>(offset & 0xFF),
                              static_cast<uint8_t>(offset >> 8),
                              static_cast<uint8_t>(count)};
  ReplyArea reply;
  ExchangeOutcome outcome;
  const int length = ExchangeFrame(link, request, 6, reply, &outcome);
  if (length == count + 2 && reply[0] == kMemoryCommand[0] && reply[1] == kMemoryCommand[1]) {
    std::memcpy(destination, reply + 2, static_cast<size_t>(count));
    *status = LineStatus::kOk;
    return count;
  }
  // A frame that is not this read's answer is as bad as a broken one.
  *status = length > 0 ? LineStatus::kProtocolError : outcome.status;
  // Only a whole frame of exactly this read's size was this read's own
  // answer, garbled on the way: nothing more is coming for it. Anything else
  // may have been another request's reply, or this one's is still coming.
  if (!(outcome.wholeFrame && outcome.announcedLength == count + 2)) order.MarkInDoubt();
  return 0;
}

}  // namespace orvald
