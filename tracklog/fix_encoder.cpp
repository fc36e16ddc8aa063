#include "tracklog/fix_encoder.h"

#include <cstdlib>

namespace orvald {

namespace {

// The n-th decimal digit (n = 0 for units) of a non-negative value.
uint8_t Digit(int64_t value, int n) {
  for (int i = 0; i < n; ++i) value /= 10;
  return static_cast<uint8_t>(value % 10);
}

uint8_t Pack(uint8_t high, uint8_t low) { return static_cast<uint8_t>((high & 0x0F) << 4 | (low & 0x0F)); }

}  // namespace

std::array<uint8_t, 18> EncodeFixRecord(const RawFix& fix) {
  std::array<uint8_t, 18> r{};
  const int yearField = (fix.year - 1980) & 0x7F;
  const int month = fix.month & 0x0F;
  r[0] = static_cast<uint8_t>(yearField << 1 | month >> 3);
  r[1] = static_cast<uint8_t>((month & 0x07) << 5 | (fix.day & 0x1F));

  const int64_t secondOfDay = static_cast<int64_t>(fix.hour) * 3600 + fix.minute * 60 + fix.second;
  r[2] = Pack(fix.fixStatus, Digit(secondOfDay, 4));
  r[3] = Pack(Digit(secondOfDay, 3), Digit(secondOfDay, 2));
  r[4] = Pack(Digit(secondOfDay, 1), Digit(secondOfDay, 0));

  // Latitude DD.ddddd: the magnitude in hundred-thousandths, hemisphere apart.
  const int64_t lat = std::llabs(static_cast<int64_t>(fix.latitudeE5));
  r[5] = Pack(fix.latitudeE5 >= 0 ? 1 : 0, Digit(lat, 6));
  r[6] = Pack(Digit(lat, 5), Digit(lat, 4));
  r[7] = Pack(Digit(lat, 3), Digit(lat, 2));
  r[8] = Pack(Digit(lat, 1), Digit(lat, 0));

  // Longitude DDD.ddddd.
  const int64_t lon = std::llabs(static_cast<int64_t>(fix.longitudeE5));
  r[9] = Pack(fix.longitudeE5 >= 0 ? 1 : 0, Digit(lon, 7));
  r[10] = Pack(Digit(lon, 6), Digit(lon, 5));
  r[11] = Pack(Digit(lon, 4), Digit(lon, 3));
  r[12] = Pack(Digit(lon, 2), Digit(lon, 1));
  r[13] = Pack(Digit(lon, 0), static_cast<uint8_t>(15 - (fix.event & 0x0F)));

  r[14] = fix.aux;
  const uint16_t altitude = static_cast<uint16_t>(fix.altitudeFeet);
  r[15] = static_cast<uint8_t>(altitude >> 8);
  r[16] = static_cast<uint8_t>(altitude & 0xFF);

  uint8_t check = 0;
  for (int i = 0; i < 17; ++i) check ^= r[i];
  r[17] = check;
  return r;
}

void SetFixTime(RawFix& fix, const CivilDateTime& utc) {
  fix.year = utc.year;
  fix.month = utc.month;
  fix.day = utc.day;
  fix.hour = utc.hour;
  fix.minute = utc.minute;
  fix.second = utc.second;
}

}  // namespace orvald
