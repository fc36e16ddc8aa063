#pragma once
// IGC files are ASCII, and scoring programs read nothing else: the texts that
// go into their records and names are made ASCII here, the same bytes in
// whatever locale the program runs.

#include <string>
#include <string_view>

namespace orvald {

// A name typed by a person (pilot, competition number, task) in its ASCII
// spelling: "Małgorzata Kovačević" is "Malgorzata Kovacevic", Cyrillic and
// other scripts are spelled in Latin letters first. A character that has no
// spelling, a byte that is not UTF-8 and a control character each become '_'.
std::string AsciiSpelling(std::string_view utf8);

// Bytes a logger sent (serial, type): each control character and each byte
// beyond ASCII becomes '_', since they are no letters of any known encoding.
std::string AsciiBytes(std::string_view bytes);

}  // namespace orvald
