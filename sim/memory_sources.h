#pragma once
// Where the simulated logger's memory comes from: an IGC flight, a saved raw
// image (.G00), or a small built-in flight; plus the block header edits that
// set up awkward layouts.

#include <cstdint>
#include <string>
#include <vector>

#include "tracklog/memory_image.h"

namespace orvald::sim {

// B records of an IGC text as logger fixes. The date comes from the HFDTE
// header and moves on a day whenever the time of day steps back by more than
// twelve hours; an E record marks the next fix with an event. False (with a
// reason) when there is no date or no usable B record.
bool ParseIgcFixes(const std::string& text, std::vector<RawFix>& fixes, std::string& error);

// A short flight in two segments (a ten-minute gap), with one event mark.
std::vector<RawFix> SyntheticFlight();

// A memory whose complete download writes `file` again, byte for byte, with
// the identity read from the file's header. exact is false when no block
// layout can give the file's size (a foreign or truncated file); the payload
// is then put in whole blocks and the download ends with erased bytes.
struct RawFileMemory {
  std::vector<uint8_t> memory;
  std::string serialText;
  std::string versionText;
  bool exact = true;
  int usedBlocks = 0;
};
RawFileMemory MemoryFromRawFile(const std::vector<uint8_t>& file);

// Writes the layout's fill mask, sequence and status byte overrides into the
// block headers of an existing memory.
void ApplyHeaderOverrides(std::vector<uint8_t>& memory, const MemoryLayout& layout);

}  // namespace orvald::sim
