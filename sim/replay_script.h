#pragma once
// A logger that answers from an exchange log recorded by the computer's side
// (orvald-cli download --log): each request gets the bytes that arrived for
// the same request in the recording, taken in order, so a failed download can
// be run again at the desk exactly as the logger answered it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvald::sim {

struct ReplayEntry {
  std::vector<uint8_t> request;  // the whole frame the computer sent
  std::vector<uint8_t> reply;    // the bytes that arrived for it (may be none)
};

class ReplayScript {
 public:
  ReplayScript() = default;
  explicit ReplayScript(std::vector<ReplayEntry> entries) : entries_(std::move(entries)) {}

  // Reads a log; false with the reason in `error`.
  bool Load(const std::string& path, std::string& error);

  // The recorded bytes for `requestFrame`: the first entry from the current
  // place on with the same request, which then becomes the place after it. A
  // request the rest of the recording does not hold gets no reply and moves
  // nothing, so one stray request does not skip the recording past its end.
  std::vector<uint8_t> Answer(const std::vector<uint8_t>& requestFrame);

  size_t size() const { return entries_.size(); }
  size_t position() const { return next_; }
  size_t unmatched() const { return unmatched_; }

 private:
  std::vector<ReplayEntry> entries_;
  size_t next_ = 0;
  size_t unmatched_ = 0;
};

}  // namespace orvald::sim
