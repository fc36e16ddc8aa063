#include "logger/download_session.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "logger/raw_file_writer.h"
#include "tracklog/decoder.h"
#include "tracklog/grid_text.h"
#include "tracklog/log_file.h"
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

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return (std::filesystem::path(dir) / name).string();
}

std::string NameWithoutDirectory(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

// One read with the attempts every header and piece is given; a short or
// failed reply counts as a failed attempt.
bool ReadWithAttempts(LoggerCommands& commands, uint8_t* destination, int count, int block, int offset) {
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    if (commands.ReadLoggerMemory(destination, count, block, offset) == count) return true;
  }
  return false;
}

// How the block loop ended, before the abort flag is looked at.
enum class PassEnd { Complete, ReadError, WriteError, Cancelled };

}  // namespace

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
    view.SetStatusText("No logger found to download");
  }
  view.StartDetectionTimer(kDetectionIntervalMs);
}

LoadLogResult DownloadSession::LoadLog(const std::string& fileName) {
  DownloadView& view = setup_.view;
  DownloadState& state = view.state();
  LoggerCommands& commands = setup_.commands;
  Prompts& prompts = view.prompts();
  LoadLogResult result;

  view.RememberCursor();
  if (!fileName.empty()) {
    result.end = LoadLogEnd::Opened;
    result.path = fileName;
    Decode(fileName, fileName);
    return result;
  }

  commands.SetLoggerRate(kDownloadRate);
  const std::string serialText = commands.QueryIdentity();
  if (serialText == state.lastSerialText) {
    // Left at the download rate, the logger would not hear the next probe at
    // 9600 and could never be found again, not even after Force download.
    commands.SetLoggerRate(kDetectionRate);
    result.end = LoadLogEnd::SameLogger;
    return result;
  }
  const std::string previousSerialText = state.lastSerialText;
  state.lastSerialText = serialText;

  const std::string name = RawFileName(serialText, setup_.localNow());
  const std::string path = JoinPath(setup_.dataDir, name);
  result.path = path;

  if (FileExists(path)) {
    PromptAnswer answer = prompts.Ask(kCaption, Printf("File %s exists. Overwrite?", name),
                                      PromptButtons::YesNo, PromptIcon::Question);
    if (answer != PromptAnswer::Yes) {
      commands.SetLoggerRate(kDetectionRate);
      result.end = LoadLogEnd::OverwriteDeclined;
      return result;
    }
  }

  view.SetHourglassCursor();
  RawFileWriter writer;
  if (!writer.Create(path)) {
    // Saying nothing here would lose this pilot's log for good; keeping the
    // previous serial text lets the next poll try again, and the logger goes
    // back to 9600 so that the next probe reaches it.
    view.RestoreCursor();
    state.lastSerialText = previousSerialText;
    commands.SetLoggerRate(kDetectionRate);
    prompts.Ask(kCaption,
                "Cannot create file " + writer.partPath() + ": " + std::strerror(writer.errorNumber()),
                PromptButtons::Ok, PromptIcon::Error);
    result.end = LoadLogEnd::CannotCreate;
    return result;
  }

  view.ShowProgress(true);
  view.SetBlockCaption("");
  view.ShowBlockCaption(true);
  view.SetFileCaption(Printf("Loading: %s", name));
  view.SetStatusText("Press ESC to abort downloading");
  state.abortFlag = 0;

  PassEnd passEnd = PassEnd::Complete;
  auto readError = [&] {
    prompts.Ask(kCaption, " Error reading from logger", PromptButtons::Ok, PromptIcon::None);
    passEnd = PassEnd::ReadError;
  };
  auto writeError = [&] {
    prompts.Ask(kCaption,
                "Cannot write file " + writer.partPath() + ": " + std::strerror(writer.errorNumber()) +
                    ". The download is incomplete; what arrived is kept in " +
                    NameWithoutDirectory(writer.partPath()) + ".",
                PromptButtons::Ok, PromptIcon::Error);
    passEnd = PassEnd::WriteError;
  };

  const std::string versionText = commands.QueryVersion();
  const FileHeader fileHeader = BuildFileHeader(serialText, versionText);
  if (!writer.Write(fileHeader.data(), fileHeader.size())) writeError();

  // Header scan. An unreadable header would silently leave a whole block of
  // flight out, so it ends the download like an unreadable piece does.
  std::array<std::optional<BlockHeader>, kBlockCount> headers{};
  for (int block = 0; block < kBlockCount && state.abortFlag == 0 && passEnd == PassEnd::Complete; ++block) {
    BlockHeader header;
    if (ReadWithAttempts(commands, header.data(), kBlockHeaderSize, block, 0)) {
      headers[block] = header;
    } else {
      readError();
    }
  }
  const DownloadPlan plan = PlanDownload(headers);
  result.usedBlocks = plan.usedBlocks;

  view.SetProgressRange(0, plan.usedBlocks * kPiecesPerBlock, 1);
  view.SetProgressPosition(0);

  int blockCounter = 0;
  std::array<uint8_t, kPieceSize> piece;
  for (int block : plan.visitOrder) {
    if (state.abortFlag != 0 || passEnd != PassEnd::Complete) break;
    BlockHeader header;
    if (!ReadWithAttempts(commands, header.data(), kBlockHeaderSize, block, 0)) {
      readError();
      break;
    }
    const BlockHeaderInfo info = ParseBlockHeader(header.data());
    if (info.used()) {
      ++blockCounter;
      view.SetBlockCaption(BlockCaption(blockCounter, plan.usedBlocks));
      const int pieces = BlockFillBytes(info.fillMask) / kPieceSize;
      for (int k = 0; k < pieces; ++k) {
        view.ProcessPendingEvents();
        if (state.abortFlag != 0) {
          PromptAnswer answer =
              prompts.Ask(kCaption, " Cancel downloading?", PromptButtons::YesNo, PromptIcon::Question);
          if (answer == PromptAnswer::Yes) {
            passEnd = PassEnd::Cancelled;
            break;
          }
          state.abortFlag = 0;
        }
        if (!ReadWithAttempts(commands, piece.data(), kPieceSize, block, k * kPieceSize)) {
          readError();
          break;
        }
        const int skip = k == 0 ? kBlockHeaderSize : 0;
        if (!writer.Write(piece.data() + skip, piece.size() - skip)) {
          writeError();
          break;
        }
        ++result.piecesRead;
        view.StepProgress();
      }
    }
  }

  // End of the download, whichever way it went.
  view.Beep();
  const bool aborted = state.abortFlag != 0;
  if (aborted) {
    writer.Discard();
  } else if (passEnd == PassEnd::WriteError) {
    writer.CloseKeepingPart();
  } else if (!writer.Finish()) {
    writeError();
  }
  commands.SetLoggerRate(kDetectionRate);

  if (aborted) {
    state.abortFlag = 0;
    view.SetStatusText("Downloading aborted!");
    view.RestoreCursor();
    view.ShowProgress(false);
    view.ShowBlockCaption(false);
    view.SetFileCaption("");
    result.end = LoadLogEnd::Aborted;
    return result;
  }

  if (passEnd == PassEnd::WriteError) {
    result.end = LoadLogEnd::WriteError;
    result.path = writer.partPath();
    Decode(writer.partPath(), NameWithoutDirectory(writer.partPath()));
    view.SetStatusText("Download incomplete: " + NameWithoutDirectory(writer.partPath()));
    return result;
  }
  result.end = passEnd == PassEnd::ReadError ? LoadLogEnd::ReadError : LoadLogEnd::Complete;
  Decode(path, name);
  return result;
}

void DownloadSession::Decode(const std::string& path, const std::string& shownName) {
  DownloadView& view = setup_.view;
  view.SetStatusText(Printf("Decoding file : %s...", shownName));
  view.ResetSegmentsGrid();
  const DecodeResult decoded =
      DecodeLogFile(path, setup_.table, setup_.basis, [&view](int index, const TrackSegment& segment) {
        view.SetSegmentsRowCount(index + 2);
        view.SetSegmentsRow(index + 1, SegmentRowCells(index, segment));
      });
  if (decoded.segments.limitReached) {
    view.prompts().Ask(kCaption, "ERROR: TO MANY TRACKS", PromptButtons::Ok, PromptIcon::None);
  } else {
    const LoggerMatch match = setup_.lookup.FindLogger(setup_.table.serialText);
    if (match.found) {
      view.SetIdentification(match.competNo, match.pilotNames, setup_.table.serialText, setup_.table.typeText);
    }
  }
  view.RestoreCursor();
  view.ShowProgress(false);
  view.ShowBlockCaption(false);
  view.SetFileCaption(NameWithoutDirectory(path));
}

}  // namespace orvald
