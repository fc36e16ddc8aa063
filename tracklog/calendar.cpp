#include "tracklog/calendar.h"

namespace orvald {

namespace {

// Floor division, so that instants before 1970 fall on the right day.
int64_t FloorDiv(int64_t value, int64_t divisor) {
  int64_t quotient = value / divisor;
  if ((value % divisor != 0) && ((value < 0) != (divisor < 0))) --quotient;
  return quotient;
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month - 1];
}

// Era-based conversion: years counted from March, so the leap day is the last
// day of the counted year and every month length follows one formula.
int64_t DaysFromCivil(int year, int month, int day) {
  const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
  const int64_t era = FloorDiv(y, 400);
  const int64_t yearOfEra = y - era * 400;                                   // 0..399
  const int64_t monthFromMarch = month > 2 ? month - 3 : month + 9;          // 0..11
  const int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;        // 0..365
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const int64_t era = FloorDiv(days, 146097);
  const int64_t dayOfEra = days - era * 146097;                                          // 0..146096
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);  // 0..365
  const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;                                // 0..11
  day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

int64_t SecondsFromCivil(const CivilDateTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400 + static_cast<int64_t>(t.hour) * 3600 +
         static_cast<int64_t>(t.minute) * 60 + t.second;
}

CivilDateTime CivilFromSeconds(int64_t seconds) {
  const int64_t days = FloorDiv(seconds, 86400);
  const int64_t secondOfDay = seconds - days * 86400;
  CivilDateTime t{};
  CivilFromDays(days, t.year, t.month, t.day);
  t.hour = static_cast<int>(secondOfDay / 3600);
  t.minute = static_cast<int>(secondOfDay % 3600 / 60);
  t.second = static_cast<int>(secondOfDay % 60);
  return t;
}

// Fliegel and Van Flandern (1968); the divisions truncate toward zero as in
// the published formula, which is exact for every date after 4800 BC.
int64_t JulianDayNumber(int year, int month, int day) {
  const int64_t y = year, m = month, d = day;
  const int64_t a = (m - 14) / 12;
  return (1461 * (y + 4800 + a)) / 4 + (367 * (m - 2 - 12 * a)) / 12 -
         (3 * ((y + 4900 + a) / 100)) / 4 + d - 32075;
}

}  // namespace orvald
