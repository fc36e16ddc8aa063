#pragma once
// Digit writers behind FormatLatitude/FormatLongitude, for callers that build
// long texts in place (the IGC writer formats every fix this way).

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orvald {

// "00" to "99": two digits in one copy, without a division by ten for each.
struct DigitPairTable {
  char text[200];
};
inline constexpr DigitPairTable kDigitPairs = [] {
  DigitPairTable t{};
  for (int v = 0; v < 100; ++v) {
    t.text[2 * v] = static_cast<char>('0' + v / 10);
    t.text[2 * v + 1] = static_cast<char>('0' + v % 10);
  }
  return t;
}();

// `value` (0 to 99) as two digits at `out`; returns the place after them.
inline char* WriteTwoDigits(char* out, unsigned value) {
  std::memcpy(out, &kDigitPairs.text[2 * value], 2);
  return out + 2;
}

// Write DDMMmmmN (DDDMMmmmE for longitudes) of a coordinate in
// hundred-thousandths of a degree at `out` and return the number of
// characters written: 8 (9), more only for a degree count that does not fit.
// `out` needs room for 24 characters.
size_t WriteLatitudeText(char* out, int32_t hundredThousandths);
size_t WriteLongitudeText(char* out, int32_t hundredThousandths);

// The magnitude of a coordinate as those texts give it: whole degrees and
// thousandths of a minute, truncated.
void IgcCoordinateParts(int32_t hundredThousandths, int64_t& wholeDegrees, int64_t& thousandthsOfMinute);

}  // namespace orvald
