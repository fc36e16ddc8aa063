#pragma once
// The two facts about the computer's clock that decoding depends on, passed in
// so that tests can pin them.

#include <ctime>

namespace orvald {

struct TimeBasis {
  long _timezone = 0;    // seconds west of UTC, daylight saving not included
  int currentYear = 0;   // the local calendar year of the computer's clock
};

// The basis for a decode at `utcNow` with the offset `timezone`: the current
// year is that of the same local standard time the fixes are moved to (now
// minus the offset), so a fix of the first minutes of a new year is never
// "in the future".
TimeBasis TimeBasisAt(std::time_t utcNow, long timezone);

// The C library's time-zone offset and the current year at that offset.
TimeBasis SystemTimeBasis();

// The C library's `_timezone` (seconds west of UTC) after tzset().
long SystemTimezoneOffset();

}  // namespace orvald
