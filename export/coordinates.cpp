#include "export/coordinates.h"

#include <cstdint>

#include "export/coordinate_digits.h"

namespace orvald {
namespace {

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

size_t WriteCoordinate(char* out, int32_t e5, int degreeWidth, char positive, char negative) {
  int64_t wholeDegrees = 0;
  int64_t thousandthsOfMinute = 0;
  IgcCoordinateParts(e5, wholeDegrees, thousandthsOfMinute);
  char* next = out;
  // Every coordinate on the earth fits the width; only a hand-made absurd
  // value needs more digits.
  if (wholeDegrees < (degreeWidth == 2 ? 100 : 1000)) {
    if (degreeWidth == 3) *next++ = static_cast<char>('0' + wholeDegrees / 100);
    next = WriteTwoDigits(next, static_cast<unsigned>(wholeDegrees % 100));
  } else {
    next += WriteDigits(next, wholeDegrees, degreeWidth);
  }
  const auto t = static_cast<unsigned>(thousandthsOfMinute);  // below 60000
  next = WriteTwoDigits(next, t / 1000);
  *next++ = static_cast<char>('0' + t / 100 % 10);
  next = WriteTwoDigits(next, t % 100);
  *next++ = e5 < 0 ? negative : positive;
  return static_cast<size_t>(next - out);
}

}  // namespace

void IgcCoordinateParts(int32_t hundredThousandths, int64_t& wholeDegrees, int64_t& thousandthsOfMinute) {
  const int64_t k = hundredThousandths < 0 ? -static_cast<int64_t>(hundredThousandths) : hundredThousandths;
  wholeDegrees = k / 100000;
  // Thousandths of a minute: fraction x 60 x 1000 / 100000, truncated.
  thousandthsOfMinute = (k % 100000) * 3 / 5;
}

size_t WriteLatitudeText(char* out, int32_t e5) { return WriteCoordinate(out, e5, 2, 'N', 'S'); }

size_t WriteLongitudeText(char* out, int32_t e5) { return WriteCoordinate(out, e5, 3, 'E', 'W'); }

std::string FormatLatitude(int32_t e5) {
  char text[24];
  return std::string(text, WriteLatitudeText(text, e5));
}

std::string FormatLongitude(int32_t e5) {
  char text[24];
  return std::string(text, WriteLongitudeText(text, e5));
}

}  // namespace orvald
