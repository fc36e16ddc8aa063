#pragma once
// Digit writers behind FormatLatitude/FormatLongitude, for callers that build
// long texts in place (the IGC writer formats every fix this way).

#include <cstddef>
#include <cstdint>

namespace orvald {

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
