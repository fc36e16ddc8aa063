#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "link/exchange_log.h"
#include "support/temp_dir.h"

namespace orvald {
namespace {

ExchangeRecord Record(int64_t sentAt, std::vector<uint8_t> request, std::vector<uint8_t> received, int result) {
  ExchangeRecord record;
  record.request = std::move(request);
  record.received = std::move(received);
  record.receivedCount = record.received.size();
  record.sentAtMs = sentAt;
  record.elapsedMs = 3;
  record.result = result;
  return record;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ExchangeLog, LinesShowTimeLineRateAndBytesInHex) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/exchanges.log";
  ExchangeLog log;
  std::string error;
  ASSERT_TRUE(log.Open(path, error)) << error;
  log.Write(Record(5000, {0xF0, 0x01, 0x78, 0x79, 0xF2}, {0xF0, 0x01, 0x78, 0x79, 0xF2}, 1), 9600);
  log.Write(Record(5310, {0xF0, 0x01, 0x49, 0x48, 0xF2}, {}, 0), 57600);
  // Lines are flushed as they are written, before the log is closed.
  EXPECT_EQ(ReadAll(path),
            "# at_ms\telapsed_ms\tline\trate\trequest\treceived\treceived_count\tresult\n"
            "0\t3\tserial\t9600\tF0 01 78 79 F2\tF0 01 78 79 F2\t5\t1\n"
            "310\t3\tserial\t57600\tF0 01 49 48 F2\t\t0\t0\n");
}

TEST(ExchangeLog, ParsesWhatItWritesAndRefusesOtherLines) {
  LoggedExchange written;
  written.atMs = 12;
  written.elapsedMs = 300;
  written.viaUsbAdapter = true;
  written.rate = 115200;
  written.request = {0xF0, 0x02, 0xAB, 0x00, 0xA9, 0xF2};
  written.received = {0x00, 0xFF, 0x10};
  written.receivedCount = 400;
  written.result = 0;
  LoggedExchange read;
  ASSERT_TRUE(ParseExchangeLine(FormatExchangeLine(written) + "\r", read));
  EXPECT_EQ(read.atMs, 12);
  EXPECT_EQ(read.elapsedMs, 300);
  EXPECT_TRUE(read.viaUsbAdapter);
  EXPECT_EQ(read.rate, 115200u);
  EXPECT_EQ(read.request, written.request);
  EXPECT_EQ(read.received, written.received);
  EXPECT_EQ(read.receivedCount, 400u);

  for (const char* bad : {"", "# note", "0\t3\tserial\t9600\tF0 01\t\t0",          // a field short
                          "0\t3\tserial\t9600\tF0 01\t\t0\t0\t9",                    // a field over
                          "0\t3\tmodem\t9600\tF0\t\t0\t0", "0\t3\tserial\t9600\tF0 1\t\t0\t0",
                          "0\t3\tserial\t9600\tG0\t\t0\t0", "x\t3\tserial\t9600\tF0\t\t0\t0"})
    EXPECT_FALSE(ParseExchangeLine(bad, read)) << bad;
}

TEST(ExchangeLog, ReadsEveryExchangeOfAFileAndNamesAMissingOne) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/exchanges.log";
  {
    ExchangeLog log;
    std::string error;
    ASSERT_TRUE(log.Open(path, error)) << error;
    for (int i = 0; i < 3; ++i) log.Write(Record(i * 10, {0xF0, 0x01, static_cast<uint8_t>(i), 0x01, 0xF2}, {}, 0), 9600);
  }
  const ExchangeLogRead read = ReadExchangeLog(path);
  ASSERT_TRUE(read.ok) << read.error;
  ASSERT_EQ(read.exchanges.size(), 3u);
  EXPECT_EQ(read.exchanges[2].request[2], 2);
  EXPECT_EQ(read.exchanges[2].atMs, 20);

  // Opened again, the log goes on after what it held: a log (or a raw file
  // named by mistake) is never emptied.
  {
    ExchangeLog log;
    std::string error;
    ASSERT_TRUE(log.Open(path, error)) << error;
    log.Write(Record(0, {0xF0, 0x01, 0x09, 0x08, 0xF2}, {}, 0), 9600);
  }
  ASSERT_EQ(ReadExchangeLog(path).exchanges.size(), 4u);

  const ExchangeLogRead missing = ReadExchangeLog(dir.path() + "/none.log");
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.error.find("none.log"), std::string::npos);
}

TEST(ExchangeLog, AnUncreatableFileIsAnErrorWithItsReason) {
  ExchangeLog log;
  std::string error;
  EXPECT_FALSE(log.Open("/nonexistent-folder/exchanges.log", error));
  EXPECT_FALSE(log.isOpen());
  EXPECT_NE(error.find("/nonexistent-folder/exchanges.log: "), std::string::npos);
}

TEST(ExchangeLog, AFullDiskIsReportedWhenTheLogIsOpened) {
  // The heading line is flushed at once, so a log that cannot be written is
  // an error before the first exchange rather than an empty file afterwards.
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  ExchangeLog log;
  std::string error;
  EXPECT_FALSE(log.Open("/dev/full", error));
  EXPECT_FALSE(log.isOpen());
  EXPECT_NE(error.find("No space left"), std::string::npos) << error;
}

}  // namespace
}  // namespace orvald
