#include "sim/frame.h"

namespace orvald::sim {

uint8_t FrameChecksum(const uint8_t* data, size_t size) {
  uint8_t sum = static_cast<uint8_t>(size);
  for (size_t i = 0; i < size; ++i) sum ^= data[i];
  return sum;
}

std::vector<uint8_t> EncodeFrame(const std::vector<uint8_t>& data) {
  const size_t n = data.size() < kMaxFrameData ? data.size() : kMaxFrameData;
  std::vector<uint8_t> frame;
  frame.reserve(n + 4);
  frame.push_back(kFrameStart);
  frame.push_back(static_cast<uint8_t>(n));
  frame.insert(frame.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
  frame.push_back(FrameChecksum(data.data(), n));
  frame.push_back(kFrameEnd);
  return frame;
}

void FrameParser::Reset() {
  state_ = State::kHunting;
  data_.clear();
  raw_.clear();
}

bool FrameParser::Reject() {
  ++rejected_;
  // Look for another start byte among the bytes after the rejected start; a
  // whole frame hidden there is delivered.
  std::vector<uint8_t> replay(raw_.begin() + 1, raw_.end());
  Reset();
  bool completed = false;
  for (uint8_t b : replay) completed = Feed(b) || completed;
  return completed;
}

bool FrameParser::Feed(uint8_t byte) {
  switch (state_) {
    case State::kHunting:
      if (byte == kFrameStart) {
        raw_.assign(1, byte);
        data_.clear();
        state_ = State::kLength;
      }
      return false;
    case State::kLength:
      raw_.push_back(byte);
      expected_ = byte;
      checksum_ = byte;
      state_ = expected_ == 0 ? State::kChecksum : State::kData;
      return false;
    case State::kData:
      raw_.push_back(byte);
      data_.push_back(byte);
      checksum_ ^= byte;
      if (data_.size() == expected_) state_ = State::kChecksum;
      return false;
    case State::kChecksum:
      raw_.push_back(byte);
      if (byte != checksum_) return Reject();
      state_ = State::kEnd;
      return false;
    case State::kEnd:
      raw_.push_back(byte);
      if (byte != kFrameEnd) return Reject();
      state_ = State::kHunting;
      raw_.clear();
      frame_.swap(data_);
      data_.clear();
      return true;
  }
  return false;
}

}  // namespace orvald::sim
