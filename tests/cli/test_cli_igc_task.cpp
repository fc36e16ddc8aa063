// orvald-cli igc with --task and --tasks: segments chosen by a task's window,
// identity from the loggers table.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "export/igc_file_name.h"
#include "run_program.h"
#include "support/temp_dir.h"
#include "tracklog/fix_encoder.h"
#include "tracklog/memory_image.h"

namespace orvald {
namespace {

using testing::ProgramRun;
using testing::RunProgram;
using testing::TempDir;

ProgramRun Cli(const std::vector<std::string>& args) { return RunProgram(ORVALD_CLI, args); }

RawFix FixAt(int minute, int second, uint8_t event = 0) {
  RawFix f;
  f.year = 2025;
  f.month = 3;
  f.day = 2;
  f.hour = 10;
  f.minute = minute;
  f.second = second;
  f.latitudeE5 = -2550000 - 7 * (minute * 60 + second);
  f.longitudeE5 = 2825000;
  f.altitudeFeet = 1000;
  f.event = event;
  f.fixStatus = 1;
  return f;
}

// Grid rows 1 to 5, UTC: 10:00:00-04, 10:01:00-05 (one event), 10:02:00-06,
// 10:03:00-03 (two events), 10:10:00-01.
std::vector<RawFix> FiveSegments() {
  std::vector<RawFix> fixes;
  for (int s = 0; s <= 4; ++s) fixes.push_back(FixAt(0, s));
  for (int s = 0; s <= 5; ++s) fixes.push_back(FixAt(1, s, s == 2));
  for (int s = 0; s <= 6; ++s) fixes.push_back(FixAt(2, s));
  for (int s = 0; s <= 3; ++s) fixes.push_back(FixAt(3, s, s >= 2));
  for (int s = 0; s <= 1; ++s) fixes.push_back(FixAt(10, s));
  return fixes;
}

class CliIgcTask : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::vector<uint8_t> raw = ExpectedRawFile(BuildMemoryImage(FiveSegments()), "SN12345", "VER 5.1A");
    raw_ = dir_ / "log.G00";
    ASSERT_TRUE(testing::WriteWholeFile(raw_, std::string(raw.begin(), raw.end())));
    tasks_ = dir_ / "tasks.tsv";
    ASSERT_TRUE(testing::WriteWholeFile(tasks_,
                                        "01\t2025/03/02\t10:01:03\t10:03:01\r\n"
                                        "02\t2025/03/02\t10:05:00\t10:06:00\r\n"
                                        "01\t2025/03/02\t10:10:00\t10:20:00\r\n"
                                        "2\t2025/03/02\t10:03:00\t10:01:00\r\n"));
    loggers_ = dir_ / "loggers.tsv";
    // The blank row below the real one must not claim the logger.
    ASSERT_TRUE(testing::WriteWholeFile(loggers_, "12345\t042\tCrew One\r\n\t\t\r\n"));
    out_ = dir_ / "out";
    ASSERT_EQ(::mkdir(out_.c_str(), 0700), 0);
  }

  ProgramRun ByTask(const std::string& task, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"igc", raw_, "--task", task, "--tasks", tasks_, "--dir", out_, "--tz-offset", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    return Cli(args);
  }

  static std::vector<std::string> Records(const std::string& file, char letter) {
    std::vector<std::string> lines;
    const std::string text = testing::ReadWholeFile(file);
    for (size_t from = 0; from < text.size();) {
      size_t end = text.find("\r\n", from);
      if (end == std::string::npos) end = text.size();
      if (text[from] == letter) lines.push_back(text.substr(from, end - from));
      from = end + 2;
    }
    return lines;
  }

  TempDir dir_;
  std::string raw_, tasks_, loggers_, out_;
};

TEST_F(CliIgcTask, WritesTheSegmentsOfTheTaskWindowWithTheLoggersIdentity) {
  const ProgramRun run = ByTask("01", {"--loggers", loggers_});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const std::string name = IgcFileName("042", "01", '1', "Crew One");
  EXPECT_EQ(run.out, name + "\n");
  EXPECT_EQ(run.err, "");

  // The same rows chosen by hand give the same fixes.
  const ProgramRun byRows = Cli({"igc", raw_, "--segments", "2-4", "--compet=7", "--dir", dir_.path(), "--tz-offset", "0"});
  ASSERT_EQ(byRows.exitStatus, 0) << byRows.err;
  const std::vector<std::string> fixes = Records(out_ + "/" + name, 'B');
  EXPECT_EQ(fixes.size(), 6u + 7u + 4u);
  EXPECT_EQ(fixes, Records(dir_ / byRows.out.substr(0, byRows.out.size() - 1), 'B'));
  EXPECT_EQ(Records(out_ + "/" + name, 'E').size(), 3u);
}

TEST_F(CliIgcTask, ExplicitCompetitionNumberAndPilotWinOverTheTable) {
  const ProgramRun run = ByTask("01", {"--loggers", loggers_, "--compet", "7", "--pilot", "Solo"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, IgcFileName("7", "01", '1', "Solo") + "\n");
}

TEST_F(CliIgcTask, ALoggerMissingFromTheTableIsNotedAndTheFileStillWritten) {
  ASSERT_TRUE(testing::WriteWholeFile(loggers_, "99999\t001\tSomeone Else\r\n"));
  const ProgramRun run = ByTask("01", {"--loggers", loggers_, "--compet", "9"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, IgcFileName("9", "01", '1', "") + "\n");
  EXPECT_NE(run.err.find("SN12345"), std::string::npos) << run.err;
}

TEST_F(CliIgcTask, AWindowThatSelectsNothingFailsAndWritesNothing) {
  const ProgramRun run = ByTask("02");
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.err.find("no segment"), std::string::npos) << run.err;
  // Nor one that ends before it starts, though the matching would pick grid row 4 of it.
  const ProgramRun reversed = ByTask("2", {"--compet", "7"});
  EXPECT_EQ(reversed.exitStatus, 1);
  EXPECT_EQ(reversed.err, "orvald-cli: task 2 ends before it starts (10:03:00-10:01:00)\n");
  EXPECT_TRUE(TempDir::EntriesOf(out_).empty());
}

TEST_F(CliIgcTask, TaskNumbersCompareExactlyAndTheUpperRowWins) {
  const ProgramRun missing = ByTask("1");
  EXPECT_EQ(missing.exitStatus, 1);
  EXPECT_NE(missing.err.find("'1'"), std::string::npos) << missing.err;
  EXPECT_TRUE(TempDir::EntriesOf(out_).empty());

  // The second row 01 would select grid row 5 alone; the first row wins.
  const ProgramRun run = ByTask("01", {"--compet", "7"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(Records(out_ + "/" + run.out.substr(0, run.out.size() - 1), 'B').size(), 17u);
}

TEST_F(CliIgcTask, UnreadableTablesFailWithTheTablesMessages) {
  const ProgramRun noTasks = Cli({"igc", raw_, "--task", "01", "--tasks", dir_ / "none.tsv", "--dir", out_});
  EXPECT_EQ(noTasks.exitStatus, 1);
  EXPECT_NE(noTasks.err.find("Can't read Tasks file"), std::string::npos) << noTasks.err;

  const ProgramRun noLoggers = ByTask("01", {"--loggers", dir_ / "none.tsv"});
  EXPECT_EQ(noLoggers.exitStatus, 1);
  EXPECT_NE(noLoggers.err.find("Can't read Loggers file"), std::string::npos) << noLoggers.err;
  EXPECT_TRUE(TempDir::EntriesOf(out_).empty());
}

TEST_F(CliIgcTask, UsageErrors) {
  EXPECT_EQ(Cli({"igc", raw_, "--tasks", tasks_}).exitStatus, 2);
  EXPECT_EQ(ByTask("01", {"--segments", "1"}).exitStatus, 2);
  EXPECT_EQ(Cli({"igc", "--task", "01", "--tasks", tasks_}).exitStatus, 2);
}

}  // namespace
}  // namespace orvald

namespace orvald {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t from = 0, end; from < text.size(); from = end + 1) {
    end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(from, end - from));
  }
  return lines;
}

TEST_F(CliIgcTask, AnIgcFileDecodesAsItsRawFileDidAndIsCutToATaskTheSameWay) {
  const ProgramRun whole = Cli({"igc", raw_, "--segments", "1-5", "--dir", out_, "--tz-offset", "0", "--also-kml",
                                "--also-gpx", "--task", "all", "--compet", "7"});
  ASSERT_EQ(whole.exitStatus, 0) << whole.err;
  EXPECT_EQ(Lines(whole.out), (std::vector<std::string>{"7TallV1.igc", "7TallV1.kml", "7TallV1.gpx"}));
  const std::string igc = out_ + "/7TallV1.igc";
  const ProgramRun fromRaw = Cli({"decode", raw_, "--tz-offset", "-3600"});
  const ProgramRun fromIgc = Cli({"decode", igc, "--tz-offset", "-3600"});
  ASSERT_EQ(fromIgc.exitStatus, 0) << fromIgc.err;
  EXPECT_EQ(fromIgc.out, fromRaw.out);

  const ProgramRun cutRaw = ByTask("01", {"--compet", "7"});
  const ProgramRun cutIgc =
      Cli({"igc", igc, "--task", "01", "--tasks", tasks_, "--dir", out_, "--tz-offset", "0", "--compet=7"});
  ASSERT_EQ(cutIgc.exitStatus, 0) << cutIgc.err;
  EXPECT_EQ(Records(out_ + "/" + Lines(cutIgc.out)[0], 'B'), Records(out_ + "/" + Lines(cutRaw.out)[0], 'B'));
  EXPECT_EQ(Records(out_ + "/" + Lines(cutIgc.out)[0], 'E').size(), 3u);

  ASSERT_TRUE(testing::WriteWholeFile(dir_ / "undated.igc", "B1015302530000S02815000EA0030400304\r\n"));
  const ProgramRun undated = Cli({"decode", dir_ / "undated.igc"});
  EXPECT_EQ(undated.exitStatus, 1);
  EXPECT_NE(undated.err.find("HFDTE"), std::string::npos) << undated.err;
  ASSERT_TRUE(testing::WriteWholeFile(dir_ / "high.igc", "HFDTE020325\r\nB1015302530000S02815000EA0000012000\r\n"));
  EXPECT_EQ(Cli({"decode", dir_ / "high.igc"}).err,
            "orvald-cli: " + (dir_ / "high.igc") + ": 1 altitude beyond +/-9987 m was clamped\n");
  ASSERT_TRUE(testing::WriteWholeFile(dir_ / "misdated.igc", "HFDTE290223\r\n"));
  EXPECT_NE(Cli({"decode", dir_ / "misdated.igc"}).err.find(" an invalid date in its date record HFDTE290223,"), std::string::npos);
}

TEST_F(CliIgcTask, PlotPaintsThePngItIsAskedForAndKeepsAFileThatExists) {
  const std::string png = out_ + "/task01.png";
  const ProgramRun run = Cli({"plot", raw_, "--task", "01", "--tasks", tasks_, "--out", png, "--size", "640x480"});
#if !ORVALD_PICTURE
  EXPECT_EQ(run.exitStatus, 1);
  GTEST_SKIP() << "built without the picture";
#endif
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const std::string bytes = testing::ReadWholeFile(png);
  ASSERT_GT(bytes.size(), 24u);
  EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(bytes.substr(16, 8), std::string("\0\0\x02\x80\0\0\x01\xe0", 8));  // 640 x 480

  const ProgramRun again = Cli({"plot", raw_, "--segments", "2-3", "--out", png});
  EXPECT_EQ(again.exitStatus, 1);
  EXPECT_NE(again.err.find("exists"), std::string::npos);
  EXPECT_EQ(testing::ReadWholeFile(png), bytes);
  EXPECT_EQ(Cli({"plot", raw_, "--segments", "6", "--out", out_ + "/six.png"}).exitStatus, 1);
  EXPECT_EQ(Cli({"plot", raw_, "--segments", "1"}).exitStatus, 2);
  EXPECT_EQ(Cli({"plot", raw_, "--task", "01", "--out", out_ + "/x.png"}).exitStatus, 2);
}

TEST_F(CliIgcTask, StatusListsEachLoggerWithItsLatestDownloadAndTaskFile) {
  ASSERT_TRUE(testing::WriteWholeFile(dir_ / "SN12345-20250302-110000.G00", testing::ReadWholeFile(raw_)));
  ASSERT_TRUE(testing::WriteWholeFile(dir_ / "SN99-20250302-120000-incomplete.G00", ""));
  const ProgramRun saved = Cli({"igc", dir_ / "SN12345-20250302-110000.G00", "--task", "01", "--tasks", tasks_,
                                "--loggers", loggers_, "--dir", dir_.path(), "--tz-offset", "0"});
  ASSERT_EQ(saved.out, "042T01V1_Crew_One.igc\n") << saved.err;

  const ProgramRun status = Cli({"status", "--dir", dir_.path(), "--task", "01"});
  ASSERT_EQ(status.exitStatus, 0) << status.err;
  const std::vector<std::string> lines = Lines(status.out);
  ASSERT_EQ(lines.size(), 4u) << status.out;
  EXPECT_EQ(lines[0], "1 of 1 saved for task 01, 0 to check, 0 missing, 1 downloaded logger not in loggers.tsv");
  EXPECT_EQ(lines[1], "No.\tPilot\tVerdict\tIGC file\tDownloaded\tLogger\tDownload time (local)\tVersion\tPoints\tNote");
  EXPECT_EQ(lines[2], "042\tCrew One\tsaved\t042T01V1_Crew_One.igc\tcomplete\t12345\t2025/03/02 11:00:00\t1\t17\t");
  EXPECT_EQ(lines[3], "\t\tnot in table\t\tincomplete\tSN99\t2025/03/02 12:00:00\t\t\tnot in loggers.tsv");
  EXPECT_EQ(Cli({"status", "--dir", dir_ / "missing"}).exitStatus, 1);
}

}  // namespace
}  // namespace orvald
