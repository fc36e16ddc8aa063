#include "export/igc_writer.h"

#include "export/flight_files.h"

namespace orvald {

IgcSaveResult WriteIgcFile(const TrackTable& table, const IgcSaveRequest& request) {
  return WriteFlightFiles(table, request, {}).igc;
}

}  // namespace orvald
