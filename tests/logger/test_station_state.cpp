// A station's row follows its session's typed events: what a download came
// to stays on show through the polls after it, and a new download starts
// the row afresh.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "logger/station_state.h"

namespace orvald {
namespace {

LoadLogResult Ended(LoadLogEnd end, std::string path = "", std::string reason = "") {
  LoadLogResult result;
  result.end = end;
  result.serialText = "QA712";
  result.path = std::move(path);
  result.reason = std::move(reason);
  result.heldBy = "COM1";
  return result;
}

using Event = std::function<void(StationState&)>;

TEST(StationState, EventsGiveTheRowsState) {
  const Event start = [](StationState& s) { ApplyStarted(s, {"QA712", "QA712-20261208-140012"}); };
  LoggerMatch anna;
  anna.found = true;
  anna.competNo = "12";
  anna.pilotNames = "Anna";
  const Event named = [anna](StationState& s) { ApplyStarted(s, {"QA712", "QA712-20261208-140012"}, anna); };
  const Event block = [](StationState& s) { ApplyBlockStarted(s, 3, 12); };
  const Event progress = [](StationState& s) { ApplyProgress(s, 40); };
  const Event nobody = [](StationState& s) { ApplyWaiting(s, ""); };
  const Event gone = [](StationState& s) { ApplyWaiting(s, "COM2 (/dev/ttyUSB1): no such device"); };
  const Event ended = [](StationState& s) { ApplyEnded(s); };
  auto finished = [](LoadLogResult r) { return Event([r](StationState& s) { ApplyFinished(s, r); }); };
  const Event complete = finished(Ended(LoadLogEnd::kComplete, "/d/QA712-20261208-140012.G00"));
  const Event cut = finished(Ended(LoadLogEnd::kReadError, "/d/QA712-20261208-140012-incomplete.G00",
                                   "the logger stopped answering at block 1"));
  std::tm at{};
  at.tm_hour = 14;
  at.tm_min = 2;
  at.tm_sec = 11;
  const Event cutAt = [at](StationState& s) {
    ApplyFinished(s, Ended(LoadLogEnd::kReadError, "/d/Q-incomplete.G00", "the logger stopped answering"), at);
  };
  struct Case {
    const char* name;
    std::vector<Event> events;
    StationPhase phase;
    std::string text;
    std::string path;
    std::string pilot = "";
    std::string earlier = "";
  };
  const Case cases[] = {
      {"nothing answered", {nobody}, StationPhase::kWaiting, "waiting", ""},
      {"the port's problem", {gone}, StationPhase::kWaiting, "waiting (COM2 (/dev/ttyUSB1): no such device)", ""},
      {"a problem that went", {gone, nobody}, StationPhase::kWaiting, "waiting", ""},
      {"begun", {start}, StationPhase::kDownloading, "downloading", ""},
      {"under way", {start, block, progress}, StationPhase::kDownloading, "downloading block 3 of 12, 40 %", ""},
      {"progress outside a download", {progress}, StationPhase::kWaiting, "waiting", ""},
      {"complete", {start, block, progress, complete, ended}, StationPhase::kDone, "done",
       "/d/QA712-20261208-140012.G00"},
      {"done stays through the polls", {start, complete, ended, nobody, gone}, StationPhase::kDone, "done",
       "/d/QA712-20261208-140012.G00"},
      {"incomplete", {start, cut, ended}, StationPhase::kFailed, "failed: the logger stopped answering at block 1",
       "/d/QA712-20261208-140012-incomplete.G00"},
      {"aborted leaves the port waiting", {start, block, finished(Ended(LoadLogEnd::kAborted)), ended},
       StationPhase::kWaiting, "waiting", ""},
      {"cannot create", {finished(Ended(LoadLogEnd::kCannotCreate, "", "can't create /d/x.part: Read-only file system"))},
       StationPhase::kFailed, "failed: can't create /d/x.part: Read-only file system", ""},
      {"a folder still unusable keeps the failed file on the row",
       {finished(Ended(LoadLogEnd::kWriteError, "/d/x-incomplete.G00")), nobody,
        finished(Ended(LoadLogEnd::kFolderUnusable, "", "the data folder is unusable (/d: full)"))},
       StationPhase::kFailed, "failed: the data folder is unusable (/d: full)", "/d/x-incomplete.G00"},
      {"busy on another port", {finished(Ended(LoadLogEnd::kBusyElsewhere))}, StationPhase::kWaiting,
       "waiting (Logger QA712 is being downloaded on COM1)", ""},
      {"the same logger again", {start, complete, ended, finished(Ended(LoadLogEnd::kSameLogger)), ended},
       StationPhase::kDone, "done", "/d/QA712-20261208-140012.G00"},
      {"a new download starts afresh, the failure kept", {start, cutAt, ended, start}, StationPhase::kDownloading,
       "downloading", "", "", "14:02:11 failed: the logger stopped answering (Q-incomplete.G00)"},
      {"newest failure first; a done download adds none", {start, cut, start, cutAt, start, complete, start},
       StationPhase::kDownloading, "downloading", "", "",
       "14:02:11 failed: the logger stopped answering (Q-incomplete.G00)\n00:00:00 failed: the logger stopped "
       "answering at block 1 (QA712-20261208-140012-incomplete.G00)"},
      {"the table names the pilot at once", {named, block}, StationPhase::kDownloading, "downloading", "", "12 Anna"},
      {"and keeps it to the end", {named, complete, ended}, StationPhase::kDone, "done",
       "/d/QA712-20261208-140012.G00", "12 Anna"},
      {"a serial the table lacks", {named, start}, StationPhase::kDownloading, "downloading", "", " "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StationState state;
    for (const Event& event : c.events) event(state);
    EXPECT_EQ(state.phase, c.phase);
    EXPECT_EQ(StationStateText(state), c.text);
    EXPECT_EQ(state.path, c.path);
    EXPECT_EQ(EarlierFailuresText(state), c.earlier);
    if (!c.pilot.empty()) {
      EXPECT_EQ(state.competNo + " " + state.pilot, c.pilot);
    }
  }
}

}  // namespace
}  // namespace orvald
