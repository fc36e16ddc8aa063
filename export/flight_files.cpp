#include "export/flight_files.h"

#include <sys/stat.h>

#include <functional>

#include "export/igc_text.h"
#include "export/new_file.h"
#include "export/track_xml.h"

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

std::string PathIn(const std::string& directory, const std::string& name) {
  return directory.back() == '/' ? directory + name : directory + "/" + name;
}

bool Taken(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

struct Companion {
  const char* extension;
  std::function<std::string(const std::string& title)> text;
};

}  // namespace

std::string CompanionFileName(const std::string& igcFileName, const std::string& extension) {
  const size_t dot = igcFileName.rfind('.');
  return (dot == std::string::npos ? igcFileName : igcFileName.substr(0, dot)) + "." + extension;
}

FlightFilesResult WriteFlightFiles(const TrackTable& table, const IgcSaveRequest& request, CompanionFormats formats) {
  FlightFilesResult result;
  const std::string problem = IgcSelectionProblem(table, request.firstSegment, request.lastSegment);
  if (!problem.empty()) {
    result.igc.status = IgcSaveStatus::NothingSelected;
    result.igc.error = problem;
    return result;
  }
  const std::string directory = request.directory.empty() ? "." : request.directory;

  std::vector<Companion> companions;
  if (formats.kml) {
    companions.push_back({"kml", [&](const std::string& title) { return KmlFileText(table, request, title); }});
  }
  if (formats.gpx) {
    companions.push_back({"gpx", [&](const std::string& title) { return GpxFileText(table, request, title); }});
  }

  std::vector<std::string> names;
  for (char version = '1'; version != 0; version = NextVersionChar(version)) {
    const std::string name = IgcFileName(request.competNo, request.taskText, version, request.pilotNames);
    bool companionTaken = false;
    for (const Companion& c : companions) companionTaken |= Taken(PathIn(directory, CompanionFileName(name, c.extension)));
    if (!companionTaken) names.push_back(name);
  }
  if (names.empty()) {
    result.igc.status = IgcSaveStatus::NoFreeName;
    result.igc.error = "No free file name is left: every version of " +
                       IgcFileName(request.competNo, request.taskText, '1', request.pilotNames) +
                       " and its companion files exist.";
    return result;
  }

  const NewFileResult written = WriteNewFile(directory, names, IgcFileText(table, request));
  result.igc.status = SaveStatusOf(written.status);
  result.igc.fileName = written.fileName;
  if (written.status == NewFileStatus::NoFreeName) {
    result.igc.error = "No free file name is left: " + names.front() + " to " + names.back() + " all exist.";
  } else {
    result.igc.error = written.error;
  }
  if (!result.igc.saved()) return result;

  const std::string title = written.fileName.substr(0, written.fileName.rfind('.'));
  for (const Companion& c : companions) {
    const std::string name = CompanionFileName(written.fileName, c.extension);
    const NewFileResult companion = WriteNewFile(directory, {name}, c.text(title));
    if (companion.status == NewFileStatus::Written) {
      result.companions.push_back(name);
    } else if (result.companionError.empty()) {
      result.companionError = companion.status == NewFileStatus::NoFreeName ? name + " exists already; it was kept."
                                                                              : companion.error;
    }
  }
  return result;
}

}  // namespace orvald
