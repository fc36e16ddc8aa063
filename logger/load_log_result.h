#pragma once
// What a LoadLog call came to, as the session tells its view and returns to
// its caller: enough for every caller (the window, the stations' rows, the
// command line) to act on without parsing a message or a file name.

#include <string>

#include "tracklog/decoder.h"

namespace orvald {

enum class LoadLogEnd {
  kSameLogger,        // serial text equal to the last one downloaded: nothing done
  kNotBegun,          // the abort key came while the logger was asked who it is: nothing done,
                      // nothing shown changed, asked again at the next poll
  kBusyElsewhere,     // another station is downloading this logger: nothing done
  kNoRate,            // the logger confirmed no download rate: nothing made, tried again at the next poll
  kCannotCreate,      // the raw file could not be made, or nothing could be written to it: reported,
                      // nothing kept, the logger is tried again
  kFolderUnusable,    // the data folder failed before and its check still fails: the logger was not
                      // read, nothing made, no new box; tried again once the folder passes or is changed
  kAborted,           // Escape confirmed: file deleted, table untouched
  kComplete,          // every used block arrived; decoded
  kReadError,         // the logger stopped answering (a header or piece failed 4 times), or gave no
                      // serial or version: kept as incomplete, decoded
  kOtherLogger,       // another logger answered after a failed read or a reopen: kept as incomplete, decoded
  kWriteError,        // writing the file failed: what was written kept as incomplete, decoded
  kOpened,            // a saved file was decoded (File > Open)
};

struct LoadLogResult {
  LoadLogEnd end = LoadLogEnd::kSameLogger;
  std::string serialText;  // the logger's, as it said it when the download began; empty before that
  std::string path;        // the file decoded or deleted, with the data directory; empty before the file
  // Why the download did not complete (the incomplete ends, and kCannotCreate); empty when it did.
  std::string reason;
  std::string heldBy;  // kBusyElsewhere: the station downloading the logger
  int piecesRead = 0;
  int usedBlocks = 0;
  DecodeResult decode;  // how the file decoded into the session's table, once it was
  bool incomplete() const {
    return end == LoadLogEnd::kReadError || end == LoadLogEnd::kWriteError || end == LoadLogEnd::kOtherLogger;
  }
  // A file of the logger's bytes was kept (complete or not) and decoded.
  bool keptFile() const { return end == LoadLogEnd::kComplete || incomplete(); }
};

}  // namespace orvald
