#include "tracklog/raw_image.h"

namespace orvald {

namespace {

constexpr int kPageSize = 4096;

uint8_t CharAt(const std::string& text, size_t index) {
  return index < text.size() ? static_cast<uint8_t>(text[index]) : 0;
}

}  // namespace

int32_t BlockFillBytes(uint16_t fillMask) {
  // Pages are filled in order, clearing mask bits from bit 0 up; anything but
  // such a clean prefix (a hole, or no page at all) is read as the whole block.
  for (int pages = 1; pages <= 15; ++pages) {
    const uint16_t prefixMask = static_cast<uint16_t>(0xFFFFu << pages);
    if (fillMask == prefixMask) return pages * kPageSize;
  }
  return kBlockSize;
}

BlockHeaderInfo ParseBlockHeader(const uint8_t* header) {
  BlockHeaderInfo info;
  info.inUse = (header[0] >> 4) == 1;
  const uint32_t sequence = static_cast<uint32_t>(header[8]) | static_cast<uint32_t>(header[9]) << 8 |
                            static_cast<uint32_t>(header[10]) << 16 | static_cast<uint32_t>(header[11]) << 24;
  info.sequence = static_cast<int32_t>(sequence);
  info.fillMask = static_cast<uint16_t>(header[16] | header[17] << 8);
  return info;
}

DownloadPlan PlanDownload(const std::array<std::optional<BlockHeader>, kBlockCount>& headers) {
  DownloadPlan plan;
  int32_t lowestSequence = kNoStartSequence;
  for (int block = 0; block < kBlockCount; ++block) {
    if (!headers[block]) continue;
    const BlockHeaderInfo info = ParseBlockHeader(headers[block]->data());
    if (!info.used()) continue;
    ++plan.usedBlocks;
    plan.pieces += BlockFillBytes(info.fillMask) / kPieceSize;
    // Strictly smaller: among equal numbers the lower block stays the start.
    if (info.sequence < lowestSequence) {
      lowestSequence = info.sequence;
      plan.startBlock = block;
    }
  }
  if (plan.startBlock < 0) return plan;
  // Every block from the start round to it again; the download reads each
  // header afresh and passes over the blocks that are not used blocks then.
  for (int step = 0; step < kBlockCount; ++step) plan.visitOrder.push_back((plan.startBlock + step) % kBlockCount);
  return plan;
}

uint8_t FirmwareByteFromVersion(const std::string& versionText) {
  if (versionText.empty()) return 0;
  // Deliberately unchecked: a non-digit still yields a byte, as the logger's
  // own tools do; the arithmetic wraps modulo 256.
  const int value = (CharAt(versionText, 4) - '0') * 16 + (CharAt(versionText, 6) - '0');
  return static_cast<uint8_t>(value & 0xFF);
}

char VersionSuffixFromVersion(const std::string& versionText) {
  if (versionText.empty()) return 0;
  return static_cast<char>(CharAt(versionText, 7));
}

std::string TypeTextFrom(uint8_t firmwareByte, char versionSuffix) {
  std::string text;
  text += static_cast<char>('0' + (firmwareByte >> 4));  // not reduced: 10..15 give ':'..'?'
  text += '.';
  text += static_cast<char>('0' + (firmwareByte & 0x0F) % 10);
  if (versionSuffix != 0) text += versionSuffix;
  return text;
}

FileHeader BuildFileHeader(const std::string& serialText, const std::string& versionText) {
  FileHeader header{};
  for (size_t i = 0; i < kSerialTextMax && i < serialText.size(); ++i) header[18 + i] = static_cast<uint8_t>(serialText[i]);
  if (!versionText.empty()) {
    header[16] = FirmwareByteFromVersion(versionText);
    header[17] = static_cast<uint8_t>(VersionSuffixFromVersion(versionText));
  }
  return header;
}

FileHeaderIdentity ReadFileHeader(const uint8_t* bytes, size_t size) {
  auto byteAt = [&](size_t index) -> uint8_t { return index < size ? bytes[index] : 0; };
  FileHeaderIdentity identity;
  for (size_t i = 18; i <= 28; ++i) {
    const uint8_t c = byteAt(i);
    if (c == 0) break;
    identity.serialText += static_cast<char>(c);
  }
  identity.typeText = TypeTextFrom(byteAt(16), static_cast<char>(byteAt(17)));
  return identity;
}

}  // namespace orvald
