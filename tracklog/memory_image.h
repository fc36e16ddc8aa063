#pragma once
// Builds a logger's 2 MiB block memory from a list of fixes, and computes the
// raw image file that downloading such a memory must produce. The simulator
// serves these memories; tests compare downloads against the expected files.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tracklog/fix_encoder.h"
#include "tracklog/raw_image.h"

namespace orvald {

inline constexpr int kMemorySize = kBlockCount * kBlockSize;  // 2 MiB
inline constexpr int kRecordsPerBlock = (kBlockSize - kBlockHeaderSize) / 18;  // 3639

// How the fixes are laid out over the blocks.
struct MemoryLayout {
  int startBlock = 0;         // block that receives the first (oldest) fixes
  int32_t firstSequence = 1;  // sequence number of the start block; +1 per following block
  int recordsPerBlock = kRecordsPerBlock;  // fewer spreads a short flight over more blocks
  // Overrides applied after the fixes are placed (block number -> value).
  std::vector<std::pair<int, uint16_t>> fillMaskOverrides;
  std::vector<std::pair<int, int32_t>> sequenceOverrides;
  std::vector<std::pair<int, uint8_t>> statusByteOverrides;  // header byte 0
};

// A fresh memory: every byte 0xFF, as erased flash; no block in use.
std::vector<uint8_t> ErasedMemory();

// Places the encoded fixes block after block from layout.startBlock (wrapping
// 31 -> 0), marks each written block in use with its sequence number and the
// fill mask that covers its data. Fixes beyond 32 blocks are left out.
std::vector<uint8_t> BuildMemoryImage(const std::vector<RawFix>& fixes, const MemoryLayout& layout = {});

// The .G00 bytes that a complete download of `memory` writes: the file header
// for the identity, then each used block's payload in download order.
std::vector<uint8_t> ExpectedRawFile(const std::vector<uint8_t>& memory, const std::string& serialText,
                                     const std::string& versionText);

}  // namespace orvald
