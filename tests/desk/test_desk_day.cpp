// The desk's day apart from the window: the banner through a log's life,
// the notice for a flight replaced unsaved, the status bar kept for a
// verdict, the questions before a save and the task chosen at start.
#include <gtest/gtest.h>

#include "desk/desk_day.h"
#include "export/igc_test_table.h"

namespace orvald {
namespace {

using testing::AddSegment;
using testing::kApril10th2007;

const DeskLog kSmith{"QA712", "007", "John Smith", "QA712-20070410-100000.G00"};

Verdict Judged(VerdictLevel level, const std::string& file, const std::string& text) {
  Verdict verdict;
  verdict.level = level;
  verdict.igcFile = file;
  verdict.text = text;
  if (level == VerdictLevel::kOk || level == VerdictLevel::kCheck) verdict.firstSegment = verdict.lastSegment = 0;
  return verdict;
}

TEST(DeskDay, TheBannerSaysWhoseFlightWhichTaskAndWhetherSaved) {
  struct Case {
    const char* what;
    std::function<void(DeskDay&)> steps;
    BannerTone tone;
    std::string headline;
  };
  const std::string dash = " \xE2\x80\x94 ";
  const std::vector<Case> cases = {
      {"nothing yet", [](DeskDay&) {}, BannerTone::kBlank, ""},
      {"downloading, the previous pilot gone",
       [](DeskDay& d) {
         d.Show(kSmith);
         d.BeginDownload("QC555");
         d.DownloadProgress(42);
       },
       BannerTone::kBusy, "Downloading QC555 ... 42 %"},
      {"saved ok",
       [](DeskDay& d) {
         d.Show(kSmith);
         d.Judged(Judged(VerdictLevel::kOk, "007T2V1_John_Smith.igc", "saved ..."));
       },
       BannerTone::kOk, "007 John Smith" + dash + "task 2" + dash + "saved 007T2V1_John_Smith.igc"},
      {"saved with gaps",
       [](DeskDay& d) {
         d.Show(kSmith);
         d.Judged(Judged(VerdictLevel::kCheck, "007T2V1_John_Smith.igc", "saved ...; 2 gaps"));
       },
       BannerTone::kCheck, "007 John Smith" + dash + "task 2" + dash + "saved 007T2V1_John_Smith.igc"},
      {"fit but automatic saving off",
       [](DeskDay& d) {
         d.Show(kSmith);
         d.Judged(Judged(VerdictLevel::kOk, "", "not saved"));
       },
       BannerTone::kCheck, "007 John Smith" + dash + "task 2" + dash + "NOT SAVED"},
      {"unknown logger",
       [](DeskDay& d) {
         d.Show({"QU404", "", "", "QU404-20070410-100000.G00"});
         d.Judged(Judged(VerdictLevel::kUnknown, "", "Serial QU404 ..."));
       },
       BannerTone::kProblem, "QU404 (not in the loggers table)" + dash + "task 2" + dash + "NOT SAVED"},
      {"outside the window",
       [](DeskDay& d) {
         d.Show(kSmith);
         d.Judged(Judged(VerdictLevel::kNone, "", "No fix inside ..."));
       },
       BannerTone::kProblem, "007 John Smith" + dash + "task 2" + dash + "NOT SAVED"},
      {"opened, found saved",
       [](DeskDay& d) {
         d.Show(kSmith);
         d.TaskSelected(true, "007T2V1_John_Smith.igc");
       },
       BannerTone::kOk, "007 John Smith" + dash + "task 2" + dash + "saved 007T2V1_John_Smith.igc"},
      {"saved by hand for another task: not saved for the day's",
       [](DeskDay& d) {
         d.Show(kSmith);
         d.TaskSelected(true, "");
         d.Saved("007T3V1_John_Smith.igc", "3");
       },
       BannerTone::kPlain, "007 John Smith" + dash + "task 2" + dash + "NOT SAVED"},
      {"the task changed after the verdict",
       [](DeskDay& d) {
         d.Show(kSmith);
         d.Judged(Judged(VerdictLevel::kOk, "007T2V1_John_Smith.igc", "saved ..."));
         d.ChooseTask("1");
       },
       BannerTone::kPlain, "007 John Smith" + dash + "task 1" + dash + "NOT SAVED"},
      {"a download that kept nothing",
       [](DeskDay& d) {
         d.Show(kSmith);
         d.BeginDownload("QC555");
         d.DownloadKeptNothing("the data folder is full");
       },
       BannerTone::kProblem, "QC555" + dash + "NOTHING DOWNLOADED"},
  };
  for (const Case& c : cases) {
    DeskDay day;
    day.ChooseTask("2");
    c.steps(day);
    const Banner banner = day.banner();
    EXPECT_EQ(banner.tone, c.tone) << c.what;
    EXPECT_EQ(banner.headline, c.headline) << c.what;
  }
}

TEST(DeskDay, AFlightReplacedUnsavedIsSaidOnceAndTheVerdictOutlastsIdlePolls) {
  DeskDay day;
  day.ChooseTask("2");
  day.Show(kSmith);
  day.TaskSelected(true, "");
  EXPECT_EQ(day.ReplacingNotice(),
            "The flight shown before (007 John Smith, QA712-20070410-100000.G00) was not saved for task 2; its raw "
            "file stays in the data folder");
  const std::string notice = day.BeginDownload("QC555");
  EXPECT_EQ(notice, day.banner().detail);
  EXPECT_NE(notice, "");
  EXPECT_EQ(day.BeginDownload("QC555"), "");  // said for the flight shown, not for every download after it

  // Saved, outside the task's window, or no task: nothing to say.
  for (int variant = 0; variant < 3; ++variant) {
    DeskDay other;
    other.ChooseTask(variant == 2 ? "" : "2");
    other.Show(kSmith);
    other.TaskSelected(variant != 1, "");
    if (variant == 0) other.Saved("007T2V1_John_Smith.igc", "2");
    EXPECT_EQ(other.ReplacingNotice(), "") << variant;
  }

  day.HoldStatus();
  EXPECT_FALSE(day.StatusMayChange(true));   // a poll that found no logger
  EXPECT_TRUE(day.StatusMayChange(false));   // anything else replaces it ...
  EXPECT_TRUE(day.StatusMayChange(true));    // ... and ends the hold
}

TEST(DeskDay, QuestionsBeforeASaveAndTheTaskAtStart) {
  TrackTable table;
  const int32_t ten = kApril10th2007 + 10 * 3600;
  AddSegment(table, ten, {{10, 0, 0}, {10, 30, 0}});
  table.segments()[0].finish = ten + 30 * 60;  // 10:00-10:30
  AddSegment(table, ten + 8 * 3600 + 60, {{18, 1, 0}, {18, 35, 0}});
  table.segments()[1].finish = ten + 8 * 3600 + 35 * 60;  // 18:01-18:35
  const DeskTask task2{"2", "2007/04/10", "19:45:00", "21:00:00"};
  EXPECT_EQ(OutsideWindowQuestion(table, 1, 1, task2),
            "The selection 18:01-18:35 UTC lies outside task 2's window (19:45-21:00 UTC). Save as task 2?");
  EXPECT_EQ(OutsideWindowQuestion(table, 0, 1, {"1", "2007/04/10", "10:10:00", "10:20:00"}), "");
  EXPECT_EQ(OutsideWindowQuestion(table, 1, 1, {"9", "", "", ""}), "");  // a task the table does not know
  EXPECT_NE(OutsideWindowQuestion(table, 1, 1, {"3", "2007/04/11", "18:00:00", "19:00:00"}).find(
                "The selection 2007/04/10 18:01-18:35 UTC lies outside task 3's window (2007/04/11 18:00-19:00 UTC)"),
            std::string::npos);
  EXPECT_EQ(SaveAgainQuestion("007T2V1_John_Smith.igc", '2'),
            "Already saved as 007T2V1_John_Smith.igc. Save again as V2?");

  const std::vector<DeskTask> tasks = {{"1", "2026/12/07", "", ""}, {"2", "2026/12/08", "", ""},
                                       {"3", "2026/12/08", "", ""}};
  EXPECT_EQ(ChooseStartTask("3", tasks, "2026/12/08").task, "3");
  EXPECT_EQ(ChooseStartTask("3", tasks, "2026/12/08").notice, "");
  const StartTask changed = ChooseStartTask("1", tasks, "2026/12/08");
  EXPECT_EQ(changed.task, "2");
  EXPECT_EQ(changed.notice, "Task 2 chosen: the first of today's tasks (2026/12/08); task 1 is not today's");
  EXPECT_EQ(ChooseStartTask("1", tasks, "2026/12/09").task, "1");  // no task today: the remembered one stays
}

}  // namespace
}  // namespace orvald
