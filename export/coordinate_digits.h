#pragma once
// Digit writers behind FormatLatitude/FormatLongitude, for callers that build
// long texts in place (the IGC writer formats every fix this way).

#include <cstddef>

namespace orvald {

// Write DDMMmmmN (DDDMMmmmE for longitudes) at `out` and return the number of
// characters written: 8 (9), more only for a degree count that does not fit.
// `out` needs room for 24 characters.
size_t WriteLatitudeText(char* out, double degrees);
size_t WriteLongitudeText(char* out, double degrees);

}  // namespace orvald
