#include "desk/utc_text.h"

#include <cstdio>

#include "tracklog/calendar.h"

namespace orvald {

std::string UtcClockText(int64_t utc) {
  const CivilDateTime t = CivilFromSeconds(utc);
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return text;
}

std::string UtcDateAndMinuteText(int64_t utc) {
  const CivilDateTime t = CivilFromSeconds(utc);
  char text[32];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
  return text;
}

std::string UtcMinuteText(int64_t utc) { return UtcDateAndMinuteText(utc).substr(11); }

std::string UtcSpanText(int64_t from, int64_t to) {
  const std::string start = UtcDateAndMinuteText(from);
  const std::string end = UtcDateAndMinuteText(to);
  return start + "-" + (end.substr(0, 10) == start.substr(0, 10) ? end.substr(11) : end);
}

}  // namespace orvald
