#include "tracklog/grid_text.h"

#include <cstdio>

#include "tracklog/calendar.h"

namespace orvald {

const std::array<const char*, kGridColumns> kGridHeadings = {"Sgm",      "Start",  "Finish", "Blind",
                                                             "Recorded", "Points", "Events"};

std::string FormatDateTime(int64_t utcSeconds) {
  const CivilDateTime t = CivilFromSeconds(utcSeconds);
  char text[48];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d  %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return text;
}

std::string FormatDuration(int64_t seconds) {
  const uint32_t value = static_cast<uint32_t>(seconds);  // a negative gap shows as a huge one
  char text[32];
  std::snprintf(text, sizeof text, "%2d:%02d:%02d", static_cast<int>(value / 3600),
                static_cast<int>(value % 3600 / 60), static_cast<int>(value % 60));
  return text;
}

std::array<std::string, kGridColumns> SegmentRowCells(int index, const TrackSegment& segment) {
  return {std::to_string(index + 1),
          FormatDateTime(segment.start),
          FormatDateTime(segment.finish),
          segment.blind == 0 ? std::string() : FormatDuration(segment.blind),
          FormatDuration(segment.recorded),
          std::to_string(segment.points),
          segment.events == 0 ? std::string() : std::to_string(segment.events)};
}

}  // namespace orvald
