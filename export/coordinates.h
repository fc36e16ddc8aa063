#pragma once
// Fixed-width IGC coordinate texts: DDMMmmmN and DDDMMmmmE.

#include <string>

namespace orvald {

// The exact truncation of the coordinate's 5-decimal value to thousandths of a minute.
std::string FormatLatitude(double degrees);
std::string FormatLongitude(double degrees);

}  // namespace orvald
