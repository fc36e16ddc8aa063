#include "tracklog/time_basis.h"

#include <time.h>

namespace orvald {

long SystemTimezoneOffset() {
  tzset();
  return timezone;
}

TimeBasis SystemTimeBasis() {
  TimeBasis basis;
  basis._timezone = SystemTimezoneOffset();
  const time_t now = time(nullptr);
  struct tm local {};
  if (localtime_r(&now, &local) != nullptr) basis.currentYear = local.tm_year + 1900;
  return basis;
}

}  // namespace orvald
