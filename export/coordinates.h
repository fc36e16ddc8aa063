#pragma once
// Fixed-width IGC coordinate texts: DDMMmmmN and DDDMMmmmE.

#include <cstdint>
#include <string>

namespace orvald {

// From hundred-thousandths of a degree (as the track table holds them): the
// exact truncation to thousandths of a minute.
std::string FormatLatitude(int32_t hundredThousandths);
std::string FormatLongitude(int32_t hundredThousandths);
// Degrees would convert silently to a whole number of hundred-thousandths.
std::string FormatLatitude(double) = delete;
std::string FormatLongitude(double) = delete;

}  // namespace orvald
