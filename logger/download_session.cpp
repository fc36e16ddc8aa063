#include "logger/download_session.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <utility>

#include "files/file_writer.h"
#include "tracklog/decoder.h"
#include "tracklog/grid_text.h"
#include "tracklog/raw_image.h"

namespace orvald {

namespace {

constexpr const char* kCaption = "Logger Download";

std::string Printf(const char* format, const std::string& text) {
  std::string out(std::strlen(format) + text.size() + 1, '\0');
  int n = std::snprintf(out.data(), out.size(), format, text.c_str());
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return out;
}

std::string BlockCaption(int counter, int total) {
  char text[64];
  std::snprintf(text, sizeof text, "Downloading Block %2d of %2d ", counter, total);
  return text;
}

std::string NameWithoutDirectory(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// Whatever way a download ends, the logger goes back to the detection rate:
// left at the download rate it would not hear the next probe at 9600 and
// could never be found again, not even after Force download.
class DetectionRateOnExit {
 public:
  explicit DetectionRateOnExit(LoggerCommands& commands) : commands_(commands) {}
  ~DetectionRateOnExit() { commands_.SetLoggerRate(kDetectionRate); }

 private:
  LoggerCommands& commands_;
};

// Long waits on the line end early once the operator asked to abort.
class CancelCheckWhileDownloading {
 public:
  CancelCheckWhileDownloading(LoggerCommands& commands, DownloadState& state) : commands_(commands) {
    commands_.SetCancelCheck([&state] { return state.abortFlag != 0; });
  }
  ~CancelCheckWhileDownloading() { commands_.SetCancelCheck(nullptr); }

 private:
  LoggerCommands& commands_;
};

// The view goes back to idle on every way out of a download: the cursor
// restored, progress bar and block caption hidden.
class ViewIdleOnExit {
 public:
  explicit ViewIdleOnExit(DownloadView& view) : view_(view) {}
  ~ViewIdleOnExit() {
    view_.RestoreCursor();
    view_.ShowProgress(false);
    view_.ShowBlockCaption(false);
  }

 private:
  DownloadView& view_;
};

}  // namespace

// One download from the identity on.
struct DownloadSession::Run {
  std::string serialText;
  std::string name;  // the file name a complete download gets
  FileWriter file;
  std::array<std::optional<BlockHeader>, kBlockCount> headers{};
  std::vector<int> unreadHeaders;
  DownloadPlan plan;
  PassEnd passEnd = PassEnd::Complete;
  std::string failure;  // why the pass ended early
  int piecesRead = 0;
};

std::tm SystemLocalTime() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

DownloadSession::DownloadSession(DownloadSessionSetup setup) : setup_(std::move(setup)) {}

void DownloadSession::Timer1Timer() {
  DownloadView& view = setup_.view;
  view.StopDetectionTimer();
  lastCycleFoundLogger_ = setup_.commands.ProbeLogger() != 0;
  if (lastCycleFoundLogger_) {
    lastResult_ = LoadLog("");
  } else {
    // A port that cannot be opened says why; a port with nothing on it is
    // simply no logger.
    const std::string problem = setup_.commands.LineProblem();
    view.SetStatusText(problem.empty() ? "No logger found to download" : problem);
  }
  view.StartDetectionTimer(kDetectionIntervalMs);
}

LoadLogResult DownloadSession::LoadLog(const std::string& fileName) {
  setup_.view.RememberCursor();
  if (fileName.empty()) return Download();
  LoadLogResult result;
  result.end = LoadLogEnd::Opened;
  result.path = fileName;
  Decode(fileName, fileName, "");
  return result;
}

std::string DownloadSession::QueryWithAttempts(const std::function<std::string()>& query) {
  // One lost reply must not give an empty serial or type; a logger that
  // never answers gives an empty text after the same attempts as any read.
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    std::string text = query();
    if (!text.empty()) return text;
    if (setup_.view.state().abortFlag != 0) break;
  }
  return {};
}

DownloadSession::ReadEnd DownloadSession::ReadWithAttempts(uint8_t* destination, int count, int block, int offset) {
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    // Looked at between attempts, so an abort is seen within one reply limit.
    if (attempt > 0 && setup_.view.state().abortFlag != 0) return ReadEnd::Aborted;
    if (setup_.commands.ReadLoggerMemory(destination, count, block, offset) == count) return ReadEnd::Read;
  }
  return ReadEnd::Failed;
}

LoadLogResult DownloadSession::Download() {
  DownloadView& view = setup_.view;
  DownloadState& state = view.state();
  LoggerCommands& commands = setup_.commands;
  LoadLogResult result;

  DetectionRateOnExit detectionRate(commands);
  CancelCheckWhileDownloading cancelCheck(commands, state);
  commands.SetLoggerRate(kDownloadRate);
  Run run;
  run.serialText = QueryWithAttempts([&] { return commands.QueryIdentity(); });
  if (run.serialText == state.lastSerialText) {
    result.end = LoadLogEnd::SameLogger;
    return result;
  }

  run.name = RawFileName(run.serialText, setup_.localNow());
  ViewIdleOnExit idle(view);
  view.SetHourglassCursor();
  if (!run.file.Begin(setup_.dataDir, run.name + ".part")) {
    // Saying nothing here would lose this pilot's log for good; lastSerialText
    // stays as it was, so the next poll tries again.
    view.prompts().Ask(kCaption, "Cannot create file " + run.file.errorText(), PromptButtons::Ok, PromptIcon::Error);
    result.end = LoadLogEnd::CannotCreate;
    result.path = run.file.temporaryPath();
    return result;
  }
  result.path = run.file.temporaryPath();

  view.ShowProgress(true);
  view.SetBlockCaption("");
  view.ShowBlockCaption(true);
  view.SetFileCaption(Printf("Loading: %s", run.name));
  view.SetStatusText("Press ESC to abort downloading");
  state.abortFlag = 0;

  const std::string versionText = QueryWithAttempts([&] { return commands.QueryVersion(); });
  const FileHeader fileHeader = BuildFileHeader(run.serialText, versionText);
  if (!run.file.Write(fileHeader.data(), fileHeader.size())) WriteFailed(run);
  if (run.passEnd == PassEnd::Complete) ScanHeaders(run);
  result.usedBlocks = run.plan.usedBlocks;
  if (run.passEnd == PassEnd::Complete && state.abortFlag == 0) DownloadBlocks(run);
  result.piecesRead = run.piecesRead;

  view.Beep();
  Finish(run, result);
  return result;
}

void DownloadSession::ScanHeaders(Run& run) {
  DownloadState& state = setup_.view.state();
  int unreadInARow = 0;
  for (int block = 0; block < kBlockCount && state.abortFlag == 0; ++block) {
    BlockHeader header;
    const ReadEnd end = ReadWithAttempts(header.data(), kBlockHeaderSize, block, 0);
    if (end == ReadEnd::Read) {
      run.headers[block] = header;
      unreadInARow = 0;
    } else if (end == ReadEnd::Failed) {
      // The block is left out, as the download order says; the download
      // goes on with the others and cannot be called complete. A logger
      // that fails two headers running has stopped answering: asking on
      // through the rest would only keep the desk waiting.
      run.unreadHeaders.push_back(block);
      if (++unreadInARow == kUnreadHeadersToGiveUp) {
        setup_.view.prompts().Ask(kCaption, " Error reading from logger", PromptButtons::Ok, PromptIcon::None);
        run.passEnd = PassEnd::ReadError;
        run.failure = "the logger stopped answering at the header of block " + std::to_string(block);
        break;
      }
    }
  }
  run.plan = PlanDownload(run.headers);
  setup_.view.SetProgressRange(0, run.plan.usedBlocks * kPiecesPerBlock, 1);
  setup_.view.SetProgressPosition(0);
}

void DownloadSession::DownloadBlocks(Run& run) {
  DownloadView& view = setup_.view;
  DownloadState& state = view.state();
  Prompts& prompts = view.prompts();
  auto readError = [&](const std::string& where) {
    prompts.Ask(kCaption, " Error reading from logger", PromptButtons::Ok, PromptIcon::None);
    run.passEnd = PassEnd::ReadError;
    run.failure = "the logger stopped answering at " + where;
  };

  int blockCounter = 0;
  std::array<uint8_t, kPieceSize> piece;
  for (int block : run.plan.visitOrder) {
    if (state.abortFlag != 0 || run.passEnd != PassEnd::Complete) break;
    if (!run.headers[block]) continue;  // left out by the scan
    BlockHeader header;
    if (ReadWithAttempts(header.data(), kBlockHeaderSize, block, 0) != ReadEnd::Read) {
      if (state.abortFlag != 0) break;
      readError("the header of block " + std::to_string(block));
      break;
    }
    const BlockHeaderInfo info = ParseBlockHeader(header.data());
    if (!info.used()) continue;
    ++blockCounter;
    view.SetBlockCaption(BlockCaption(blockCounter, run.plan.usedBlocks));
    const int pieces = BlockFillBytes(info.fillMask) / kPieceSize;
    for (int k = 0; k < pieces && run.passEnd == PassEnd::Complete;) {
      view.ProcessPendingEvents();
      ReadEnd end = ReadEnd::Aborted;
      if (state.abortFlag == 0) end = ReadWithAttempts(piece.data(), kPieceSize, block, k * kPieceSize);
      if (end == ReadEnd::Aborted) {
        if (view.ConfirmCancel()) {
          run.passEnd = PassEnd::Cancelled;
          break;
        }
        state.abortFlag = 0;
        continue;  // the same piece again
      }
      if (end == ReadEnd::Failed) {
        readError("block " + std::to_string(block) + ", piece " + std::to_string(k + 1) + " of " +
                  std::to_string(pieces));
        break;
      }
      const int skip = k == 0 ? kBlockHeaderSize : 0;
      if (!run.file.Write(piece.data() + skip, piece.size() - skip)) {
        WriteFailed(run);
        break;
      }
      ++run.piecesRead;
      view.StepProgress();
      ++k;
    }
  }
}

void DownloadSession::WriteFailed(Run& run) {
  setup_.view.prompts().Ask(
      kCaption, "Cannot write file " + run.file.errorText() + ". The download is incomplete; what arrived is kept.",
      PromptButtons::Ok, PromptIcon::Error);
  run.passEnd = PassEnd::WriteError;
  run.failure = "can't write " + run.file.errorText();
}

void DownloadSession::Finish(Run& run, LoadLogResult& result) {
  DownloadView& view = setup_.view;
  DownloadState& state = view.state();

  if (state.abortFlag != 0) {
    run.file.Cancel();
    // The operator chose to stop: this logger is not asked again until
    // another one came or Force download.
    state.lastSerialText = run.serialText;
    state.abortFlag = 0;
    view.SetStatusText("Downloading aborted!");
    view.SetFileCaption("");
    result.end = LoadLogEnd::Aborted;
    return;
  }

  std::string reason = run.failure;
  if (reason.empty() && !run.unreadHeaders.empty()) {
    reason = "the logger did not give the header of block";
    if (run.unreadHeaders.size() > 1) reason += "s";
    for (size_t i = 0; i < run.unreadHeaders.size(); ++i) {
      reason += (i == 0 ? " " : ", ") + std::to_string(run.unreadHeaders[i]);
    }
    reason += "; a block may be missing";
  }
  if (reason.empty()) {
    if (run.file.CommitNew(NumberedNames(run.name, kRawFileExtension))) {
      state.lastSerialText = run.serialText;
      result.end = LoadLogEnd::Complete;
      result.path = run.file.finalPath();
      Decode(result.path, run.file.finalName(), "");
      return;
    }
    // The bytes may not all be on the disk: the file is not complete.
    reason = "can't finish " + run.file.errorText();
    run.passEnd = PassEnd::WriteError;
  }

  // Kept under a name that says so; only a complete download counts as this
  // logger's, so the next poll downloads it again.
  result.end = run.passEnd == PassEnd::WriteError ? LoadLogEnd::WriteError : LoadLogEnd::ReadError;
  result.incompleteReason = reason;
  std::string shown;
  if (run.file.CommitWritten(NumberedNames(IncompleteRawFileName(run.name), kRawFileExtension))) {
    result.path = run.file.finalPath();
    shown = run.file.finalName();
  } else {
    run.file.Keep();
    result.path = run.file.temporaryPath();
    shown = NameWithoutDirectory(result.path);
  }
  Decode(result.path, shown, "Download incomplete (" + reason + "): " + shown);
}

void DownloadSession::Decode(const std::string& path, const std::string& shownName, const std::string& notice) {
  DownloadView& view = setup_.view;
  view.SetStatusText(Printf("Decoding file : %s...", shownName));
  view.ResetSegmentsGrid();
  TimeBasis basis = setup_.basis;
  if (setup_.utcNow) basis = TimeBasisAt(setup_.utcNow(), basis._timezone);
  const DecodeResult decoded =
      DecodeRawFile(path, setup_.table, basis, [&view](int index, const TrackSegment& segment) {
        view.SetSegmentsRowCount(index + 2);
        view.SetSegmentsRow(index + 1, SegmentRowCells(index, segment));
      });
  if (decoded.segments.limitReached) {
    view.prompts().Ask(kCaption, "ERROR: TO MANY TRACKS", PromptButtons::Ok, PromptIcon::None);
  }
  std::string status = notice;
  if (!IdentifyDecodedLog()) status += (status.empty() ? "" : ". ") + NotInLoggersTableText(setup_.table.serialText);
  if (!status.empty()) view.SetStatusText(status);
  view.RestoreCursor();
  view.ShowProgress(false);
  view.ShowBlockCaption(false);
  view.SetFileCaption(NameWithoutDirectory(path));
}

bool DownloadSession::IdentifyDecodedLog() {
  // The decoded log's own serial and type, always: a box left from the log
  // before would put another logger's identity into the IGC file.
  const LoggerMatch match = setup_.lookup.FindLogger(setup_.table.serialText);
  setup_.view.SetIdentification(match.found ? match.competNo : std::string(),
                                match.found ? match.pilotNames : std::string(), setup_.table.serialText,
                                setup_.table.typeText);
  return match.found;
}

std::string NotInLoggersTableText(const std::string& serialText) {
  if (serialText.empty()) return "The log carries no serial number, so the loggers table names no pilot for it";
  return "Serial " + SafeDisplayText(serialText) + " is not in the loggers table";
}

}  // namespace orvald
