#pragma once
// The frame around `data`, as the logger sends it, for test loggers of
// every kind (in memory, on a pseudo-terminal).

#include <cstdint>
#include <vector>

namespace orvald::testing {

inline std::vector<uint8_t> FrameOf(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> frame{0xF0, static_cast<uint8_t>(data.size())};
  uint8_t sum = static_cast<uint8_t>(data.size());
  for (uint8_t b : data) {
    frame.push_back(b);
    sum ^= b;
  }
  frame.push_back(sum);
  frame.push_back(0xF2);
  return frame;
}

}  // namespace orvald::testing
