#include "sim/reply_shaper.h"

#include <algorithm>

#include "sim/frame.h"

namespace orvald::sim {
namespace {

void Note(std::string& list, FaultKind kind) {
  if (!list.empty()) list += ',';
  list += FaultName(kind);
}

// Random bytes that can never pass as a reply: the length byte announces
// more than will ever arrive, so the computer waits for the rest in vain.
std::vector<uint8_t> Garbage(int size, SimRandom& random) {
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  for (auto& b : bytes) b = static_cast<uint8_t>(random.Next());
  if (bytes.size() >= 2) bytes[1] = 0xFF;
  return bytes;
}

// A whole frame announcing 255 data bytes (the reply, padded), then filler.
std::vector<uint8_t> Oversize(const std::vector<uint8_t>& data, int size) {
  std::vector<uint8_t> padded = data;
  padded.resize(kMaxFrameData, 0x00);
  std::vector<uint8_t> bytes = EncodeFrame(padded);
  bytes.resize(static_cast<size_t>(std::max(size, 1)), 0x55);
  return bytes;
}

}  // namespace

bool RequestIsLost(CommandKind command, uint32_t faults) {
  return Has(faults, FaultKind::kDrop) || (command == CommandKind::kIdentify && Has(faults, FaultKind::kNoIdentity));
}

ShapedReply ShapeReply(CommandKind command, const std::optional<ModelReply>& reply, uint32_t faults,
                       const FaultSettings& settings, SimRandom& random) {
  ShapedReply shaped;
  if (RequestIsLost(command, faults)) {
    Note(shaped.faults, Has(faults, FaultKind::kDrop) ? FaultKind::kDrop : FaultKind::kNoIdentity);
    return shaped;
  }
  if (command == CommandKind::kSetRate && Has(faults, FaultKind::kNoRateAck)) {
    Note(shaped.faults, FaultKind::kNoRateAck);
    return shaped;
  }
  if (!reply) return shaped;

  if (Has(faults, FaultKind::kGarbage)) {
    const int size = settings.garbageBytes > 0 ? settings.garbageBytes : 1 + static_cast<int>(random.Below(64));
    shaped.bytes = Garbage(size, random);
    Note(shaped.faults, FaultKind::kGarbage);
  } else if (Has(faults, FaultKind::kOversize)) {
    shaped.bytes = Oversize(reply->data, settings.oversizeBytes);
    Note(shaped.faults, FaultKind::kOversize);
  } else if (Has(faults, FaultKind::kEmpty)) {
    shaped.bytes = EncodeFrame({});
    Note(shaped.faults, FaultKind::kEmpty);
  } else {
    std::vector<uint8_t> data = reply->data;
    if (command == CommandKind::kReadMemory && Has(faults, FaultKind::kShort) && data.size() > 2) {
      const size_t cut = std::min(static_cast<size_t>(std::max(settings.shortBy, 1)), data.size() - 2);
      data.resize(data.size() - cut);
      Note(shaped.faults, FaultKind::kShort);
    }
    if (Has(faults, FaultKind::kForeign) && !data.empty()) {
      data[0] ^= 0x01;
      Note(shaped.faults, FaultKind::kForeign);
    }
    shaped.bytes = EncodeFrame(data);
    if (Has(faults, FaultKind::kBadChecksum)) {
      shaped.bytes[shaped.bytes.size() - 2] ^= 0x5A;
      Note(shaped.faults, FaultKind::kBadChecksum);
    }
    if (Has(faults, FaultKind::kWrongEnds)) {
      shaped.bytes.front() = 0x00;
      shaped.bytes.back() = 0x00;
      Note(shaped.faults, FaultKind::kWrongEnds);
    }
    if (Has(faults, FaultKind::kTrailing)) {
      for (int i = 0; i < settings.trailingBytes; ++i) shaped.bytes.push_back(static_cast<uint8_t>(random.Next()));
      Note(shaped.faults, FaultKind::kTrailing);
    }
  }
  if (Has(faults, FaultKind::kTruncate)) {
    shaped.bytes.resize(std::min(shaped.bytes.size(), static_cast<size_t>(std::max(settings.truncateBytes, 1))));
    Note(shaped.faults, FaultKind::kTruncate);
  }

  if (Has(faults, FaultKind::kStall)) {
    shaped.delayMs = settings.stallMs;
    Note(shaped.faults, FaultKind::kStall);
  }
  const size_t total = shaped.bytes.size();
  size_t pieces = 1;
  if (Has(faults, FaultKind::kSplit) && total > 1) {
    pieces = std::min(total, static_cast<size_t>(std::max(settings.splitPieces, 2)));
    shaped.pieceGapMs = settings.splitDelayMs;
    Note(shaped.faults, FaultKind::kSplit);
  }
  for (size_t i = 0; i < pieces; ++i) {
    shaped.pieces.push_back(total * (i + 1) / pieces - total * i / pieces);
  }
  return shaped;
}

}  // namespace orvald::sim
