#pragma once
// The logger's frame, both directions: F0, length N, N data bytes, checksum
// (N XOR every data byte), F2. No escaping, so F0 and F2 may appear inside.
// Written apart from link/frame on purpose: the simulator is the logger's
// side, an independent reading of the frame that the computer's side is
// tested against, so a mistake shared by both could not hide.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvald::sim {

inline constexpr uint8_t kFrameStart = 0xF0;
inline constexpr uint8_t kFrameEnd = 0xF2;
inline constexpr size_t kMaxFrameData = 255;

uint8_t FrameChecksum(const uint8_t* data, size_t size);

// Wraps data (at most 255 bytes; longer data is cut) in a frame.
std::vector<uint8_t> EncodeFrame(const std::vector<uint8_t>& data);

// Incremental parser for request frames. A byte that cannot start or continue
// a frame is skipped; a frame with a wrong checksum or end byte is dropped and
// the search starts again at the byte after its start byte, so a stray F0 in
// line noise cannot swallow the next real request.
class FrameParser {
 public:
  // Feeds one byte; true when it completed a valid frame, whose data is then
  // in frameData() until the next call.
  bool Feed(uint8_t byte);
  const std::vector<uint8_t>& frameData() const { return frame_; }
  // Forgets a partial frame (used after a pause on the line).
  void Reset();
  bool midFrame() const { return state_ != State::kHunting; }
  // Frames dropped for a wrong checksum or end byte since construction.
  int rejectedFrames() const { return rejected_; }

 private:
  enum class State { kHunting, kLength, kData, kChecksum, kEnd };
  bool Reject();

  State state_ = State::kHunting;
  size_t expected_ = 0;
  uint8_t checksum_ = 0;
  std::vector<uint8_t> data_;   // data of the frame in progress
  std::vector<uint8_t> frame_;  // data of the last complete frame
  std::vector<uint8_t> raw_;  // bytes of the frame in progress, for resynchronising
  int rejected_ = 0;
};

}  // namespace orvald::sim
