#pragma once
// UTC times as the desk's lines write them: "20:58:31", "19:45",
// "2022/07/16 19:45", spans with the date again only when it changed.

#include <cstdint>
#include <string>

namespace orvald {

std::string UtcClockText(int64_t utc);          // "HH:MM:SS"
std::string UtcMinuteText(int64_t utc);         // "HH:MM"
std::string UtcDateAndMinuteText(int64_t utc);  // "YYYY/MM/DD HH:MM"
// "2022/07/15 09:12-11:40", the date again at the end only when it changed.
std::string UtcSpanText(int64_t from, int64_t to);

}  // namespace orvald
