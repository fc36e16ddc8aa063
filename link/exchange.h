#pragma once
// One request to the logger and its checked reply: the only way any command
// reaches a logger. One attempt, no messages; callers retry and report.

#include <cstdint>

#include "link/frame.h"
#include "link/link.h"

namespace orvald {

inline constexpr int kReplyTimeLimitMs = 300;

// Sends `count` (1..252) data bytes framed, over the USB adapter when one is
// plugged in and otherwise over the serial port (reopened if it failed), and
// waits up to 300 ms from the hand-over for the reply. Returns the reply's
// data length with its data bytes in `reply` (room for 247), or 0 on any
// failure. A call made while another exchange waits returns 0 at once.
int ExchangeFrame(Link& link, const uint8_t* request, uint8_t count, uint8_t* reply);

// How long the line must stay silent, and how long settling may take at most.
inline constexpr int kSettleQuietMs = 400;
inline constexpr int kSettleLimitMs = 1500;

// Reads and drops whatever arrives until the line has been silent for
// `quietMs` (at most kSettleLimitMs in all). A reply that comes after its
// exchange gave up would otherwise be taken as the answer to the next
// request; for replies that carry no address, such as memory reads, that
// shifts every later answer by one request. Returns at once while another
// exchange waits or when no channel is open.
void SettleLine(Link& link, int quietMs = kSettleQuietMs);

}  // namespace orvald
