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

#include "logger/download_view.h"
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
  // Returns true when this request is to fail (no reply).
  std::function<bool(const LoggerRequest&)> fails;
  // Runs before each request is answered (the point where the real link
  // waits and lets the window handle the Escape key).
  std::function<void(const LoggerRequest&)> onRequest;
  std::vector<LoggerRequest> requests;

  int ProbeLogger() override { return Answer({LoggerRequest::Probe}) && present ? 1 : 0; }
  uint32_t SetLoggerRate(uint32_t rate) override {
    LoggerRequest request{LoggerRequest::Rate};
    request.rate = rate;
    return Answer(request) ? rate : 9600;
  }
  std::string QueryIdentity() override { return Answer({LoggerRequest::Identity}) ? serialText : ""; }
  std::string QueryVersion() override { return Answer({LoggerRequest::Version}) ? versionText : ""; }
  int ReadLoggerMemory(uint8_t* destination, int count, int block, int offset) override {
    LoggerRequest request{LoggerRequest::Read, block, offset, count};
    if (!Answer(request)) return 0;
    const size_t at = static_cast<size_t>(block) * kBlockSize + static_cast<size_t>(offset);
    std::memcpy(destination, memory.data() + at, static_cast<size_t>(count));
    return count;
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
    return buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Ok;
  }
};

class RecordingView : public DownloadView {
 public:
  DownloadState downloadState;
  ScriptedPrompts scripted;

  // What is on screen now.
  int progressMin = 0, progressMax = 100, progressStep = 1, progressPosition = 0;
  bool progressShown = false;
  std::string blockCaption;
  bool blockCaptionShown = false;
  std::string fileCaption;
  std::string statusText;
  int cursorDepth = 0;  // 1 while the hourglass is up
  bool hourglass = false;
  int rowCount = 2;
  std::map<int, std::array<std::string, kGridColumns>> rows;
  std::array<std::string, 4> identification{"keep-comp", "keep-names", "keep-sn", "keep-type"};
  int timerInterval = -1;  // -1: stopped

  // What was shown over time.
  std::vector<std::string> blockCaptions;
  std::vector<std::string> fileCaptions;
  std::vector<std::string> statusTexts;
  int beeps = 0;
  int eventsProcessed = 0;
  int gridResets = 0;
  std::vector<std::string> timerEvents;
  std::function<void()> onProcessEvents;

  void SetProgressRange(int minimum, int maximum, int step) override {
    progressMin = minimum;
    progressMax = maximum;
    progressStep = step;
  }
  void SetProgressPosition(int position) override { progressPosition = position; }
  void StepProgress() override { progressPosition += progressStep; }
  void ShowProgress(bool shown) override { progressShown = shown; }
  void SetBlockCaption(const std::string& text) override {
    blockCaption = text;
    blockCaptions.push_back(text);
  }
  void ShowBlockCaption(bool shown) override { blockCaptionShown = shown; }
  void SetFileCaption(const std::string& text) override {
    fileCaption = text;
    fileCaptions.push_back(text);
  }
  void SetStatusText(const std::string& text) override {
    statusText = text;
    statusTexts.push_back(text);
  }
  void RememberCursor() override { hourglassAtEntry = hourglass; }
  void SetHourglassCursor() override { hourglass = true; }
  void RestoreCursor() override { hourglass = hourglassAtEntry; }
  void Beep() override { ++beeps; }
  void ProcessPendingEvents() override {
    ++eventsProcessed;
    if (onProcessEvents) onProcessEvents();
  }
  void ResetSegmentsGrid() override {
    ++gridResets;
    rowCount = 2;
    rows.clear();
  }
  void SetSegmentsRowCount(int count) override { rowCount = count; }
  void SetSegmentsRow(int row, const std::array<std::string, kGridColumns>& cells) override { rows[row] = cells; }
  void SetIdentification(const std::string& competNo, const std::string& pilotNames,
                         const std::string& loggerSerial, const std::string& loggerType) override {
    identification = {competNo, pilotNames, loggerSerial, loggerType};
  }
  Prompts& prompts() override { return scripted; }
  DownloadState& state() override { return downloadState; }
  void StopDetectionTimer() override {
    timerInterval = -1;
    timerEvents.push_back("stop");
  }
  void StartDetectionTimer(int intervalMs) override {
    timerInterval = intervalMs;
    timerEvents.push_back("start " + std::to_string(intervalMs));
  }

 private:
  bool hourglassAtEntry = false;
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
