#pragma once
// Calendar arithmetic on plain integers (proleptic Gregorian), so that the
// decoder needs no mktime/timegm per record.

#include <cstdint>

namespace orvald {

struct CivilDateTime {
  int year;
  int month;   // 1..12
  int day;     // 1..31
  int hour;
  int minute;
  int second;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Days since 1970-01-01 for a civil date, and back.
int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(int64_t days, int& year, int& month, int& day);

// Seconds since 1970 for a civil date and time read as UTC, and back.
int64_t SecondsFromCivil(const CivilDateTime& t);
CivilDateTime CivilFromSeconds(int64_t seconds);

// Julian Day Number by the Fliegel and Van Flandern integer formula.
int64_t JulianDayNumber(int year, int month, int day);

}  // namespace orvald
