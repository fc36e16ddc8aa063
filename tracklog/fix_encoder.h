#pragma once
// The inverse of DecodeFixRecord: builds the 18-byte record a logger writes.
// Used by the logger simulator and by tests.

#include <array>
#include <cstdint>

#include "tracklog/calendar.h"

namespace orvald {

struct RawFix {
  // UTC date and time, as the logger records them.
  int year = 2007;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int32_t latitudeE5 = 0;   // degrees x 100000, north positive
  int32_t longitudeE5 = 0;  // degrees x 100000, east positive
  int16_t altitudeFeet = 0;
  uint8_t aux = 0;          // raw byte 14
  uint8_t event = 0;        // 0 = no event; written as the inverted low nibble
  uint8_t fixStatus = 1;    // 0..15
};

// Sets the fix's date and time to a UTC moment; the rest stays as it is.
void SetFixTime(RawFix& fix, const CivilDateTime& utc);

std::array<uint8_t, 18> EncodeFixRecord(const RawFix& fix);

}  // namespace orvald
