#pragma once
// Choosing the segments that belong to a task: the run of segments that
// overlaps the task's date and time window, and the task chooser's entries.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tracklog/track_table.h"

namespace orvald {

enum WindowEventKind : uint8_t {
  kWindowStartEvent = 0,
  kWindowEndEvent = 1,
  kSegmentStartEvent = 2,
  kSegmentFinishEvent = 3,
};

// One entry of the matching list. Times are UTC seconds since 1970; they are
// 64-bit because texts read digit by digit can name any year.
struct WindowEvent {
  int64_t time;
  int32_t segment;  // -1 for the two window entries
  uint8_t kind;     // WindowEventKind
};

// The task's date ("YYYY/MM/DD") at a time of day ("HH:MM:SS"), both UTC, as
// seconds since 1970. Digits are read from fixed places (year 1-4, month 6-7,
// day 9-10; hour 1-2, minute 4-5, second 7-8) without any range check, each
// one its character code minus that of '0', so a text that does not follow
// the form still gives a time. Two exceptions keep the reading safe and
// useful: a space (an unfilled masked place, as in " 9:30:00") and a place
// past the end of a short text both count as the digit 0, so "10:30" reads as
// 10:30:00 and an empty date as year 0. Months, days and times out of their
// ranges carry over as a calendar would (month 13 is January of the next
// year).
int64_t TaskWindowTime(std::string_view date, std::string_view timeOfDay);

// Whether the window ends before it starts (its times swapped or mistyped).
// The matching then picks at most one segment, chosen by where the start
// falls, and never the task's flight, so a save by task refuses such a window.
bool TaskWindowEndsBeforeStart(std::string_view date, std::string_view timeFrom, std::string_view timeTo);

// The list the matching walks: window start, window end, then every
// segment's start and finish, sorted by time. Equal times keep that order, so
// at a shared instant the window entries come before the segments' entries
// and a segment's start before its finish.
std::vector<WindowEvent> SortedWindowEvents(int64_t windowStart, int64_t windowEnd, const TrackSegment* segments,
                                            int segmentCount);

struct TaskWindowMatch {
  int firstSegment = -1;  // both -1 when nothing is selected
  int lastSegment = -1;
  int64_t pointsTotal = 0;  // sums over firstSegment..lastSegment; 0 when nothing is selected
  int64_t eventsTotal = 0;
  int64_t windowStart = 0;
  int64_t windowEnd = 0;
  bool selected() const { return firstSegment >= 0 && lastSegment >= 0; }
};

// Selects the segments that a task window overlaps. The first segment is the
// one whose start or finish follows the window start in the list, or, when the
// window end follows directly, the segment that began before the window and
// is still open. The last one is the segment of the entry just before the
// window end. A segment that only partly overlaps is selected whole. A window
// in a gap, before the first or after the last segment selects nothing; so do
// the empty texts of a task that is not in the table.
TaskWindowMatch MatchTaskWindow(const TrackSegment* segments, int segmentCount, std::string_view date,
                                std::string_view timeFrom, std::string_view timeTo);
TaskWindowMatch MatchTaskWindow(const TrackTable& table, std::string_view date, std::string_view timeFrom,
                                std::string_view timeTo);

inline constexpr const char* kNoTaskText = "--";

struct TaskListFill {
  std::vector<std::string> entries;  // the task numbers in table order
  std::string text;                  // the chooser's text afterwards
};

// The task chooser refilled from the task number column (heading in place 0).
// The chooser keeps its text when one of the entries equals it exactly, and
// shows "--" otherwise.
TaskListFill FillTaskList(const std::string& currentText, const std::vector<std::string>& taskNumberColumn);

}  // namespace orvald
