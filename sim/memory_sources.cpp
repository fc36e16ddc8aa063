#include "sim/memory_sources.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "tracklog/calendar.h"
#include "tracklog/igc_reader.h"

namespace orvald::sim {
namespace {

// DDMMmmm (or DDDMMmmm) and a hemisphere letter to degrees x 100000: the
// smallest value whose IGC text (minutes truncated to thousandths) is the
// text read, so a flight replayed by the simulator comes back as it was.
int32_t AngleE5(int degrees, int minutesThousandths, bool positive) {
  const int32_t e5 = degrees * 100000 + HundredThousandthsFromMinutes(minutesThousandths);
  return positive ? e5 : -e5;
}

int16_t FeetFromMetres(int metres) {
  const long feet = std::lround(metres / 0.3048);
  return static_cast<int16_t>(std::clamp<long>(feet, -32768, 32767));
}

void PutLe32(uint8_t* p, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

}  // namespace

bool ParseIgcFixes(const std::string& text, std::vector<RawFix>& fixes, std::string& error) {
  fixes.clear();
  std::istringstream in(text);
  std::string line;
  int year = -1, month = 0, day = 0;
  int lastSecondOfDay = -1;
  bool eventPending = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("HFDTE", 0) == 0) {
      // HFDTEDDMMYY or HFDTEDATE:DDMMYY,NN
      size_t pos = line.find_first_of("0123456789", 5);
      int dd, mm, yy;
      if (pos != std::string::npos && IgcDigits(line, pos, 2, dd) && IgcDigits(line, pos + 2, 2, mm) &&
          IgcDigits(line, pos + 4, 2, yy)) {
        day = dd;
        month = mm;
        year = yy < 80 ? 2000 + yy : 1900 + yy;
      }
      continue;
    }
    if (line.rfind('E', 0) == 0) {
      eventPending = true;
      continue;
    }
    if (line.size() < 35 || line[0] != 'B' || year < 0) continue;
    int hh, mi, ss, latD, latM, lonD, lonM;
    int32_t pressure, gnss;
    // Looser than the reader's ParseBRecord on purpose: any hemisphere or
    // validity letter, no range checks, so odd fixes reach the logger too.
    if (!IgcDigits(line, 1, 2, hh) || !IgcDigits(line, 3, 2, mi) || !IgcDigits(line, 5, 2, ss) ||
        !IgcDigits(line, 7, 2, latD) || !IgcDigits(line, 9, 5, latM) || !IgcDigits(line, 15, 3, lonD) ||
        !IgcDigits(line, 18, 5, lonM) || !IgcAltitude(line, 25, pressure) || !IgcAltitude(line, 30, gnss)) {
      continue;
    }
    const int secondOfDay = hh * 3600 + mi * 60 + ss;
    if (lastSecondOfDay >= 0 && secondOfDay + 43200 < lastSecondOfDay) {
      CivilFromDays(DaysFromCivil(year, month, day) + 1, year, month, day);
    }
    lastSecondOfDay = secondOfDay;
    RawFix fix;
    fix.year = year;
    fix.month = month;
    fix.day = day;
    fix.hour = hh;
    fix.minute = mi;
    fix.second = ss;
    fix.latitudeE5 = AngleE5(latD, latM, line[14] != 'S');
    fix.longitudeE5 = AngleE5(lonD, lonM, line[23] != 'W');
    fix.altitudeFeet = FeetFromMetres(gnss != 0 ? gnss : pressure);
    fix.fixStatus = line[24] == 'A' ? 1 : 0;
    fix.event = eventPending ? 1 : 0;
    eventPending = false;
    fixes.push_back(fix);
  }
  if (year < 0) {
    error = "no HFDTE date record";
    return false;
  }
  if (fixes.empty()) {
    error = "no usable B record";
    return false;
  }
  return true;
}

std::vector<RawFix> SyntheticFlight() {
  std::vector<RawFix> fixes;
  const int64_t start = SecondsFromCivil({2007, 4, 10, 10, 0, 0});
  auto add = [&](int64_t t, int i) {
    const CivilDateTime c = CivilFromSeconds(t);
    RawFix fix;
    SetFixTime(fix, c);
    // A slow drift north-east while climbing, then level.
    fix.latitudeE5 = 4712345 + i * 7;
    fix.longitudeE5 = 854321 + i * 11;
    fix.altitudeFeet = static_cast<int16_t>(1500 + std::min(i, 600) * 5);
    fix.aux = static_cast<uint8_t>(i % 200);
    fix.event = i == 100 ? 1 : 0;
    fix.fixStatus = 1;
    fixes.push_back(fix);
  };
  int i = 0;
  for (; i < 900; ++i) add(start + 2 * i, i);
  const int64_t second = start + 2 * 900 + 600;
  for (int j = 0; j < 300; ++j, ++i) add(second + 2 * j, i);
  return fixes;
}

RawFileMemory MemoryFromRawFile(const std::vector<uint8_t>& file) {
  RawFileMemory result;
  result.memory.assign(kMemorySize, 0xFF);

  uint8_t header[kFileHeaderSize] = {};
  std::copy_n(file.begin(), std::min<size_t>(file.size(), kFileHeaderSize), header);
  for (int i = 18; i <= 28 && header[i] != 0; ++i) result.serialText += static_cast<char>(header[i]);
  const uint8_t firmware = header[16];
  const uint8_t suffix = header[17];
  if (firmware != 0 || suffix != 0) {
    // A version text whose characters 4, 6 and 7 give the same two bytes.
    result.versionText = "VER ";
    result.versionText += static_cast<char>('0' + (firmware >> 4));
    result.versionText += '.';
    result.versionText += static_cast<char>('0' + (firmware & 0x0F));
    if (suffix != 0) result.versionText += static_cast<char>(suffix);
  }

  const size_t payload = file.size() > kFileHeaderSize ? file.size() - kFileHeaderSize : 0;
  if (payload == 0) return result;

  // A download writes pages x 4096 - 32 bytes per used block, so the payload
  // is 4096 x (all pages) - 32 x (blocks). Find the fewest blocks that fit.
  int blocks = 0;
  size_t pages = 0;
  for (int k = 1; k <= kBlockCount; ++k) {
    const size_t total = payload + 32 * static_cast<size_t>(k);
    if (total % 4096 != 0) continue;
    const size_t p = total / 4096;
    if (p >= static_cast<size_t>(k) && p <= 16 * static_cast<size_t>(k)) {
      blocks = k;
      pages = p;
      break;
    }
  }
  std::vector<int> pagesPerBlock;
  if (blocks > 0) {
    for (int i = 0; i < blocks; ++i) {
      const size_t later = static_cast<size_t>(blocks - i - 1);
      const size_t here = std::min<size_t>(16, pages - later);
      pagesPerBlock.push_back(static_cast<int>(here));
      pages -= here;
    }
  } else {
    result.exact = false;
    size_t left = payload;
    while (left > 0 && pagesPerBlock.size() < static_cast<size_t>(kBlockCount)) {
      const size_t here = std::min<size_t>(left + 32, kBlockSize);
      pagesPerBlock.push_back(static_cast<int>((here + 4095) / 4096));
      left -= here - 32;
    }
    if (left > 0) result.exact = false;
  }

  size_t from = kFileHeaderSize;
  for (size_t b = 0; b < pagesPerBlock.size(); ++b) {
    uint8_t* block = result.memory.data() + b * kBlockSize;
    const int p = pagesPerBlock[b];
    block[0] = 0x10;
    PutLe32(block + 8, static_cast<int32_t>(b + 1));
    const uint16_t mask = p >= 16 ? 0x0000 : static_cast<uint16_t>(0xFFFFu << p);
    block[16] = static_cast<uint8_t>(mask & 0xFF);
    block[17] = static_cast<uint8_t>(mask >> 8);
    const size_t room = static_cast<size_t>(p) * 4096 - kBlockHeaderSize;
    const size_t take = std::min(room, file.size() - from);
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(from), take, block + kBlockHeaderSize);
    from += take;
  }
  result.usedBlocks = static_cast<int>(pagesPerBlock.size());
  return result;
}

void ApplyHeaderOverrides(std::vector<uint8_t>& memory, const MemoryLayout& layout) {
  auto header = [&](int block) -> uint8_t* {
    if (block < 0 || block >= kBlockCount || memory.size() < static_cast<size_t>(kMemorySize)) return nullptr;
    return memory.data() + static_cast<size_t>(block) * kBlockSize;
  };
  for (const auto& [block, mask] : layout.fillMaskOverrides) {
    if (uint8_t* h = header(block)) {
      h[16] = static_cast<uint8_t>(mask & 0xFF);
      h[17] = static_cast<uint8_t>(mask >> 8);
    }
  }
  for (const auto& [block, sequence] : layout.sequenceOverrides) {
    if (uint8_t* h = header(block)) PutLe32(h + 8, sequence);
  }
  for (const auto& [block, status] : layout.statusByteOverrides) {
    if (uint8_t* h = header(block)) h[0] = status;
  }
}

}  // namespace orvald::sim
