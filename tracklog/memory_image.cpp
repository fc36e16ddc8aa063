#include "tracklog/memory_image.h"

#include <algorithm>

namespace orvald {

namespace {

constexpr int kPageSize = 4096;

uint8_t* Block(std::vector<uint8_t>& memory, int block) {
  return memory.data() + static_cast<size_t>(block) * kBlockSize;
}

void WriteSequence(uint8_t* header, int32_t sequence) {
  const uint32_t value = static_cast<uint32_t>(sequence);
  for (int i = 0; i < 4; ++i) header[8 + i] = static_cast<uint8_t>(value >> (8 * i));
}

void WriteFillMask(uint8_t* header, uint16_t mask) {
  header[16] = static_cast<uint8_t>(mask & 0xFF);
  header[17] = static_cast<uint8_t>(mask >> 8);
}

// The mask a logger leaves after writing `bytes` bytes from the block start:
// one cleared bit per page touched, from bit 0 up.
uint16_t MaskForWrittenBytes(int bytes) {
  const int pages = std::min(16, (bytes + kPageSize - 1) / kPageSize);
  return static_cast<uint16_t>(pages >= 16 ? 0 : (0xFFFFu << pages) & 0xFFFFu);
}

}  // namespace

std::vector<uint8_t> ErasedMemory() { return std::vector<uint8_t>(kMemorySize, 0xFF); }

std::vector<uint8_t> BuildMemoryImage(const std::vector<RawFix>& fixes, const MemoryLayout& layout) {
  std::vector<uint8_t> memory = ErasedMemory();
  const int perBlock = std::clamp(layout.recordsPerBlock, 1, kRecordsPerBlock);
  size_t next = 0;
  for (int used = 0; used < kBlockCount && next < fixes.size(); ++used) {
    const int blockNumber = ((layout.startBlock % kBlockCount) + kBlockCount + used) % kBlockCount;
    uint8_t* block = Block(memory, blockNumber);
    int offset = kBlockHeaderSize;
    for (int r = 0; r < perBlock && next < fixes.size(); ++r, ++next, offset += 18) {
      const auto record = EncodeFixRecord(fixes[next]);
      std::copy(record.begin(), record.end(), block + offset);
    }
    block[0] = 0x10;
    WriteSequence(block, layout.firstSequence + used);
    WriteFillMask(block, MaskForWrittenBytes(offset));
  }
  for (const auto& [blockNumber, mask] : layout.fillMaskOverrides) WriteFillMask(Block(memory, blockNumber), mask);
  for (const auto& [blockNumber, sequence] : layout.sequenceOverrides) WriteSequence(Block(memory, blockNumber), sequence);
  for (const auto& [blockNumber, status] : layout.statusByteOverrides) Block(memory, blockNumber)[0] = status;
  return memory;
}

std::vector<uint8_t> ExpectedRawFile(const std::vector<uint8_t>& memory, const std::string& serialText,
                                     const std::string& versionText) {
  const FileHeader header = BuildFileHeader(serialText, versionText);
  std::vector<uint8_t> file(header.begin(), header.end());
  if (memory.size() < static_cast<size_t>(kMemorySize)) return file;

  std::array<std::optional<BlockHeader>, kBlockCount> headers;
  for (int block = 0; block < kBlockCount; ++block) {
    BlockHeader h;
    const uint8_t* start = memory.data() + static_cast<size_t>(block) * kBlockSize;
    std::copy(start, start + kBlockHeaderSize, h.begin());
    headers[block] = h;
  }
  const DownloadPlan plan = PlanDownload(headers);
  for (int block : plan.visitOrder) {
    const BlockHeaderInfo info = ParseBlockHeader(headers[block]->data());
    if (!info.used()) continue;
    const uint8_t* start = memory.data() + static_cast<size_t>(block) * kBlockSize;
    file.insert(file.end(), start + kBlockHeaderSize, start + BlockFillBytes(info.fillMask));
  }
  return file;
}

}  // namespace orvald
