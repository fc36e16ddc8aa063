#pragma once
// Saving a selection as the IGC file and, on request, a KML and a GPX file
// beside it, named like it: 12T3V1_Pilot_One.igc, .kml, .gpx.

#include <string>
#include <vector>

#include "export/igc_writer.h"
#include "tracklog/track_table.h"

namespace orvald {

struct CompanionFormats {
  bool kml = false;
  bool gpx = false;
};

struct FlightFilesResult {
  IgcSaveResult igc;
  std::vector<std::string> companions;  // names written beside the IGC file, KML first
  std::string companionError;           // why a companion was not written; empty when all were
};

// The version is the first whose IGC name and companion names are all free,
// so the three files of one save always share their name. Each file is
// written whole or not at all (FileWriter); companions only after the IGC
// file was saved.
FlightFilesResult WriteFlightFiles(const TrackTable& table, const IgcSaveRequest& request, CompanionFormats formats);

// "NAME.igc" -> "NAME.<extension>".
std::string CompanionFileName(const std::string& igcFileName, const std::string& extension);

}  // namespace orvald
