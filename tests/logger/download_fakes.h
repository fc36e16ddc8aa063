#pragma once
// Test doubles for the download session: a logger served from an in-memory
// block image with failures on demand, a view that records what it is shown,
// scripted prompts and a fixed loggers table.

#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "logger/session_view.h"
#include "tracklog/grid_text.h"
#include "logger/logger_commands.h"
#include "logger/logger_lookup.h"
#include "logger/prompts.h"
#include "tracklog/memory_image.h"

namespace orvald::testing {

struct LoggerRequest {
  enum Kind { Probe, Rate, Identity, Version, Read } kind;
  int block = 0;
  int offset = 0;
  int count = 0;
  uint32_t rate = 0;
};

class FakeLogger : public LoggerCommands {
 public:
  std::vector<uint8_t> memory = ErasedMemory();
  std::string serialText = "00000012345";
  std::string versionText = "ORVL5.1A";
  bool present = true;
  // The rate the logger listens at: a probe at any other finds nothing.
  uint32_t listensAt = 9600;
  // Counted like the link's opens of the port (a test raises it for a reopen).
  int lineOpens = 1;
  // Returns true when this request is to fail (no reply).
  std::function<bool(const LoggerRequest&)> fails;
  LineStatus failedReadStatus = LineStatus::kTimeout;  // how a failed read says it ended
  // Runs before each request is answered (the point where the real link
  // waits and lets the window handle the Escape key).
  std::function<void(const LoggerRequest&)> onRequest;
  std::vector<LoggerRequest> requests;

  int ProbeLogger() override { return ProbeLoggerAt(9600); }
  int ProbeLoggerAt(uint32_t rate) override {
    LoggerRequest request{LoggerRequest::Probe};
    request.rate = rate;
    return Answer(request) && present && rate == listensAt ? 1 : 0;
  }
  uint32_t SetLoggerRate(uint32_t rate) override {
    LoggerRequest request{LoggerRequest::Rate};
    request.rate = rate;
    if (!Answer(request)) return 9600;
    listensAt = rate;
    return rate;
  }
  int LineOpens() override { return lineOpens; }
  std::string QueryIdentity() override { return Answer({LoggerRequest::Identity}) ? serialText : ""; }
  std::string QueryVersion() override { return Answer({LoggerRequest::Version}) ? versionText : ""; }
  MemoryRead ReadLoggerMemory(uint8_t* destination, int count, int block, int offset) override {
    LoggerRequest request{LoggerRequest::Read, block, offset, count};
    if (!Answer(request)) return {0, failedReadStatus};
    const size_t at = static_cast<size_t>(block) * kBlockSize + static_cast<size_t>(offset);
    std::memcpy(destination, memory.data() + at, static_cast<size_t>(count));
    return {count, LineStatus::kOk};
  }

  int CountOf(LoggerRequest::Kind kind) const {
    int n = 0;
    for (const auto& r : requests) n += r.kind == kind;
    return n;
  }
  std::vector<uint32_t> Rates() const {
    std::vector<uint32_t> rates;
    for (const auto& r : requests)
      if (r.kind == LoggerRequest::Rate) rates.push_back(r.rate);
    return rates;
  }

 private:
  bool Answer(const LoggerRequest& request) {
    requests.push_back(request);
    if (onRequest) onRequest(request);
    if (!present) return false;
    return !(fails && fails(request));
  }
};

struct AskedQuestion {
  std::string caption;
  std::string text;
  PromptButtons buttons;
  PromptIcon icon;
};

class ScriptedPrompts : public Prompts {
 public:
  std::deque<PromptAnswer> answers;  // taken in order; Ok/No when none is left
  std::vector<AskedQuestion> asked;
  std::function<void()> onAsk;

  PromptAnswer Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                   PromptIcon icon) override {
    asked.push_back({caption, text, buttons, icon});
    if (onAsk) onAsk();
    if (!answers.empty()) {
      PromptAnswer answer = answers.front();
      answers.pop_front();
      return answer;
    }
    return buttons == PromptButtons::kYesNo ? PromptAnswer::kNo : PromptAnswer::kOk;
  }
};

// Records what the session shows, in the terms the window shows it in.
class RecordingView : public SessionView {
 public:
  ScriptedPrompts scripted;

  // What is on screen now.
  int progressMax = 0, progressPosition = 0;
  std::vector<int> shares;  // every share said, in order
  bool progressShown = false;
  std::string blockCaption;
  std::string fileCaption;
  std::string statusText;
  bool hourglass = false;
  int rowCount = 2;
  std::map<int, std::array<std::string, kGridColumns>> rows;
  std::array<std::string, 4> identification{"keep-comp", "keep-names", "keep-sn", "keep-type"};

  // What was shown over time.
  std::vector<std::string> started;  // the file of each download begun
  std::vector<std::string> startedSerials;  // ... and whose
  std::vector<std::pair<LoadLogEnd, std::string>> finished;  // each download's end, and its logger
  std::vector<std::string> blockCaptions;
  std::vector<std::string> fileCaptions;
  std::vector<std::string> statusTexts;
  int beeps = 0;
  int ended = 0;
  int eventsProcessed = 0;
  int gridResets = 0;
  std::function<void()> onProcessEvents;

  void Started(const DownloadStart& start) override {
    started.push_back(start.fileName);
    startedSerials.push_back(start.serialText);
    fileCaption = "Loading: " + start.fileName;
    fileCaptions.push_back(fileCaption);
    progressShown = hourglass = true;
  }
  void BlockStarted(int counter, int total) override {
    blockCaption = BlockCaptionText(counter, total);
    blockCaptions.push_back(blockCaption);
  }
  void Progress(int done, int total) override {
    progressPosition = done;
    progressMax = total;
  }
  void Share(int percent) override { shares.push_back(percent); }
  void DownloadEnded() override { ++beeps; }
  void Finished(const LoadLogResult& result) override { finished.push_back({result.end, result.serialText}); }
  void Ended() override {
    ++ended;
    progressShown = hourglass = false;
  }
  void Status(const std::string& text) override {
    statusText = text;
    statusTexts.push_back(text);
  }
  void LogShown(const std::string& fileName) override {
    fileCaption = fileName;
    fileCaptions.push_back(fileName);
  }
  void SegmentsCleared() override {
    ++gridResets;
    rowCount = 2;
    rows.clear();
  }
  void SegmentDecoded(int index, const TrackSegment& segment) override {
    rowCount = index + 2;
    rows[index + 1] = SegmentRowCells(index, segment);
  }
  void Identified(const Identification& who) override {
    identification = {who.competNo, who.pilotNames, who.serialText, who.typeText};
  }
  void KeepResponsive() override {
    ++eventsProcessed;
    if (onProcessEvents) onProcessEvents();
  }
  bool ConfirmCancel() override {
    return scripted.Ask("Logger Download", " Cancel downloading?", PromptButtons::kYesNo, PromptIcon::kQuestion) ==
           PromptAnswer::kYes;
  }
  void Report(const std::string& text, PromptIcon icon) override {
    scripted.Ask("Logger Download", text, PromptButtons::kOk, icon);
  }
};

class FixedLookup : public LoggerLookup {
 public:
  std::map<std::string, LoggerMatch> rows;
  std::vector<std::string> queries;
  LoggerMatch FindLogger(const std::string& serialText) override {
    queries.push_back(serialText);
    auto it = rows.find(serialText);
    return it == rows.end() ? LoggerMatch{} : it->second;
  }
};

}  // namespace orvald::testing
