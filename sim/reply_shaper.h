#pragma once
// Turns the logger's reply into the bytes and timing that go on the line,
// with the faults that fired for this request.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/fault_plan.h"
#include "sim/logger_model.h"

namespace orvald::sim {

struct FaultSettings {
  int splitPieces = 3;      // pieces of a split reply
  int splitDelayMs = 20;    // pause between pieces
  int stallMs = 400;        // pause before a stalled reply (limit is 300 ms)
  int shortBy = 10;         // data bytes missing from a short memory reply
  int oversizeBytes = 300;  // bytes of an oversize reply
  int garbageBytes = 0;     // bytes of garbage; 0 = random 1 to 64
  int trailingBytes = 1;    // bytes after the end byte
  int truncateBytes = 4;    // bytes of a truncated reply that do arrive
};

struct ShapedReply {
  std::vector<uint8_t> bytes;   // all bytes to send, empty for no reply
  std::vector<size_t> pieces;   // sizes of the pieces, summing to bytes.size()
  int delayMs = 0;              // extra pause before the first byte (stall)
  int pieceGapMs = 0;           // pause between pieces
  std::string faults;           // applied faults, comma separated; empty for none
};

// Faults that do not apply to the request's command are left out of the
// result. `reply` is the model's answer (nothing: the logger stays silent).
ShapedReply ShapeReply(CommandKind command, const std::optional<ModelReply>& reply, uint32_t faults,
                       const FaultSettings& settings, SimRandom& random);

// True when the fault set keeps the request from reaching the logger at all
// (drop, or no identity for an identify request).
bool RequestIsLost(CommandKind command, uint32_t faults);

}  // namespace orvald::sim
