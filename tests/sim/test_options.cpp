// orvald-sim's command line.

#include <gtest/gtest.h>

#include <string>

#include "sim/sim_options.h"

namespace orvald::sim {
namespace {

bool Parse(const std::vector<std::string>& args, SimOptions& o, std::string& error) {
  return ParseSimOptions(args, o, error);
}

TEST(SimOptions, ReadsLayoutIdentityLineAndFaults) {
  SimOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--igc=f.igc", "--start-block", "30", "--records-per-block=200", "--first-sequence", "7",
                     "--mask", "31=FFFD", "--mask", "2=0xffff", "--sequence", "4=-3", "--unused", "5", "--serial",
                     "ABC", "--version", "1234x.yz", "--erase-reply", "B1 45", "--rate", "57600", "--ignore-rate",
                     "--pace", "--turnaround-ms", "3", "--fault", "drop=0.5", "--fault", "split=@2,4", "--fault",
                     "stall", "--seed", "99", "--stall-ms", "350", "--hangup-after", "10", "--reopen", "--link",
                     "/tmp/x", "--transcript", "t.txt", "--no-serve"},
                    o, error))
      << error;
  EXPECT_EQ(o.source, MemorySource::kIgc);
  EXPECT_EQ(o.sourcePath, "f.igc");
  EXPECT_EQ(o.layout.startBlock, 30);
  EXPECT_EQ(o.layout.recordsPerBlock, 200);
  EXPECT_EQ(o.layout.firstSequence, 7);
  EXPECT_EQ(o.layout.fillMaskOverrides, (std::vector<std::pair<int, uint16_t>>{{31, 0xFFFD}, {2, 0xFFFF}}));
  EXPECT_EQ(o.layout.sequenceOverrides, (std::vector<std::pair<int, int32_t>>{{4, -3}}));
  EXPECT_EQ(o.layout.statusByteOverrides.size(), 1u);
  EXPECT_TRUE(o.serialGiven && o.versionGiven);
  EXPECT_EQ(o.logger.serialText, "ABC");
  EXPECT_EQ(o.logger.eraseReply, (std::vector<uint8_t>{0xB1, 0x45}));
  EXPECT_EQ(o.logger.initialRate, 57600);
  EXPECT_TRUE(o.server.ignoreRate && o.server.pace && o.server.reopenAfterHangup);
  EXPECT_EQ(o.server.turnaroundMs, 3);
  ASSERT_EQ(o.faults.size(), 3u);
  EXPECT_EQ(o.faults[1].atRequests, (std::set<uint64_t>{2, 4}));
  EXPECT_TRUE(o.faults[2].always);
  EXPECT_EQ(o.seed, 99u);
  EXPECT_EQ(o.server.faults.stallMs, 350);
  EXPECT_EQ(o.server.hangupAfter, 10u);
  EXPECT_EQ(o.server.linkPath, "/tmp/x");
  EXPECT_FALSE(o.serve);
}

TEST(SimOptions, RefusesWhatItCannotUse) {
  SimOptions o;
  std::string error;
  const std::vector<std::vector<std::string>> bad = {
      {"--start-block", "32"}, {"--mask", "3"},           {"--mask", "3=FFFFF"},  {"--mask", "40=FFFF"},
      {"--rate", "12345"},     {"--fault", "sometimes"},  {"--fault", "drop=2"},  {"--igc", "a", "--g00", "b"},
      {"--serial"},            {"--erase-reply", "B1 4"}, {"--frobnicate"},       {"--records-per-block", "0"},
      {"--pace=yes"},          {"--start-block=x"},
  };
  for (const auto& args : bad) {
    EXPECT_FALSE(Parse(args, o, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(SimOptions, HelpNamesEveryOption) {
  const std::string help = SimHelpText();
  for (const char* name : {"--igc", "--g00", "--memory", "--start-block", "--records-per-block", "--first-sequence",
                           "--mask", "--sequence", "--unused", "--serial", "--version", "--erase-reply", "--rate",
                           "--ignore-rate", "--pace", "--turnaround-ms", "--fault", "--seed", "--split-pieces",
                           "--split-delay-ms", "--stall-ms", "--short-by", "--oversize-bytes", "--garbage-bytes",
                           "--trailing-bytes", "--truncate-bytes", "--hangup-after", "--reopen", "--link", "--transcript",
                           "--dump-memory", "--expect-g00", "--no-serve", "no-identity", "no-rate-ack", "bad-checksum", "empty", "foreign",
                           "wrong-ends", "truncate"}) {
    EXPECT_NE(help.find(name), std::string::npos) << name;
    // Every option the help names is one the parser knows.
    if (name[0] == '-') {
      SimOptions o;
      std::string error;
      Parse({name, "1"}, o, error);
      EXPECT_EQ(error.find("unknown option " + std::string(name) + " "), std::string::npos) << name;
    }
  }
}

}  // namespace
}  // namespace orvald::sim
