#include "export/igc_writer.h"

#include <vector>

#include "export/igc_text.h"
#include "export/new_file.h"

namespace orvald {
namespace {

IgcSaveStatus SaveStatusOf(NewFileStatus status) {
  switch (status) {
    case NewFileStatus::Written: return IgcSaveStatus::Saved;
    case NewFileStatus::NoFreeName: return IgcSaveStatus::NoFreeName;
    case NewFileStatus::CannotCreate: return IgcSaveStatus::CannotCreate;
    case NewFileStatus::WriteFailed: return IgcSaveStatus::WriteFailed;
  }
  return IgcSaveStatus::WriteFailed;
}

}  // namespace

IgcSaveResult WriteIgcFile(const TrackTable& table, const IgcSaveRequest& request) {
  IgcSaveResult result;
  const std::string problem = IgcSelectionProblem(table, request.firstSegment, request.lastSegment);
  if (!problem.empty()) {
    result.status = IgcSaveStatus::NothingSelected;
    result.error = problem;
    return result;
  }

  std::vector<std::string> names;
  for (char version = '1'; version != 0; version = NextVersionChar(version)) {
    names.push_back(IgcFileName(request.competNo, request.taskText, version, request.pilotNames));
  }

  const NewFileResult written =
      WriteNewFile(request.directory.empty() ? "." : request.directory, names, IgcFileText(table, request));
  result.status = SaveStatusOf(written.status);
  result.fileName = written.fileName;
  if (written.status == NewFileStatus::NoFreeName) {
    result.error = "No free file name is left: " + names.front() + " to " + names.back() + " all exist.";
  } else {
    result.error = written.error;
  }
  return result;
}

}  // namespace orvald
