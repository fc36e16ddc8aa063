#pragma once
// From options to a ready logger: reads the memory source, applies the
// layout, settles the identity, writes the files asked for.

#include <string>
#include <vector>

#include "sim/logger_model.h"
#include "sim/sim_options.h"

namespace orvald::sim {

// The memory and identity the options describe; false with a message when a
// source file cannot be read or used. Notes for the operator (such as an
// image that cannot be reproduced exactly) go to `notes`.
bool BuildLogger(const SimOptions& options, LoggerConfig& config, std::vector<uint8_t>& memory, std::string& error,
                 std::string& notes);

// The logger plugged in at a swap: another serial, the same version, the
// same block headers over payloads whose every byte is inverted, at the
// given rate.
void MakeSwappedLogger(const std::string& serialText, int rate, LoggerConfig& config, std::vector<uint8_t>& memory);

// Writes bytes to path through a temporary file renamed into place, so a
// reader never sees half a file.
bool WriteFileWhole(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace orvald::sim
