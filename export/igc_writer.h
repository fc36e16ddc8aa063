#pragma once
// Writes the selected run of segments of a decoded log as an IGC flight file.

#include <ctime>
#include <string>

#include "tracklog/track_table.h"

namespace orvald {

// Everything a save needs besides the table.
struct IgcSaveRequest {
  int firstSegment = -1;  // segment indices (grid row - 1); -1 means nothing selected
  int lastSegment = -1;
  std::string competNo;    // CompetNo box
  std::string pilotNames;  // PilotNames box
  std::string loggerSN;    // LoggerSN box
  std::string loggerType;  // LoggerType box
  std::string taskText;    // edManTask or the chosen WindowTask entry
  std::time_t now = 0;     // the clock reading for the transfer date and time
  long _timezone = 0;      // seconds west of UTC, as used by the decode
  std::string directory = ".";
};

enum class IgcSaveStatus { kSaved, kNothingSelected, kNoFreeName, kCannotCreate, kWriteFailed };

struct IgcSaveResult {
  IgcSaveStatus status = IgcSaveStatus::kNothingSelected;
  std::string fileName;  // final name, without the directory
  std::string error;     // operator-readable reason when not saved
  bool saved() const { return status == IgcSaveStatus::kSaved; }
};

IgcSaveResult WriteIgcFile(const TrackTable& table, const IgcSaveRequest& request);

}  // namespace orvald
