#include "logger/download_session.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <utility>

#include "files/file_writer.h"
#include "logger/identity.h"
#include "tracklog/decoder.h"
#include "tracklog/log_file.h"
#include "tracklog/raw_file_name.h"
#include "tracklog/raw_image.h"
#include "tracklog/safe_text.h"

namespace orvald {

namespace {

std::string Printf(const char* format, const std::string& text) {
  std::string out(std::strlen(format) + text.size() + 1, '\0');
  int n = std::snprintf(out.data(), out.size(), format, text.c_str());
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return out;
}


std::string JoinedNotice(const std::string& first, const std::string& second) {
  if (first.empty() || second.empty()) return first + second;
  return first + ". " + second;
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

// The line's waits sleep through the download's cancel, so the long ones
// end early once the operator asked to abort.
class CancellationWhileDownloading {
 public:
  CancellationWhileDownloading(LoggerCommands& commands, Cancellation& cancel) : commands_(commands) {
    commands_.SetCancellation(&cancel);
  }
  ~CancellationWhileDownloading() { commands_.SetCancellation(nullptr); }

 private:
  LoggerCommands& commands_;
};

// The view goes back to idle on every way out of the session.
class ViewIdleOnExit {
 public:
  explicit ViewIdleOnExit(SessionView& view) : view_(view) {}
  ~ViewIdleOnExit() { view_.Ended(); }

 private:
  SessionView& view_;
};

}  // namespace

// One download from the identity on.
struct DownloadSession::Run {
  // Who the logger said it was when the download began; asked again after
  // any failed read or reopen, and compared.
  LoggerIdentity identity;
  // A read failed or the port was opened again since the logger last said
  // who it is: no bytes are taken until it has said so again.
  bool loggerInDoubt = false;
  int lineOpens = 0;        // the port's opens when the logger last said who it is
  std::string otherLogger;  // who answered instead, once another logger did
  std::string foundAt;      // "Found X at 57600 bit/s" when not at the detection rate
  std::string name;  // the file name a complete download gets
  FileWriter file;
  std::array<std::optional<BlockHeader>, kBlockCount> headers{};
  std::vector<int> unreadHeaders;
  DownloadPlan plan;
  PassEnd passEnd = PassEnd::kComplete;
  std::string failure;  // why the pass ended early
  int piecesRead = 0;
  int sharedPercent = -1;  // the share last told to the view
};

std::tm SystemLocalTime() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

DownloadSession::DownloadSession(DownloadSessionSetup setup)
    : setup_(std::move(setup)), lastSerialText_(setup_.lastSerialText) {
  // The share of the download is the cancel's progress; the view listens.
  cancel_.SetProgressListener([this](int percent) { setup_.view.Share(percent); });
}

uint32_t DownloadSession::DetectLogger() {
  LoggerCommands& commands = setup_.commands;
  foundAtRate_ = 0;
  if (commands.ProbeLogger() != 0) {
    foundAtRate_ = kDetectionRate;
  } else if (commands.LineProblem().empty()) {
    for (const uint32_t rate : {kDownloadRate, kFastDownloadRate}) {
      if (commands.ProbeLoggerAt(rate) != 0) {
        foundAtRate_ = rate;
        break;
      }
    }
  }
  // An empty port (or one that is gone) means the logger was unplugged: when
  // it comes back it is downloaded again, with the next flight on it.
  if (foundAtRate_ == 0) lastSerialText_.clear();
  return foundAtRate_;
}

bool DownloadSession::PollOnce() {
  lastCycleFoundLogger_ = DetectLogger() != 0;
  if (lastCycleFoundLogger_) {
    lastResult_ = LoadLog("");
  } else {
    // A port that cannot be opened says why; a port with nothing on it is
    // simply no logger.
    setup_.view.Waiting(setup_.commands.LineProblem());
  }
  return lastCycleFoundLogger_;
}

LoadLogResult DownloadSession::LoadLog(const std::string& fileName) {
  ViewIdleOnExit idle(setup_.view);
  if (fileName.empty()) {
    LoadLogResult result = Download();
    setup_.view.Finished(result);
    return result;
  }
  LoadLogResult result;
  result.end = LoadLogEnd::kOpened;
  result.path = fileName;
  result.decode = Decode(fileName, fileName, "");
  return result;
}

std::string DownloadSession::QueryWithAttempts(const std::function<std::string()>& query) {
  // One lost reply must not give an empty serial or type; a logger that
  // never answers gives an empty text after the same attempts as any read.
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    std::string text = query();
    if (!text.empty()) return text;
    if (cancel_.requested()) break;
  }
  return {};
}

DownloadSession::SameLogger DownloadSession::CheckSameLogger(Run& run) {
  LoggerCommands& commands = setup_.commands;
  // With the attempts of any read: on a noisy line one lost answer must not
  // end a download that the check was only meant to keep honest.
  const std::string serialText = QueryWithAttempts([&] { return commands.QueryIdentity(); });
  if (serialText.empty()) return SameLogger::kNoAnswer;
  if (serialText != run.identity.serialText) {
    run.otherLogger = serialText;
    return SameLogger::kOther;
  }
  if (!run.identity.versionText.empty()) {
    const std::string versionText = QueryWithAttempts([&] { return commands.QueryVersion(); });
    if (versionText.empty()) return SameLogger::kNoAnswer;
    if (versionText != run.identity.versionText) {
      run.otherLogger = serialText + " (version " + versionText + ")";
      return SameLogger::kOther;
    }
  }
  run.loggerInDoubt = false;
  run.lineOpens = commands.LineOpens();
  return SameLogger::kSame;
}

DownloadSession::ReadEnd DownloadSession::ReadWithAttempts(Run& run, uint8_t* destination, int count, int block,
                                                           int offset) {
  LoggerCommands& commands = setup_.commands;
  // A cable pulled and another logger plugged in within a second or two
  // shows only as a failed read, or as a port that was opened again: after
  // either, the bytes that come are taken only once the logger has said it
  // is still the one this file is named after.
  auto noteReopen = [&] {
    if (commands.LineOpens() != run.lineOpens) run.loggerInDoubt = true;
  };
  // kRead when no doubt is left; otherwise how the read ends.
  auto settleDoubt = [&] {
    if (!run.loggerInDoubt) return ReadEnd::kRead;
    switch (CheckSameLogger(run)) {
      case SameLogger::kSame: return ReadEnd::kRead;
      case SameLogger::kOther: return ReadEnd::kOtherLogger;
      case SameLogger::kNoAnswer: break;  // nobody says who is there: no read can be taken now
    }
    return cancel_.requested() ? ReadEnd::kAborted : ReadEnd::kFailed;
  };
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    // Looked at between attempts, so an abort is seen within one reply limit.
    if (attempt > 0 && cancel_.requested()) return ReadEnd::kAborted;
    noteReopen();
    if (const ReadEnd before = settleDoubt(); before != ReadEnd::kRead) return before;
    const MemoryRead read = commands.ReadLoggerMemory(destination, count, block, offset);
    noteReopen();
    // Still in doubt only when the port was opened again during this read.
    if (read.count == count) return settleDoubt();
    switch (read.status) {
      case LineStatus::kCancelled:
        // The abort key or a stop cut the wait short: nothing is wrong with
        // the line or the logger, and another attempt would only be cut too.
        return ReadEnd::kAborted;
      case LineStatus::kHangUp:
      case LineStatus::kIoError:
        // The line went away under the read: the next attempt opens the port
        // again, and whoever answers there must first say who it is.
        run.loggerInDoubt = true;
        break;
      case LineStatus::kTimeout:
      case LineStatus::kProtocolError:
      case LineStatus::kRefused:
      case LineStatus::kOk:
        // No answer, or not this read's (a cable pulled on the serial side
        // of an adapter shows only so): the reply may still be on its way,
        // or another logger may be there now.
        run.loggerInDoubt = true;
        break;
    }
  }
  return ReadEnd::kFailed;
}

void DownloadSession::OtherLoggerAnswered(Run& run) {
  run.passEnd = PassEnd::kOtherLogger;
  // A logger whose serial came only now may be the same one; either way the
  // file cannot be said to hold one logger's memory.
  run.failure = run.identity.serialText.empty() ? "the logger gave its serial number (" + run.otherLogger +
                                             ") only after the download had begun"
                                       : "another logger answered: " + run.otherLogger;
}

void DownloadSession::ReportOnce(const std::string& cause, const std::string& text, PromptIcon icon) {
  // While the cause lasts, the status bar still says it and nothing else
  // is shown, so a full disk pops up no box at every poll.
  if (cause == lastReportedCause_) return;
  lastReportedCause_ = cause;
  setup_.view.Status(text);
  setup_.view.Report(text, icon);
}

void DownloadSession::FolderFailed(const std::string& cause, const std::string& text, uint64_t neededBytes) {
  ReportOnce(cause, text, PromptIcon::kError);
  // A full disk would fail the same long download again at every poll.
  folderFailure_ = FolderFailure{setup_.dataDir, text, std::max(kFolderRoomFloor, neededBytes)};
}

bool DownloadSession::FolderStillUnusable(LoadLogResult& result) {
  if (!folderFailure_) return false;
  std::string problem;
  if (folderFailure_->folder == setup_.dataDir && setup_.folderCheck) {
    problem = setup_.folderCheck(setup_.dataDir, folderFailure_->neededBytes);
  }
  if (problem.empty()) {
    folderFailure_.reset();
    return false;
  }
  // The box was shown when the folder failed; the status bar keeps saying it.
  setup_.view.Status(folderFailure_->text);
  result.end = LoadLogEnd::kFolderUnusable;
  result.reason = "the data folder is unusable (" + problem + "); the logger is downloaded once it is fixed or changed";
  return true;
}

void DownloadSession::SetDataFolder(const std::string& dataDir) {
  setup_.dataDir = dataDir;
  if (setup_.journal) setup_.journal = DayJournal(dataDir, setup_.utcNow);
  folderFailure_.reset();
  // Another folder's failure is news even when its cause is the same.
  lastReportedCause_.clear();
}

LoadLogResult DownloadSession::Download() {
  SessionView& view = setup_.view;
  LoggerCommands& commands = setup_.commands;
  LoadLogResult result;
  // Before the logger is asked anything: a folder that cannot take the file
  // costs the desk no download.
  if (FolderStillUnusable(result)) return result;

  DetectionRateOnExit detectionRate(commands);
  CancellationWhileDownloading cancelWaits(commands, cancel_);
  if (!SwitchToDownloadRate()) {
    // Going on at a rate the logger may not be at would make a file of
    // nothing; the logger goes back to the detection rate and is asked again.
    result.end = LoadLogEnd::kNoRate;
    view.Status(NothingDoneText(result));
    return result;
  }
  Run run;
  // A key pressed while nothing ran is not meant for this download.
  cancel_.Withdraw();
  run.identity.serialText = QueryWithAttempts([&] { return commands.QueryIdentity(); });
  run.lineOpens = commands.LineOpens();
  if (cancel_.requested()) {
    // An Escape meant for a menu or a box can land in a poll's question: it
    // ends the poll, never a download that has not begun. Going on would
    // make a file of a logger that was not asked who it is, and it would
    // take the place of the flight on show.
    cancel_.Withdraw();
    result.end = LoadLogEnd::kNotBegun;
    return result;
  }
  result.serialText = run.identity.serialText;
  // A logger that gave no serial is never taken for the one downloaded last.
  if (!run.identity.serialText.empty() && run.identity.serialText == lastSerialText_) {
    result.end = LoadLogEnd::kSameLogger;
    return result;
  }
  if (foundAtRate_ != 0 && foundAtRate_ != kDetectionRate) {
    // Said now and again with the decode, so it stays in the status bar.
    run.foundAt =
        "Found " + SafeDisplayText(run.identity.serialText) + " at " + std::to_string(foundAtRate_) + " bit/s";
    view.Status(run.foundAt);
  }
  LoggerClaim claim;
  std::string holder;
  if (!claim.Take(setup_.claims, run.identity.serialText, setup_.stationName, &holder)) {
    result.end = LoadLogEnd::kBusyElsewhere;
    result.heldBy = holder;
    view.Status(NothingDoneText(result));
    return result;
  }

  run.name = RawFileName(run.identity.serialText, setup_.localNow());
  if (!run.file.Begin(setup_.dataDir, run.name + ".part")) {
    // Saying nothing here would lose this pilot's log for good; the logger
    // does not count as downloaded, so the next poll tries again.
    FolderFailed("create " + std::to_string(run.file.errorNumber()), "Can't create file " + run.file.errorText(),
                 kFolderRoomFloor);
    result.end = LoadLogEnd::kCannotCreate;
    result.reason = "can't create " + run.file.errorText();
    return result;
  }
  result.path = run.file.temporaryPath();

  run.identity =
      MakeLoggerIdentity(run.identity.serialText, QueryWithAttempts([&] { return commands.QueryVersion(); }));
  const FileHeader fileHeader = BuildFileHeader(run.identity.serialText, run.identity.versionText);
  if (!run.file.Write(fileHeader.data(), fileHeader.size())) {
    // Not even the header fits (a full disk): no download has begun, and a
    // disk still full at the next poll costs the desk no new lines.
    WriteFailed(run);
    Finish(run, result);
    return result;
  }
  view.Started({run.identity.serialText, run.name});
  ScanHeaders(run);
  result.usedBlocks = run.plan.usedBlocks;
  if (run.passEnd == PassEnd::kComplete && !cancel_.requested()) DownloadBlocks(run);
  result.piecesRead = run.piecesRead;

  view.DownloadEnded();
  Finish(run, result);
  return result;
}

bool DownloadSession::SwitchToDownloadRate() {
  LoggerCommands& commands = setup_.commands;
  const uint32_t wanted = setup_.downloadRate;
  if (commands.SetLoggerRate(wanted) == wanted) return true;
  if (wanted != kDownloadRate) {
    // The usual switch from wherever the line and the logger are now; its
    // first request goes out at the faster rate, so a logger that did switch
    // but whose confirmation was lost hears it too.
    setup_.view.Status("The logger did not confirm " + std::to_string(wanted) + " bit/s; downloading at " +
                       std::to_string(kDownloadRate) + " bit/s");
  }
  // A request lost on the way is not yet a logger that cannot switch.
  for (int attempt = 0; attempt < kRateRounds; ++attempt) {
    if (commands.SetLoggerRate(kDownloadRate) == kDownloadRate) return true;
    if (cancel_.requested()) break;
  }
  return false;
}

void DownloadSession::ScanHeaders(Run& run) {
  int unreadInARow = 0;
  for (int block = 0; block < kBlockCount && !cancel_.requested(); ++block) {
    BlockHeader header;
    const ReadEnd end = ReadWithAttempts(run, header.data(), kBlockHeaderSize, block, 0);
    if (end == ReadEnd::kOtherLogger) {
      OtherLoggerAnswered(run);
      break;
    }
    if (end == ReadEnd::kRead) {
      run.headers[block] = header;
      unreadInARow = 0;
    } else if (end == ReadEnd::kFailed) {
      // The block is left out, as the download order says; the download
      // goes on with the others and cannot be called complete. A logger
      // that fails two headers running has stopped answering: asking on
      // through the rest would only keep the desk waiting.
      run.unreadHeaders.push_back(block);
      if (++unreadInARow == kUnreadHeadersToGiveUp) {
        setup_.view.Report(" Error reading from logger", PromptIcon::kNone);
        run.passEnd = PassEnd::kReadError;
        run.failure = "the logger stopped answering at the header of block " + std::to_string(block);
        break;
      }
    }
  }
  run.plan = PlanDownload(run.headers);
  setup_.view.Progress(0, run.plan.usedBlocks * kPiecesPerBlock);
}

void DownloadSession::DownloadBlocks(Run& run) {
  SessionView& view = setup_.view;
  const int totalPieces = run.plan.usedBlocks * kPiecesPerBlock;
  auto readError = [&](const std::string& where) {
    view.Report(" Error reading from logger", PromptIcon::kNone);
    run.passEnd = PassEnd::kReadError;
    run.failure = "the logger stopped answering at " + where;
  };

  int blockCounter = 0;
  std::array<uint8_t, kPieceSize> piece;
  for (int block : run.plan.visitOrder) {
    if (cancel_.requested() || run.passEnd != PassEnd::kComplete) break;
    if (!run.headers[block]) continue;  // left out by the scan
    BlockHeader header;
    const ReadEnd headerEnd = ReadWithAttempts(run, header.data(), kBlockHeaderSize, block, 0);
    if (headerEnd == ReadEnd::kOtherLogger) {
      OtherLoggerAnswered(run);
      break;
    }
    if (headerEnd != ReadEnd::kRead) {
      if (cancel_.requested()) break;
      readError("the header of block " + std::to_string(block));
      break;
    }
    if (header != *run.headers[block]) {
      // The memory the scan planned from is not the memory answering now.
      const SameLogger same = CheckSameLogger(run);
      if (same == SameLogger::kOther) {
        OtherLoggerAnswered(run);
      } else if (same == SameLogger::kNoAnswer) {
        readError("the header of block " + std::to_string(block));
      } else {
        run.passEnd = PassEnd::kReadError;
        run.failure = "the header of block " + std::to_string(block) + " changed during the download";
      }
      break;
    }
    const BlockHeaderInfo info = ParseBlockHeader(header.data());
    if (!info.used()) continue;
    ++blockCounter;
    view.BlockStarted(blockCounter, run.plan.usedBlocks);
    const int pieces = BlockFillBytes(info.fillMask) / kPieceSize;
    for (int k = 0; k < pieces && run.passEnd == PassEnd::kComplete;) {
      view.KeepResponsive();
      ReadEnd end = ReadEnd::kAborted;
      if (!cancel_.requested()) end = ReadWithAttempts(run, piece.data(), kPieceSize, block, k * kPieceSize);
      if (end == ReadEnd::kOtherLogger) {
        OtherLoggerAnswered(run);
        break;
      }
      if (end == ReadEnd::kAborted) {
        if (view.ConfirmCancel()) {
          run.passEnd = PassEnd::kCancelled;
          break;
        }
        cancel_.Withdraw();
        continue;  // the same piece again
      }
      if (end == ReadEnd::kFailed) {
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
      view.Progress(run.piecesRead, totalPieces);
      ShareOf(run);
      ++k;
    }
  }
}

void DownloadSession::ShareOf(Run& run) {
  if (run.plan.pieces <= 0) return;
  const int percent = static_cast<int>(std::min<int64_t>(100, int64_t{run.piecesRead} * 100 / run.plan.pieces));
  if (percent == run.sharedPercent) return;
  run.sharedPercent = percent;
  cancel_.Progress(percent);
}

void DownloadSession::WriteFailed(Run& run) {
  run.passEnd = PassEnd::kWriteError;
  run.failure = "can't write " + run.file.errorText();
}

void DownloadSession::Finish(Run& run, LoadLogResult& result) {
  SessionView& view = setup_.view;

  if (cancel_.keepsWhatArrived() && run.piecesRead > 0) {
    // Stopped from outside (a station removed): what arrived is kept as a
    // pulled cable's would be, below.
    cancel_.Withdraw();
    run.passEnd = PassEnd::kReadError;
    run.failure = "the station was stopped before the end";
  }
  if (cancel_.requested()) {
    run.file.Cancel();
    // The operator chose to stop: this logger is not asked again until
    // another one came or Force download.
    lastSerialText_ = run.identity.serialText;
    cancel_.Withdraw();
    view.Status("Downloading aborted!");
    view.LogShown("");
    result.end = LoadLogEnd::kAborted;
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
  // Without them the file cannot say whose it is or what wrote it.
  if (reason.empty() && run.identity.serialText.empty()) reason = "the logger gave no serial number";
  if (reason.empty() && run.identity.versionText.empty()) reason = "the logger gave no version";
  if (reason.empty()) {
    if (run.file.CommitNew(NumberedNames(run.name, kRawFileExtension))) {
      lastSerialText_ = run.identity.serialText;
      lastReportedCause_.clear();
      result.end = LoadLogEnd::kComplete;
      result.path = run.file.finalPath();
      const std::string unjournalled = JournalRawFile(kEventDownload, result.path, run.identity.serialText);
      result.decode = Decode(result.path, run.file.finalName(), JoinedNotice(run.foundAt, unjournalled));
      return;
    }
    // The bytes may not all be on the disk: the file is not complete.
    reason = "can't finish " + run.file.errorText();
    run.passEnd = PassEnd::kWriteError;
  }

  if (run.passEnd == PassEnd::kWriteError) {
    const uint64_t planned = kFileHeaderSize + uint64_t{static_cast<uint64_t>(run.plan.pieces)} * kPieceSize;
    if (run.piecesRead == 0) {
      // Nothing of the flight is on the disk: no file, and the logger is
      // downloaded again once the folder can be written.
      run.file.Cancel();
      FolderFailed("write " + std::to_string(run.file.errorNumber()),
                   "Can't write file " + run.file.errorText() +
                       ". Nothing was kept; the logger is downloaded again once the data folder can take it.",
                   planned);
      result.end = LoadLogEnd::kCannotCreate;
      result.path.clear();
      result.reason = reason;
      return;
    }
    FolderFailed("write " + std::to_string(run.file.errorNumber()),
                 "Can't write file " + run.file.errorText() + ". The download is incomplete; what arrived is kept.",
                 planned);
  }

  // Kept under a name that says so; only a complete download counts as this
  // logger's, so the next poll downloads it again.
  result.end = run.passEnd == PassEnd::kWriteError     ? LoadLogEnd::kWriteError
               : run.passEnd == PassEnd::kOtherLogger ? LoadLogEnd::kOtherLogger
                                                      : LoadLogEnd::kReadError;
  result.reason = reason;
  std::string notice;
  if (run.file.CommitWritten(NumberedNames(IncompleteRawFileName(run.name), kRawFileExtension))) {
    result.path = run.file.finalPath();
    notice = "Download incomplete (" + reason + "): " + run.file.finalName();
  } else {
    const std::string whyUnnamed = run.file.errorText();
    run.file.Keep();
    result.path = run.file.temporaryPath();
    notice = "Download incomplete (" + reason + "); it could not be named (" + whyUnnamed + ") and is kept as " +
             NameWithoutDirectory(result.path);
  }
  const std::string fullNotice = run.foundAt.empty() ? notice : run.foundAt + ". " + notice;
  const std::string unjournalled = JournalRawFile(kEventIncomplete, result.path, run.identity.serialText);
  result.decode = Decode(result.path, NameWithoutDirectory(result.path), JoinedNotice(fullNotice, unjournalled));
}

std::string DownloadSession::JournalRawFile(const char* event, const std::string& path,
                                            const std::string& serialText) {
  if (!setup_.journal) return {};
  const LoggerMatch match = setup_.lookup.FindLogger(serialText);
  JournalEntry entry;
  entry.event = event;
  entry.port = setup_.stationName;
  entry.serial = serialText;
  if (match.found) {
    entry.competNo = match.competNo;
    entry.pilot = match.pilotNames;
  }
  const JournalAppendResult appended = setup_.journal->Record(entry, path);
  if (appended.ok) return {};
  return "The journal could not be written (" + appended.error.Text() + ")";
}

namespace {

// The decoded log's own serial and type, always: a box left from the log
// before would put another logger's identity into the IGC file.
LoggerMatch IdentifyLog(const DownloadSessionSetup& setup) {
  const LoggerMatch match = setup.lookup.FindLogger(setup.table.serialText);
  setup.view.Identified({match.found ? match.competNo : std::string(), match.found ? match.pilotNames : std::string(),
                         setup.table.serialText, setup.table.typeText});
  return match;
}

}  // namespace

DecodeResult DownloadSession::Decode(const std::string& path, const std::string& shownName,
                                     const std::string& notice) {
  SessionView& view = setup_.view;
  view.Status(Printf("Decoding file : %s...", shownName));
  view.SegmentsCleared();
  TimeBasis basis = setup_.basis;
  if (setup_.utcNow) basis = TimeBasisAt(setup_.utcNow(), basis._timezone);
  const DecodeResult decoded = DecodeLogFile(
      path, setup_.table, basis, [&view](int index, const TrackSegment& segment) { view.SegmentDecoded(index, segment); });
  if (decoded.segments.limitReached) view.Report("ERROR: TO MANY TRACKS", PromptIcon::kNone);
  std::string status = notice;
  const std::string warning = DecodeWarningText(shownName, decoded);
  if (!warning.empty()) status += (status.empty() ? "" : ". ") + warning;
  const LoggerMatch match = IdentifyLog(setup_);
  // A file that did not decode has no serial: why it is empty is the whole story.
  if (!match.found && decoded.ok()) status += (status.empty() ? "" : ". ") + NotInLoggersTableText(setup_.table.serialText);
  // Two rows for one logger is a mistake in the table that the desk must see.
  const std::string rows = SeveralRowsText(setup_.table.serialText, match);
  if (!rows.empty()) status += (status.empty() ? "" : ". ") + rows;
  if (!status.empty()) view.Status(status);
  view.LogShown(NameWithoutDirectory(path));
  return decoded;
}

bool DownloadSession::IdentifyDecodedLog() { return IdentifyLog(setup_).found; }

std::string NotInLoggersTableText(const std::string& serialText) {
  if (serialText.empty()) return "The log carries no serial number, so the loggers table names no pilot for it";
  return "Serial " + SafeDisplayText(serialText) + " is not in the loggers table";
}

}  // namespace orvald
