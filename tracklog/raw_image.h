#pragma once
// The logger's block memory as the download sees it, and the raw image file
// (.G00): 32-byte file header, then the used blocks' payloads in download order.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvald {

inline constexpr int kBlockCount = 32;
inline constexpr int kBlockSize = 65536;
inline constexpr int kBlockHeaderSize = 32;
inline constexpr int kFileHeaderSize = 32;
inline constexpr int kPieceSize = 128;
inline constexpr int kPiecesPerBlock = kBlockSize / kPieceSize;  // 512
inline constexpr int32_t kNoStartSequence = 0x0FFFFFFF;
// The longest serial and version texts a logger gives and a file header holds.
inline constexpr size_t kSerialTextMax = 11;
inline constexpr size_t kVersionTextMax = 8;

using BlockHeader = std::array<uint8_t, kBlockHeaderSize>;
using FileHeader = std::array<uint8_t, kFileHeaderSize>;

// Bytes of a block (header included) that hold data, from its fill mask.
int32_t BlockFillBytes(uint16_t fillMask);

struct BlockHeaderInfo {
  bool inUse = false;
  int32_t sequence = 0;
  uint16_t fillMask = 0xFFFF;
  // In use and holding data: takes part in the download.
  bool used() const { return inUse && fillMask != 0xFFFF; }
};
BlockHeaderInfo ParseBlockHeader(const uint8_t* header);

// Which blocks to download and in which order. Headers that could not be read
// are std::nullopt and are passed over.
struct DownloadPlan {
  int usedBlocks = 0;
  int pieces = 0;                 // the pieces the used blocks' fill asks for: what "all of it" means
  int startBlock = -1;            // -1: no block data to download
  std::vector<int> visitOrder;    // start, start+1, ... wrapping 31 -> 0; empty without a start
};
DownloadPlan PlanDownload(const std::array<std::optional<BlockHeader>, kBlockCount>& headers);

// The firmware byte and suffix that a version text stands for.
uint8_t FirmwareByteFromVersion(const std::string& versionText);
char VersionSuffixFromVersion(const std::string& versionText);
// "M.mS": major digit, full stop, minor digit mod 10, suffix (cut at a zero suffix).
std::string TypeTextFrom(uint8_t firmwareByte, char versionSuffix);

FileHeader BuildFileHeader(const std::string& serialText, const std::string& versionText);

struct FileHeaderIdentity {
  std::string serialText;
  std::string typeText;
};
// Reads the identity back; bytes beyond `size` count as zero.
FileHeaderIdentity ReadFileHeader(const uint8_t* bytes, size_t size);

}  // namespace orvald
