#include "link/frame.h"

#include <cstring>

namespace orvald {

uint8_t FrameChecksum(const uint8_t* data, size_t count) {
  uint8_t sum = static_cast<uint8_t>(count);
  for (size_t i = 0; i < count; ++i) sum ^= data[i];
  return sum;
}

size_t BuildRequestFrame(const uint8_t* data, size_t count, uint8_t* frame) {
  frame[0] = kFrameStart;
  frame[1] = static_cast<uint8_t>(count);
  std::memcpy(frame + 2, data, count);
  frame[2 + count] = FrameChecksum(data, count);
  frame[3 + count] = kFrameEnd;
  return count + kFrameOverhead;
}

size_t CheckReply(const uint8_t* received, size_t receivedCount) {
  if (receivedCount < 2 || receivedCount >= kRefusedReceivedCount) return 0;
  const size_t length = received[1];
  if (receivedCount < length + kFrameOverhead) return 0;
  uint8_t sum = 0;
  for (size_t i = 1; i <= length + 2; ++i) sum ^= received[i];
  return sum == 0 ? length : 0;
}

}  // namespace orvald
