#include "export/coordinates.h"

#include <cmath>
#include <cstdint>

#include "export/coordinate_digits.h"

namespace orvald {
namespace {

// Fixes carry five decimals of a degree. Going through an exact integer count
// of 1e-5 degrees keeps binary fractions (51.00005 is 51.0000499999... as a
// double) from losing a thousandth of a minute in the minute arithmetic.
int64_t HundredThousandths(double magnitude) {
  if (!(magnitude < 1e12)) return 0;  // NaN or absurd: nothing sensible to print
  return std::llround(magnitude * 100000.0);
}

// Zero-padded to at least `width` digits, like "%0*d" of a non-negative value.
size_t WriteDigits(char* out, int64_t value, int width) {
  char reversed[24];
  int count = 0;
  do {
    reversed[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  while (count < width) reversed[count++] = '0';
  for (int i = 0; i < count; ++i) out[i] = reversed[count - 1 - i];
  return static_cast<size_t>(count);
}

size_t WriteCoordinate(char* out, double degrees, int degreeWidth, char positive, char negative) {
  int64_t wholeDegrees = 0;
  int64_t thousandthsOfMinute = 0;
  IgcCoordinateParts(degrees, wholeDegrees, thousandthsOfMinute);
  size_t n = WriteDigits(out, wholeDegrees, degreeWidth);
  n += WriteDigits(out + n, thousandthsOfMinute / 1000, 2);
  n += WriteDigits(out + n, thousandthsOfMinute % 1000, 3);
  out[n++] = degrees < 0 ? negative : positive;
  return n;
}

}  // namespace

void IgcCoordinateParts(double degrees, int64_t& wholeDegrees, int64_t& thousandthsOfMinute) {
  const int64_t k = HundredThousandths(std::fabs(degrees));
  wholeDegrees = k / 100000;
  // Thousandths of a minute: fraction x 60 x 1000, truncated.
  thousandthsOfMinute = (k % 100000) * 60000 / 100000;
}

size_t WriteLatitudeText(char* out, double degrees) { return WriteCoordinate(out, degrees, 2, 'N', 'S'); }

size_t WriteLongitudeText(char* out, double degrees) { return WriteCoordinate(out, degrees, 3, 'E', 'W'); }

std::string FormatLatitude(double degrees) {
  char text[24];
  return std::string(text, WriteLatitudeText(text, degrees));
}

std::string FormatLongitude(double degrees) {
  char text[24];
  return std::string(text, WriteLongitudeText(text, degrees));
}

}  // namespace orvald
