#include "export/task_window.h"

#include <algorithm>

#include "tracklog/calendar.h"

namespace orvald {

namespace {

// Place is counted from 1. No range check on purpose: the tables hold the
// texts as typed and the window is read from them as they stand. A space is
// what a masked cell holds in an unfilled place, notably the optional first
// hour digit of " 9:30:00", so it reads as 0 like a place past the end.
int64_t DigitAt(std::string_view text, size_t place) {
  if (place > text.size() || text[place - 1] == ' ') return 0;
  return static_cast<int64_t>(static_cast<unsigned char>(text[place - 1])) - '0';
}

int64_t TwoDigits(std::string_view text, size_t place) { return DigitAt(text, place) * 10 + DigitAt(text, place + 1); }

int64_t FloorDiv(int64_t value, int64_t divisor) {
  int64_t quotient = value / divisor;
  if (value % divisor != 0 && (value < 0) != (divisor < 0)) --quotient;
  return quotient;
}

}  // namespace

int64_t TaskWindowTime(std::string_view date, std::string_view timeOfDay) {
  const int64_t year = DigitAt(date, 1) * 1000 + DigitAt(date, 2) * 100 + TwoDigits(date, 3);
  const int64_t month = TwoDigits(date, 6);
  const int64_t day = TwoDigits(date, 9);
  const int64_t hour = TwoDigits(timeOfDay, 1);
  const int64_t minute = TwoDigits(timeOfDay, 4);
  const int64_t second = TwoDigits(timeOfDay, 7);

  const int64_t monthsFromJanuary = month - 1;
  const int64_t yearCarry = FloorDiv(monthsFromJanuary, 12);
  const int normalMonth = static_cast<int>(monthsFromJanuary - yearCarry * 12) + 1;
  const int64_t days = DaysFromCivil(static_cast<int>(year + yearCarry), normalMonth, 1) + (day - 1);
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

bool TaskWindowEndsBeforeStart(std::string_view date, std::string_view timeFrom, std::string_view timeTo) {
  return TaskWindowTime(date, timeTo) < TaskWindowTime(date, timeFrom);
}

std::vector<WindowEvent> SortedWindowEvents(int64_t windowStart, int64_t windowEnd, const TrackSegment* segments,
                                            int segmentCount) {
  std::vector<WindowEvent> events;
  events.reserve(2 + 2 * static_cast<size_t>(std::max(segmentCount, 0)));
  events.push_back({windowStart, -1, kWindowStartEvent});
  events.push_back({windowEnd, -1, kWindowEndEvent});
  for (int i = 0; i < segmentCount; ++i) {
    events.push_back({segments[i].start, i, kSegmentStartEvent});
    events.push_back({segments[i].finish, i, kSegmentFinishEvent});
  }
  // Stable, so that equal times always give the same selection.
  std::stable_sort(events.begin(), events.end(),
                   [](const WindowEvent& a, const WindowEvent& b) { return a.time < b.time; });
  return events;
}

TaskWindowMatch MatchTaskWindow(const TrackSegment* segments, int segmentCount, std::string_view date,
                                std::string_view timeFrom, std::string_view timeTo) {
  TaskWindowMatch match;
  match.windowStart = TaskWindowTime(date, timeFrom);
  match.windowEnd = TaskWindowTime(date, timeTo);
  if (segments == nullptr) segmentCount = 0;
  const std::vector<WindowEvent> events =
      SortedWindowEvents(match.windowStart, match.windowEnd, segments, segmentCount);

  auto isSegmentEntry = [](const WindowEvent& e) {
    return e.kind == kSegmentStartEvent || e.kind == kSegmentFinishEvent;
  };
  auto findKind = [&](uint8_t kind) {
    return static_cast<size_t>(
        std::find_if(events.begin(), events.end(), [kind](const WindowEvent& e) { return e.kind == kind; }) -
        events.begin());
  };

  const size_t startAt = findKind(kWindowStartEvent);
  if (startAt + 1 < events.size()) {
    const WindowEvent& next = events[startAt + 1];
    if (isSegmentEntry(next)) {
      match.firstSegment = next.segment;
    } else if (next.kind == kWindowEndEvent && startAt > 0 && events[startAt - 1].kind == kSegmentStartEvent) {
      // The whole window lies inside the segment that began before it.
      match.firstSegment = events[startAt - 1].segment;
    }
  }

  if (match.firstSegment >= 0) {
    const size_t endAt = findKind(kWindowEndEvent);
    if (endAt > 0) {
      const WindowEvent& previous = events[endAt - 1];
      if (previous.kind == kWindowStartEvent)
        match.lastSegment = match.firstSegment;
      else if (isSegmentEntry(previous))
        match.lastSegment = previous.segment;
    }
  }

  if (!match.selected()) {
    match.firstSegment = -1;
    match.lastSegment = -1;
    return match;
  }
  if (match.lastSegment < match.firstSegment) match.lastSegment = match.firstSegment;
  for (int i = match.firstSegment; i <= match.lastSegment; ++i) {
    match.pointsTotal += segments[i].points;
    match.eventsTotal += segments[i].events;
  }
  return match;
}

TaskWindowMatch MatchTaskWindow(const TrackTable& table, std::string_view date, std::string_view timeFrom,
                                std::string_view timeTo) {
  return MatchTaskWindow(table.segments(), table.segmentCount, date, timeFrom, timeTo);
}

TaskListFill FillTaskList(const std::string& currentText, const std::vector<std::string>& taskNumberColumn) {
  TaskListFill fill;
  if (taskNumberColumn.size() > 1) fill.entries.assign(taskNumberColumn.begin() + 1, taskNumberColumn.end());
  const bool listed = std::find(fill.entries.begin(), fill.entries.end(), currentText) != fill.entries.end();
  fill.text = listed ? currentText : kNoTaskText;
  return fill;
}

}  // namespace orvald
