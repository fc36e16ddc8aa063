#include "tracklog/time_basis.h"

#include <time.h>

#include "tracklog/calendar.h"

namespace orvald {

long SystemTimezoneOffset() {
  tzset();
  return timezone;
}

TimeBasis TimeBasisAt(std::time_t utcNow, long timezone) {
  TimeBasis basis;
  basis._timezone = timezone;
  basis.currentYear = CivilFromSeconds(static_cast<int64_t>(utcNow) - timezone).year;
  return basis;
}

TimeBasis SystemTimeBasis() { return TimeBasisAt(time(nullptr), SystemTimezoneOffset()); }

}  // namespace orvald
