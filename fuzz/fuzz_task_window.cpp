// Task window texts as the operator may leave them (any bytes, any length)
// matched against a few segments: the choice is always a run of existing
// segments, and its totals are that run's.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "export/task_window.h"
#include "fuzz/require.h"

namespace {

// The next text up to a newline, or the rest of the input.
std::string_view TakeText(const uint8_t*& data, size_t& size) {
  const auto* begin = reinterpret_cast<const char*>(data);
  const void* newline = std::memchr(data, '\n', size);
  const size_t length = newline != nullptr ? static_cast<const uint8_t*>(newline) - data : size;
  const size_t used = newline != nullptr ? length + 1 : length;
  data += used;
  size -= used;
  return std::string_view(begin, length);
}

template <typename T>
T Take(const uint8_t*& data, size_t& size) {
  T value{};
  const size_t used = size < sizeof value ? size : sizeof value;
  std::memcpy(&value, data, used);
  data += used;
  size -= used;
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Segments first (a count, then 9 bytes each), so the texts can run to the end.
  const int wanted = Take<uint8_t>(data, size) % 9;
  std::vector<orvald::TrackSegment> segments;
  int32_t clock = 1'150'000'000;
  for (int i = 0; i < wanted && size >= 9; ++i) {
    orvald::TrackSegment segment{};
    // Mostly the ascending, gap-separated segments a decode makes; a signed
    // step lets the fuzzer try overlapping and unordered ones too.
    clock += Take<int32_t>(data, size) % 200'000;
    segment.start = clock;
    clock += Take<uint16_t>(data, size);
    segment.finish = clock;
    segment.points = Take<uint8_t>(data, size) + 1;
    segment.events = Take<uint8_t>(data, size) % (segment.points + 1);
    Take<uint8_t>(data, size);
    segments.push_back(segment);
  }
  const std::string_view date = TakeText(data, size);
  const std::string_view from = TakeText(data, size);
  const std::string_view to = TakeText(data, size);

  const int count = static_cast<int>(segments.size());
  const orvald::TaskWindowMatch match = orvald::MatchTaskWindow(segments.data(), count, date, from, to);
  Require(match.windowStart == orvald::TaskWindowTime(date, from));
  Require(match.windowEnd == orvald::TaskWindowTime(date, to));
  if (match.selected()) {
    Require(match.firstSegment >= 0 && match.firstSegment <= match.lastSegment && match.lastSegment < count);
    int64_t points = 0;
    int64_t events = 0;
    for (int i = match.firstSegment; i <= match.lastSegment; ++i) {
      points += segments[i].points;
      events += segments[i].events;
    }
    Require(match.pointsTotal == points && match.eventsTotal == events);
  } else {
    Require(match.firstSegment == -1 && match.lastSegment == -1);
    Require(match.pointsTotal == 0 && match.eventsTotal == 0);
  }

  const auto events = orvald::SortedWindowEvents(match.windowStart, match.windowEnd, segments.data(), count);
  Require(events.size() == static_cast<size_t>(2 + 2 * count));
  for (size_t i = 1; i < events.size(); ++i) Require(events[i - 1].time <= events[i].time);
  return 0;
}
