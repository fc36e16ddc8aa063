#pragma once
// The two facts about the computer's clock that decoding depends on, passed in
// so that tests can pin them.

#include <ctime>

namespace orvald {

struct TimeBasis {
  long _timezone = 0;    // seconds west of UTC, daylight saving not included
  int currentYear = 0;   // the local calendar year of the computer's clock
};

// The C library's time-zone offset and the current local year.
TimeBasis SystemTimeBasis();

// The C library's `_timezone` (seconds west of UTC) after tzset().
long SystemTimezoneOffset();

}  // namespace orvald
