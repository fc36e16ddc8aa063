#pragma once
// Texts from a logger or a table made safe for where they go: a file name,
// or a line of output, a record or a table cell.

#include <string>

namespace orvald {

// Replaces every character that cannot stand in a file name, or would lead out
// of the data directory, by '_': / \ : * ? " < > |, control characters and
// each byte beyond ASCII.
std::string SafeFileNameText(const std::string& text);

// Control characters replaced by '_': texts from a logger or a table that
// go into a record line, a table cell or a line of output.
std::string SafeDisplayText(const std::string& text);

}  // namespace orvald
