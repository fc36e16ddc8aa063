#pragma once
// One request to the logger and its checked reply: the only way any command
// reaches a logger. One attempt, no messages; callers retry and report.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "link/frame.h"
#include "link/link.h"

namespace orvald {

inline constexpr int kReplyTimeLimitMs = 300;

// What one exchange saw, beyond its result.
struct ExchangeOutcome {
  int length = 0;              // what the exchange returned
  size_t receivedCount = 0;    // every byte that arrived
  uint8_t announcedLength = 0; // the reply's length byte, when at least two bytes came
  // The reply came whole: its length byte, exactly the bytes that it
  // announced, the end byte, and nothing after them. Such a frame was this
  // request's own answer even when it failed the checks; anything else may
  // belong to another request, or this one's may still be on its way.
  bool wholeFrame = false;
  // Why no answer came (kOk when one did); errorNumber goes with kIoError.
  LineStatus status = LineStatus::kRefused;
  int errorNumber = 0;
};

// Sends `count` (1..252) data bytes framed, over the USB adapter when one is
// plugged in and otherwise over the serial port (reopened if it failed), and
// waits up to 300 ms, from the moment the request has left the line, for the
// reply. Returns the reply's data length with its data bytes in `reply` (room
// for 247), or 0 on any failure. A call made while another exchange waits
// returns 0 at once.
int ExchangeFrame(Link& link, const uint8_t* request, uint8_t count, uint8_t* reply,
                  ExchangeOutcome* outcome = nullptr);

// Says whether a frame's data (length bytes) is the answer being waited for.
using AnswerTest = std::function<bool(const uint8_t* data, size_t length)>;

// For replies that carry no address: sends the request and takes in
// everything that arrives until a well-formed frame that `isAnswer` accepts
// turns up anywhere in it, or `limitMs` have passed since the request left
// (or the link's cancelRequested says so). Everything before the answer
// (late replies to earlier requests, broken bytes) is dropped; since a
// logger answers in order, every earlier request has then been answered.
// Returns the answer's data length with its data in `reply`, or 0; `outcome`
// says how it ended (only its length and status are filled in).
int ExchangeUntilAnswer(Link& link, const uint8_t* request, uint8_t count, const AnswerTest& isAnswer, int limitMs,
                        uint8_t* reply, ExchangeOutcome* outcome = nullptr);

}  // namespace orvald
