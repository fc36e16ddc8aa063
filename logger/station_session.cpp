#include "logger/station_session.h"

#include <ctime>

namespace orvald {

StationSession::StationSession(StationSetup setup, SessionView& view, Waiter& waiter)
    : name_(std::move(setup.name)),
      link_(std::move(setup.link)),
      commands_(*link_),
      session_(DownloadSessionSetup{
          .commands = commands_,
          .lookup = setup.lookup,
          .view = view,
          .table = table_,
          .dataDir = std::move(setup.dataDir),
          .basis = TimeBasisAt(std::time(nullptr), setup._timezone),
          .localNow = std::move(setup.localNow),
          // The year is taken at every decode: a station that runs over New
          // Year keeps accepting the fixes of the new one.
          .utcNow = [] { return std::time(nullptr); },
          .lastSerialText = std::move(setup.lastSerialText),
          .downloadRate = setup.downloadRate,
          .claims = setup.claims,
          .stationName = name_,
          .journal = std::move(setup.journal),
      }) {
  link_->SetWaiter(waiter);
}

}  // namespace orvald
