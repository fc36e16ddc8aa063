// The desk's verdict on a log for the day's task: each level, its one line,
// and that a flight saved once is never saved again as another version.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "desk/verdict.h"
#include "export/igc_test_table.h"
#include "support/temp_dir.h"

namespace orvald {
namespace {

using testing::AddSegment;
using testing::kApril10th2007;

constexpr int32_t kTen = kApril10th2007 + 10 * 3600;

// One segment 10:00:00-10:00:02 UTC, and with `gapSeconds` a second one
// that long after it.
void FillTable(TrackTable& table, int gapSeconds) {
  AddSegment(table, kTen, {{10, 0, 0}, {10, 0, 1}, {10, 0, 2}});
  if (gapSeconds > 0) {
    const int32_t start = kTen + 2 + gapSeconds;
    AddSegment(table, start, {{10, (2 + gapSeconds) / 60, (2 + gapSeconds) % 60}});
    table.segments()[1].blind = gapSeconds;
  }
  table.serialText = "QA712";
  table.typeText = "5.1A";
}

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Verdict, EachLevelSaysWhatTheDeskMustDo) {
  struct Case {
    const char* name;
    int gapSeconds;
    std::function<void(VerdictInput&)> change;
    VerdictLevel level;
    std::string text;
    std::vector<std::string> files;
  };
  const Case cases[] = {
      {"ok", 0, [](VerdictInput&) {}, VerdictLevel::kOk,
       "saved 042T1V1_Jane_Doe.igc, 10:00:00-10:00:02 UTC, 3 fixes", {"042T1V1_Jane_Doe.igc"}},
      {"a short gap is no gap", 60, [](VerdictInput&) {}, VerdictLevel::kOk,
       "saved 042T1V1_Jane_Doe.igc, 10:00:00-10:01:02 UTC, 4 fixes", {"042T1V1_Jane_Doe.igc"}},
      {"a gap to check", 300, [](VerdictInput&) {}, VerdictLevel::kCheck,
       "saved 042T1V1_Jane_Doe.igc; 1 gap in the task's flight, longest 0:05:00 at 10:05:02 UTC",
       {"042T1V1_Jane_Doe.igc"}},
      {"incomplete", 0,
       [](VerdictInput& in) {
         in.downloadComplete = false;
         in.incompleteReason = "the logger stopped answering at block 1";
       },
       VerdictLevel::kIncomplete,
       "Download incomplete (the logger stopped answering at block 1): not saved; the logger is downloaded again "
       "at the next poll",
       {}},
      {"unknown", 0, [](VerdictInput& in) { in.inLoggersTable = false; }, VerdictLevel::kUnknown,
       "Serial QA712 is not in the loggers table: add it with Edit", {}},
      {"outside the window", 0,
       [](VerdictInput& in) {
         in.task.number = "2";
         in.task.timeFrom = "19:45:00";
         in.task.timeTo = "21:00:00";
       },
       VerdictLevel::kNone,
       "No fix inside task 2's window (2007/04/10 19:45-21:00 UTC); the log holds 2007/04/10 10:00-10:00 UTC", {}},
      {"a window that ends before it starts", 0, [](VerdictInput& in) { in.task.timeTo = "08:00:00"; },
       VerdictLevel::kNone,
       "No fix inside task 1's window (2007/04/10 09:00-08:00 UTC); the log holds 2007/04/10 10:00-10:00 UTC", {}},
      {"automatic saving off", 0, [](VerdictInput& in) { in.autoSave = false; }, VerdictLevel::kOk,
       "not saved (automatic saving is off), 10:00:00-10:00:02 UTC, 3 fixes", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    TrackTable table;
    FillTable(table, c.gapSeconds);
    VerdictInput input;
    input.inLoggersTable = true;
    input.competNo = "042";
    input.pilotNames = "Jane Doe";
    input.task = {"1", "2007/04/10", "09:00:00", "11:00:00"};
    input.directory = dir.path();
    c.change(input);
    const Verdict verdict = JudgeLog(table, input);
    EXPECT_EQ(verdict.level, c.level);
    EXPECT_EQ(verdict.text, c.text);
    EXPECT_EQ(FilesIn(dir.path()), c.files);
    EXPECT_EQ(verdict.savedNow, !c.files.empty());
  }
}

TEST(Verdict, AFlightSavedOnceIsNamedAgainNotSavedAsAnotherVersion) {
  testing::TempDir dir;
  TrackTable table;
  FillTable(table, 0);
  VerdictInput input{.inLoggersTable = true, .competNo = "042", .pilotNames = "Jane Doe",
                     .task = {"1", "2007/04/10", "09:00:00", "11:00:00"}, .directory = dir.path()};
  ASSERT_TRUE(JudgeLog(table, input).savedNow);
  // The same logger plugged in again, an hour later: the same fixes.
  input.now += 3600;
  const Verdict again = JudgeLog(table, input);
  EXPECT_FALSE(again.savedNow);
  EXPECT_EQ(again.igcFile, "042T1V1_Jane_Doe.igc");
  EXPECT_EQ(again.text, "already saved as 042T1V1_Jane_Doe.igc, 10:00:00-10:00:02 UTC, 3 fixes");
  // A flight with other fixes for the same task is a new version.
  table.points()[1].altitudeFeet = 2000;
  const Verdict changed = JudgeLog(table, input);
  EXPECT_TRUE(changed.savedNow);
  EXPECT_EQ(changed.igcFile, "042T1V2_Jane_Doe.igc");
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"042T1V1_Jane_Doe.igc", "042T1V2_Jane_Doe.igc"}));
}

TEST(Verdict, ASaveThatFailsIsNoSuccess) {
  testing::TempDir dir;
  TrackTable table;
  FillTable(table, 0);
  const VerdictInput input{.inLoggersTable = true, .competNo = "042", .pilotNames = "Jane Doe",
                           .task = {"1", "2007/04/10", "09:00:00", "11:00:00"},
                           .directory = dir.path() + "/no-such-folder"};
  const Verdict verdict = JudgeLog(table, input);
  EXPECT_EQ(verdict.level, VerdictLevel::kFailed);
  EXPECT_EQ(verdict.text.rfind("NOT SAVED: ", 0), 0u) << verdict.text;
  EXPECT_TRUE(verdict.igcFile.empty());
}

}  // namespace
}  // namespace orvald
