// orvald-cli run as a program on raw files built from known fixes.

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "run_program.h"
#include "support/temp_dir.h"
#include "tracklog/fix_encoder.h"
#include "tracklog/memory_image.h"

namespace orvald {
namespace {

using testing::Cli;
using testing::ProgramRun;
using testing::RunProgram;
using testing::TempDir;

RawFix Fix(int year, int month, int day, int hour, int minute, int second, uint8_t event = 0) {
  RawFix f;
  f.year = year;
  f.month = month;
  f.day = day;
  f.hour = hour;
  f.minute = minute;
  f.second = second;
  f.latitudeE5 = -2550000 - 5 * second;  // 25.5 S, and a little further south each second
  f.longitudeE5 = 2825000;           // 28.25 E
  f.altitudeFeet = 1000;
  f.event = event;
  f.fixStatus = 1;
  return f;
}

// Three segments: 10:00:00-02, 10:00:10-12 (one event), 10:05:00-01 (two events).
std::vector<RawFix> ThreeSegments() {
  return {Fix(2025, 3, 2, 10, 0, 0),  Fix(2025, 3, 2, 10, 0, 1),     Fix(2025, 3, 2, 10, 0, 2),
          Fix(2025, 3, 2, 10, 0, 10, 1), Fix(2025, 3, 2, 10, 0, 11), Fix(2025, 3, 2, 10, 0, 12),
          Fix(2025, 3, 2, 10, 5, 0, 1), Fix(2025, 3, 2, 10, 5, 1, 1)};
}

std::string WriteRawFile(const TempDir& dir, const std::vector<RawFix>& fixes, const std::string& name = "log.G00") {
  const std::vector<uint8_t> raw = ExpectedRawFile(BuildMemoryImage(fixes), "SN12345", "VER 5.1A");
  const std::string path = dir / name;
  EXPECT_TRUE(testing::WriteWholeFile(path, std::string(raw.begin(), raw.end())));
  return path;
}

std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t from = 0; from < text.size();) {
    const size_t end = text.find("\r\n", from);
    if (end == std::string::npos) break;
    lines.push_back(text.substr(from, end - from));
    from = end + 2;
  }
  return lines;
}

const char kThreeSegmentsDecoded[] =
    "serial\tSN12345\n"
    "type\t5.1A\n"
    "points\t8\n"
    "Sgm\tStart\tFinish\tBlind\tRecorded\tPoints\tEvents\n"
    "1\t2025/03/02  10:00:00\t2025/03/02  10:00:02\t\t 0:00:02\t3\t\n"
    "2\t2025/03/02  10:00:10\t2025/03/02  10:00:12\t 0:00:08\t 0:00:02\t3\t1\n"
    "3\t2025/03/02  10:05:00\t2025/03/02  10:05:01\t 0:04:48\t 0:00:01\t2\t2\n";

TEST(CliDecode, PrintsIdentityPointsAndGridRows) {
  TempDir dir;
  const std::string raw = WriteRawFile(dir, ThreeSegments());
  const ProgramRun run = Cli({"decode", raw, "--tz-offset", "0"});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, kThreeSegmentsDecoded);
  EXPECT_EQ(run.err, "");
}

// The grid shows UTC, so the time zone used for decoding leaves it unchanged.
TEST(CliDecode, GridIsUtcWhateverTheTimeZone) {
  TempDir dir;
  const std::string raw = WriteRawFile(dir, ThreeSegments());
  for (const char* offset : {"-36000", "-7200", "3600", "43200"}) {
    const ProgramRun run = Cli({"decode", "--tz-offset", offset, raw});
    EXPECT_EQ(run.exitStatus, 0) << offset << run.err;
    EXPECT_EQ(run.out, kThreeSegmentsDecoded) << offset;
  }
  EXPECT_EQ(Cli({"decode", raw}).out, kThreeSegmentsDecoded);  // the system's offset
}

// 23:30 UTC on the last day of this year is next year east of Greenwich, where
// the decoder rejects it as lying in the future.
TEST(CliDecode, TimeZoneOptionReachesTheDecoder) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const int thisYear = local.tm_year + 1900;
  TempDir dir;
  const std::string raw = WriteRawFile(dir, {Fix(thisYear, 12, 31, 23, 30, 0)});

  const ProgramRun west = Cli({"decode", raw, "--tz-offset", "7200"});
  EXPECT_EQ(west.exitStatus, 0) << west.err;
  EXPECT_NE(west.out.find("points\t1\n"), std::string::npos) << west.out;
  const ProgramRun east = Cli({"decode", raw, "--tz-offset=-7200"});
  EXPECT_EQ(east.exitStatus, 0) << east.err;
  EXPECT_NE(east.out.find("points\t0\nSgm\t"), std::string::npos) << east.out;
}

// A download that ended early says so to whoever decodes or saves it.
TEST(CliDecode, AnIncompleteDownloadIsDecodedAndSavedAndSaysSo) {
  TempDir dir;
  const std::string raw = WriteRawFile(dir, ThreeSegments(), "SN12345-20250302-100000-incomplete-2.G00");
  const std::string notice = "orvald-cli: " + raw + " is an incomplete download: fixes may be missing\n";
  const ProgramRun decode = Cli({"decode", raw, "--tz-offset", "0"});
  EXPECT_EQ(decode.err + decode.out, notice + kThreeSegmentsDecoded);
  const ProgramRun igc = Cli({"igc", raw, "--segments", "1", "--compet", "7", "--dir", dir.path()});
  EXPECT_EQ(igc.err + igc.out, notice + "7TV1.igc\n");
}

TEST(CliDecode, FileThatCannotBeOpenedIsAFailure) {
  TempDir dir;
  const ProgramRun run = Cli({"decode", dir / "missing.G00"});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "orvald-cli: can't open " + (dir / "missing.G00") + ": No such file or directory\n");
}

TEST(CliUsage, MistakesInTheCommandLineExitWithTwoAndTheUsage) {
  TempDir dir;
  const std::string raw = WriteRawFile(dir, ThreeSegments());
  const std::vector<std::vector<std::string>> mistakes = {
      {},
      {"fly"},
      {"decode"},
      {"decode", raw, raw},
      {"decode", raw, "--tz-offset"},
      {"decode", raw, "--tz-offset", "east"},
      {"decode", raw, "--tz-offset", "90000"},
      {"decode", raw, "--segments", "1"},
      {"igc", raw},
      {"igc", "--segments", "1"},
      {"igc", raw, "--segments", "0"},
      {"igc", raw, "--segments", "3-1"},
      {"igc", raw, "--segments", "1-"},
      {"igc", raw, "--segments", "-2"},
      {"igc", raw, "--segments", "x"},
      {"igc", raw, "--segments", "1", "--dir"},
      {"igc", raw, "--segments", "1", "--colour", "red"},
      {"doctor", raw},
      {"doctor", "--com", "0"},
      {"doctor", "--port"},
  };
  for (const auto& args : mistakes) {
    std::string shown;
    for (const std::string& a : args) shown += " " + a;
    const ProgramRun run = Cli(args);
    EXPECT_EQ(run.exitStatus, 2) << shown;
    EXPECT_EQ(run.out, "") << shown;
    EXPECT_NE(run.err.find("Usage"), std::string::npos) << shown << ": " << run.err;
    EXPECT_NE(run.err.find("orvald-cli "), std::string::npos) << shown;
  }
  EXPECT_TRUE(TempDir::EntriesOf(dir.path()) == std::set<std::string>{"log.G00"});
}

TEST(CliUsage, HelpGoesToStandardOutput) {
  const ProgramRun run = Cli({"--help"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_NE(run.out.find("orvald-cli decode FILE [--tz-offset SECONDS]"), std::string::npos);
  EXPECT_NE(run.out.find("orvald-cli igc FILE --segments FIRST[-LAST]"), std::string::npos);
}

// Every program: --help and --version answer on stdout; an option-like output name writes nothing.
TEST(CliUsage, EveryProgramAnswersHelpAndVersionAndRefusesOptionLikeOutputs) {
  struct Case { std::string program; std::vector<std::string> args; int status; std::string outStart; };
  const std::string sim = ORVALD_SIM_PATH, demo = ORVALD_MAKE_DEMO_FLIGHT, version = " " ORVALD_PROJECT_VERSION " (";
  std::vector<Case> cases = {
      {ORVALD_CLI, {"--version"}, 0, "orvald-cli" + version},
      {ORVALD_CLI, {"decode", "--help"}, 0, "Usage: orvald-cli decode FILE"},
      {ORVALD_CLI, {"plot", "log.G00", "--out", "-x"}, 1, ""},
      {ORVALD_CLI, {"download", "--port", "/dev/null", "--log", "--help"}, 1, ""},
      {sim, {"--version"}, 0, "orvald-sim" + version},
      {sim, {"--version", "VER 9", "--no-serve"}, 0, ""},  // with a value, still the logger's version
      {sim, {"--no-serve", "--transcript", "-t"}, 1, ""},
      {demo, {"--help"}, 0, "Usage: orvald-make-demo-flight"},
      {demo, {"--version"}, 0, "orvald-make-demo-flight" + version},
      {demo, {"--full", "--help"}, 1, ""},
  };
#ifdef ORVALD_WINDOW_PROGRAM
  cases.push_back({ORVALD_WINDOW_PROGRAM, {"--version"}, 0, "orvald" + version});
  cases.push_back({ORVALD_WINDOW_PROGRAM, {"--help"}, 0, "Usage: orvald "});
#endif
  for (const Case& c : cases) {
    TempDir work;
    const ProgramRun run = RunProgram(c.program, c.args, work.path());
    EXPECT_EQ(run.exitStatus, c.status) << c.program << " " << c.args.back() << ": " << run.err;
    const bool outAsExpected = c.outStart.empty() ? run.out.empty() : run.out.rfind(c.outStart, 0) == 0;
    EXPECT_TRUE(outAsExpected) << c.program << " " << c.args.back() << ": " << run.out;
    EXPECT_EQ(run.err.find("must not start with '-'") != std::string::npos, c.status == 1) << run.err;
    EXPECT_TRUE(work.Entries().empty()) << c.program << " " << c.args.back();
  }
}

TEST(CliIgc, WritesTheSelectedRowsAndPrintsTheName) {
  TempDir dir;
  const std::string raw = WriteRawFile(dir, ThreeSegments());
  TempDir out;
  const ProgramRun run = Cli({"igc", raw, "--segments", "2-3", "--compet", "12", "--task", "3", "--pilot",
                              "Pilot One", "--dir", out.path(), "--tz-offset", "0"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, "12T3V1_Pilot_One.igc\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(out.Entries(), (std::set<std::string>{"12T3V1_Pilot_One.igc", "journal.tsv"}));

  const std::vector<std::string> lines = CrLfLines(testing::ReadWholeFile(out / "12T3V1_Pilot_One.igc"));
  ASSERT_EQ(lines.size(), 18u + 5u + 3u + 2u);
  EXPECT_EQ(lines[0], "AXXXXXX 5.1A,SN12345");
  EXPECT_EQ(lines[1], "HFDTE020325");
  EXPECT_EQ(lines[2], "HSPLTPILOT:Pilot One");
  EXPECT_EQ(lines[5], "HFRHWHARDWAREVERSION:FALDOR-X1");
  EXPECT_EQ(lines[10], "HPCIDCOMPETITIONID:12");
  EXPECT_EQ(lines[15], "LCMAOTSKTASKNUMBER:3");
  const std::vector<std::string> fixes(lines.begin() + 18, lines.end() - 2);
  const std::vector<std::string> expected = {
      "E100010PEV",
      "B1000102530030S02815000EA0030400304",
      "B1000112530033S02815000EA0030400304",
      "B1000122530036S02815000EA0030400304",
      "E100500PEV",
      "B1005002530000S02815000EA0030400304",
      "E100501PEV",
      "B1005012530003S02815000EA0030400304",  // 25.50005 S: exactly 30.003'

  };
  EXPECT_EQ(fixes, expected);
  EXPECT_EQ(lines[lines.size() - 2], "G:fffffff4");  // ~(8 points + 3 events)

  // The same save again takes the next version.
  const ProgramRun again = Cli({"igc", raw, "--segments", "2-3", "--compet", "12", "--task", "3", "--pilot",
                                "Pilot One", "--dir", out.path()});
  EXPECT_EQ(again.exitStatus, 0) << again.err;
  EXPECT_EQ(again.out, "12T3V2_Pilot_One.igc\n");
}

// The decode's time zone is handed to the writer, so B records stay UTC.
TEST(CliIgc, RecordsAreUtcWhateverTheTimeZone) {
  TempDir dir;
  const std::string raw = WriteRawFile(dir, ThreeSegments());
  for (const char* offset : {"-7200", "19800", "-45000"}) {
    TempDir out;
    const ProgramRun run = Cli({"igc", raw, "--segments", "1", "--compet=7", "--dir", out.path(), "--tz-offset", offset});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out, "7TV1.igc\n");
    const std::vector<std::string> lines = CrLfLines(testing::ReadWholeFile(out / "7TV1.igc"));
    ASSERT_EQ(lines.size(), 18u + 3u + 2u);
    EXPECT_EQ(lines[1], "HFDTE020325") << offset;
    EXPECT_EQ(lines[18].substr(0, 7), "B100000") << offset;
    EXPECT_EQ(lines[20].substr(0, 7), "B100002") << offset;
  }
}

TEST(CliIgc, DefaultDirectoryIsTheCurrentOne) {
  TempDir dir;
  const std::string raw = WriteRawFile(dir, ThreeSegments());
  TempDir work;
  const ProgramRun run = Cli({"igc", raw, "--segments", "1", "--compet", "7", "--task", "a b"}, work.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, "7Ta_bV1.igc\n");
  EXPECT_EQ(work.Entries(), (std::set<std::string>{"7Ta_bV1.igc", "journal.tsv"}));
}

TEST(CliIgc, FailuresExitWithOneAndWriteNothing) {
  TempDir dir;
  const std::string raw = WriteRawFile(dir, ThreeSegments());
  TempDir out;

  const ProgramRun beyond = Cli({"igc", raw, "--segments", "3-4", "--dir", out.path()});
  EXPECT_EQ(beyond.exitStatus, 1);
  EXPECT_EQ(beyond.out, "");
  EXPECT_EQ(beyond.err, "orvald-cli: " + raw + " has 3 segments; row 4 does not exist\n");

  const ProgramRun missingFile = Cli({"igc", dir / "none.G00", "--segments", "1", "--dir", out.path()});
  EXPECT_EQ(missingFile.exitStatus, 1);
  EXPECT_EQ(missingFile.err.rfind("orvald-cli: can't open ", 0), 0u) << missingFile.err;

  const ProgramRun missingDir = Cli({"igc", raw, "--segments", "1", "--compet", "12", "--dir", out / "gone"});
  EXPECT_EQ(missingDir.exitStatus, 1);
  EXPECT_EQ(missingDir.err,
            "orvald-cli: Can't create file " + (out / "gone/12TV1.igc") + ": No such file or directory\n");
  EXPECT_TRUE(out.Entries().empty());

  // Like the window, igc saves nothing without a competition number; blanks are none.
  for (const char* option : {"--pilot", "--compet"}) {
    const ProgramRun noCompet = Cli({"igc", raw, "--segments", "1", option, " \t", "--dir", out.path()});
    EXPECT_EQ(noCompet.exitStatus, 1);
    EXPECT_EQ(noCompet.err, "orvald-cli: no competition number: give --compet or a loggers.tsv row\n");
  }

  // An empty log has no rows to write.
  const std::string empty = WriteRawFile(dir, {}, "empty.G00");
  const ProgramRun none = Cli({"igc", empty, "--segments", "1", "--dir", out.path()});
  EXPECT_EQ(none.exitStatus, 1);
  EXPECT_EQ(none.err.find('\n'), none.err.size() - 1) << "one line: " << none.err;
  EXPECT_TRUE(out.Entries().empty());
}

TEST(DemoFlight, CommittedFileIsWhatTheGeneratorWrites) {
  TempDir dir;
  const ProgramRun run = RunProgram(ORVALD_MAKE_DEMO_FLIGHT, {dir / "demo.G00"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const std::string generated = testing::ReadWholeFile(dir / "demo.G00");
  const std::string committed = testing::ReadWholeFile(ORVALD_SOURCE_DIR "/demo/demo-flight.G00");
  EXPECT_FALSE(generated.empty());
  EXPECT_TRUE(generated == committed) << "regenerate demo/demo-flight.G00 with orvald-make-demo-flight";
}

TEST(DemoFlight, DecodesIntoThreeSegmentsWithOneEventEach) {
  const ProgramRun run = Cli({"decode", ORVALD_SOURCE_DIR "/demo/demo-flight.G00"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out,
            "serial\tDEMO0000042\n"
            "type\t5.1A\n"
            "points\t1668\n"
            "Sgm\tStart\tFinish\tBlind\tRecorded\tPoints\tEvents\n"
            "1\t2025/06/14  09:00:00\t2025/06/14  09:20:00\t\t 0:20:00\t601\t1\n"
            "2\t2025/06/14  09:23:00\t2025/06/14  09:45:00\t 0:03:00\t 0:22:00\t661\t1\n"
            "3\t2025/06/14  09:48:30\t2025/06/14  10:02:00\t 0:03:30\t 0:13:30\t406\t1\n");
}

}  // namespace
}  // namespace orvald
