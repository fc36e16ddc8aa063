#pragma once
// The logger's frame, the same both ways: F0, length N, N data bytes, the XOR
// of length and data, F2. No escaping: F0 and F2 may appear inside.

#include <cstddef>
#include <cstdint>

namespace orvald {

inline constexpr uint8_t kFrameStart = 0xF0;
inline constexpr uint8_t kFrameEnd = 0xF2;
inline constexpr size_t kFrameOverhead = 4;
inline constexpr size_t kMaxRequestData = 252;
inline constexpr size_t kReceiveAreaSize = 256;
// A reply is refused once this many bytes arrived, valid frame or not, so an
// accepted one carries at most 247 data bytes.
inline constexpr size_t kRefusedReceivedCount = 252;
inline constexpr size_t kMaxReplyData = kRefusedReceivedCount - 1 - kFrameOverhead;

uint8_t FrameChecksum(const uint8_t* data, size_t count);

// Writes the frame for `count` data bytes (1..252) into `frame`, which holds
// at least count + 4 bytes; returns the frame's size.
size_t BuildRequestFrame(const uint8_t* data, size_t count, uint8_t* frame);

// Checks what arrived for one request: `receivedCount` bytes in all, the first
// of them (up to the receive area's size) in `received`. Returns the reply's
// data length, or 0 when nothing, too much, too little or a bad checksum came.
// Start and end bytes are not examined; bytes after the frame are ignored.
size_t CheckReply(const uint8_t* received, size_t receivedCount);

}  // namespace orvald
