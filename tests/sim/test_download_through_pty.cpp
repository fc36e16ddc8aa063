// Whole downloads through the pseudo-terminal by a minimal client that
// follows the download rules on its own: the bytes it collects must be the
// raw image file the memory stands for, byte for byte.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "line_client.h"
#include "sim/memory_sources.h"
#include "support/sim_process.h"
#include "tracklog/memory_image.h"

namespace orvald::simtest {
namespace {

using orvald::test::SimProcess;

std::string TempPath(const std::string& name) {
  return std::string(ORVALD_BINARY_DIR) + "/sim-download-" + std::to_string(getpid()) + "-" + name;
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Download {
  bool complete = false;
  Bytes file;
  std::vector<int> blocks;  // used blocks in the order they were read
};

int FillBytes(uint16_t mask) {
  for (int p = 1; p <= 15; ++p) {
    if (mask == static_cast<uint16_t>(0xFFFFu << p)) return p * 4096;
  }
  return 65536;
}

std::string TextAfter(const std::optional<Bytes>& reply, uint8_t first, size_t most) {
  std::string text;
  if (!reply || reply->empty() || (*reply)[0] != first) return text;
  for (size_t i = 1; i < reply->size() && text.size() < most && (*reply)[i] != 0; ++i) {
    text += static_cast<char>((*reply)[i]);
  }
  return text;
}

Download RunDownload(const std::string& path) {
  Download d;
  LineClient line(path);
  if (!line.ok() || !line.SwitchRate(57600, 3)) return d;
  const std::string serial = TextAfter(line.Exchange({0x49}), 0x49, 11);
  const std::string version = TextAfter(line.Exchange({0x78}), 0x78, 8);
  const FileHeader header = BuildFileHeader(serial, version);
  d.file.assign(header.begin(), header.end());

  struct Info {
    bool used;
    int32_t sequence;
    uint16_t mask;
  };
  auto readInfo = [&](int block, Info& info) {
    const auto h = line.ReadMemory(block, 0, 32);
    if (!h) return false;
    const uint16_t mask = static_cast<uint16_t>((*h)[16] | ((*h)[17] << 8));
    info.mask = mask;
    info.used = ((*h)[0] >> 4) == 1 && mask != 0xFFFF;
    info.sequence = static_cast<int32_t>((*h)[8] | ((*h)[9] << 8) | ((*h)[10] << 16) | (static_cast<uint32_t>((*h)[11]) << 24));
    return true;
  };
  int start = -1;
  int32_t lowest = 0x0FFFFFFF;
  for (int block = 0; block < 32; ++block) {
    Info info;
    if (!readInfo(block, info)) return d;
    if (info.used && info.sequence < lowest) {
      lowest = info.sequence;
      start = block;
    }
  }
  if (start >= 0) {
    int block = start;
    do {
      Info info;
      if (!readInfo(block, info)) return d;
      if (info.used) {
        d.blocks.push_back(block);
        const int pieces = FillBytes(info.mask) / 128;
        for (int p = 0; p < pieces; ++p) {
          auto piece = line.ReadMemory(block, p * 128, 128);
          if (!piece) return d;
          d.file.insert(d.file.end(), piece->begin() + (p == 0 ? 32 : 0), piece->end());
        }
      }
      block = (block + 1) % 32;
    } while (block != start);
  }
  d.complete = line.SwitchRate(9600, 0);
  return d;
}

// Wrap-around from block 30, a block with a hole in its mask, a block marked
// in use without data, and a block not in use.
const std::vector<std::string> kAwkwardLayout = {"--start-block", "30", "--records-per-block", "200",
                                                 "--mask",        "31=FFFD", "--mask", "1=FFFF", "--unused", "2"};

MemoryLayout AwkwardLayout() {
  MemoryLayout layout;
  layout.startBlock = 30;
  layout.recordsPerBlock = 200;
  layout.fillMaskOverrides = {{31, 0xFFFD}, {1, 0xFFFF}};
  layout.statusByteOverrides = {{2, 0xFF}};
  return layout;
}

TEST(DownloadThroughPty, AwkwardLayoutGivesTheExpectedFileByteForByte) {
  const std::string expectPath = TempPath("awkward.g00");
  const std::string dumpPath = TempPath("awkward.bin");
  std::vector<std::string> args = kAwkwardLayout;
  args.insert(args.end(), {"--serial", "SIM-0042", "--version", "ABCD3.4z", "--expect-g00", expectPath,
                           "--dump-memory", dumpPath});
  SimProcess sim(args);
  ASSERT_TRUE(sim.started()) << sim.error();

  const Download d = RunDownload(sim.ptyPath());
  ASSERT_TRUE(d.complete);
  EXPECT_EQ(d.blocks, (std::vector<int>{30, 31, 0, 3}));
  const Bytes expected =
      ExpectedRawFile(BuildMemoryImage(orvald::sim::SyntheticFlight(), AwkwardLayout()), "SIM-0042", "ABCD3.4z");
  ASSERT_EQ(d.file.size(), expected.size());
  EXPECT_TRUE(d.file == expected);
  // The hole makes block 31 count whole.
  EXPECT_EQ(d.file.size(), 32u + (4096 - 32) + 65504 + (4096 - 32) + (4096 - 32));
  EXPECT_TRUE(ReadFile(expectPath) == expected);

  // The dump serves the same memory again, and so does the file itself.
  SimProcess fromDump({"--memory", dumpPath, "--serial", "SIM-0042", "--version", "ABCD3.4z"});
  ASSERT_TRUE(fromDump.started()) << fromDump.error();
  EXPECT_TRUE(RunDownload(fromDump.ptyPath()).file == expected);

  SimProcess fromFile({"--g00", expectPath});
  ASSERT_TRUE(fromFile.started()) << fromFile.error();
  const Download again = RunDownload(fromFile.ptyPath());
  ASSERT_TRUE(again.complete);
  EXPECT_TRUE(again.file == expected);
  std::remove(expectPath.c_str());
  std::remove(dumpPath.c_str());
}

TEST(DownloadThroughPty, RealFlightAcrossBlocks) {
  const std::string expectPath = TempPath("flight.g00");
  SimProcess sim({"--igc", std::string(ORVALD_FLIGHTS_DIR) + "/92HV66G1.igc", "--start-block", "29",
                  "--records-per-block", "700", "--first-sequence", "-5", "--expect-g00", expectPath});
  ASSERT_TRUE(sim.started()) << sim.error();
  const Download d = RunDownload(sim.ptyPath());
  ASSERT_TRUE(d.complete);
  EXPECT_EQ(d.blocks, (std::vector<int>{29, 30, 31, 0}));
  const Bytes expected = ReadFile(expectPath);
  ASSERT_GT(expected.size(), 32u);
  EXPECT_TRUE(d.file == expected);
  std::remove(expectPath.c_str());
}

TEST(DownloadThroughPty, ErasedLoggerGivesAHeaderOnly) {
  SimProcess sim({"--memory", "/dev/null"});
  EXPECT_FALSE(sim.started()) << "an empty dump is not a memory";

  const std::string dumpPath = TempPath("erased.bin");
  {
    std::ofstream out(dumpPath, std::ios::binary);
    const Bytes erased = ErasedMemory();
    out.write(reinterpret_cast<const char*>(erased.data()), static_cast<std::streamsize>(erased.size()));
  }
  SimProcess erased({"--memory", dumpPath});
  ASSERT_TRUE(erased.started()) << erased.error();
  const Download d = RunDownload(erased.ptyPath());
  ASSERT_TRUE(d.complete);
  EXPECT_EQ(d.file.size(), 32u);
  EXPECT_TRUE(d.blocks.empty());
  std::remove(dumpPath.c_str());
}

}  // namespace
}  // namespace orvald::simtest
