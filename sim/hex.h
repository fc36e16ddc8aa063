#pragma once
// Hex texts for transcripts and command-line values.

#include <cstdint>
#include <string>
#include <vector>

namespace orvald::sim {

// "F0 01 78 79 F2"; "-" for no bytes.
std::string HexBytes(const std::vector<uint8_t>& bytes);

// Accepts "B146", "B1 46", "b1,46"; false on an odd digit count or a non-hex
// character.
bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes);

}  // namespace orvald::sim
