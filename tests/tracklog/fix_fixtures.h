#pragma once
// Small builders shared by the decoder tests: fixes, hand-edited records and
// raw image byte streams.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tracklog/decoder.h"
#include "tracklog/fix_encoder.h"
#include "tracklog/raw_image.h"

namespace orvald::testing {

using Record = std::array<uint8_t, 18>;

// A valid fix in the northern and western hemispheres, well away from 0/0.
inline RawFix Fix(int year, int month, int day, int hour, int minute, int second) {
  RawFix fix;
  fix.year = year;
  fix.month = month;
  fix.day = day;
  fix.hour = hour;
  fix.minute = minute;
  fix.second = second;
  fix.latitudeE5 = 4735012;
  fix.longitudeE5 = -812345;
  fix.altitudeFeet = 1200;
  return fix;
}

// Restores the check byte after a test has edited a record by hand.
inline Record WithCheckByte(Record r) {
  uint8_t x = 0;
  for (int i = 0; i < 17; ++i) x ^= r[i];
  r[17] = x;
  return r;
}

// A basis fixed for tests: UTC, and a clock in 2026.
inline TimeBasis Utc(int currentYear = 2026) { return TimeBasis{0, currentYear}; }

// Raw image bytes: a file header, then the given pieces one after another.
class RawStream {
 public:
  explicit RawStream(const std::string& serial = "TEST0001", const std::string& version = "abcd5.1A") {
    const FileHeader h = BuildFileHeader(serial, version);
    bytes_.assign(h.begin(), h.end());
  }
  RawStream& Add(const Record& r) {
    bytes_.insert(bytes_.end(), r.begin(), r.end());
    return *this;
  }
  RawStream& Add(const RawFix& fix) { return Add(EncodeFixRecord(fix)); }
  RawStream& Add(std::vector<uint8_t> junk) {
    bytes_.insert(bytes_.end(), junk.begin(), junk.end());
    return *this;
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace orvald::testing
