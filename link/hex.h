#pragma once
// Bytes as hex text and back, for exchange logs, transcripts and options.

#include <cstdint>
#include <string>
#include <vector>

namespace orvald {

// "F0 01 78 79 F2": two upper-case digits a byte, spaces between; "" for none.
std::string HexBytes(const std::vector<uint8_t>& bytes);

// Accepts "B146", "B1 46", "b1,46", "b1:46"; false on an odd digit count or
// a character that is no hex digit.
bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes);

}  // namespace orvald
